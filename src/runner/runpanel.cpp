#include "runpanel.h"

#include "operations/printablepath.h"
#include "operations/progresstext.h"
#include "operations/runprogress.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

RunPanel::RunPanel(QWidget* parent)
    : QWidget(parent)
    , m_checkButton(new QPushButton(tr("&Check"), this))
    , m_tagButton(new QPushButton(tr("&Tag"), this))
    , m_retagButton(new QPushButton(tr("&Retag"), this))
    , m_stopButton(new QPushButton(tr("&Stop"), this))
    , m_buttonRow(new QHBoxLayout)
    , m_progressRow(new QWidget(this))
    , m_progressBar(new QProgressBar(m_progressRow))
    , m_progressText(new QLabel(m_progressRow))
    , m_currentFile(new QLabel(m_progressRow))
{
    // Names for assistive tools: the buttons' own words, without their underlined letters.
    for (QPushButton* button : { m_checkButton, m_tagButton, m_retagButton, m_stopButton })
        button->setAccessibleName(button->text().remove(u'&'));
    m_checkButton->setObjectName(QStringLiteral("theCheckButton"));
    m_checkButton->setToolTip(tr("Compare every file with the digest stored with it. Writes nothing."));
    m_tagButton->setObjectName(QStringLiteral("theHashButton"));
    m_tagButton->setToolTip(tr("Store every file's digest, replacing whatever was stored."));
    m_retagButton->setObjectName(QStringLiteral("theRetagButton"));
    m_retagButton->setToolTip(tr("Store digests that are missing or differ; leave matching ones alone."));
    m_stopButton->setObjectName(QStringLiteral("stopButton"));
    m_stopButton->setToolTip(tr("Finish the files in hand and start no other (Alt+S, or Escape in the report)."));
    m_stopButton->setEnabled(false);

    m_buttonRow->addWidget(m_checkButton);
    m_buttonRow->addWidget(m_tagButton);
    m_buttonRow->addWidget(m_retagButton);
    m_buttonRow->addWidget(m_stopButton);
    m_buttonRow->addStretch();

    // The newest run's progress: a bar, one line of figures and the file in hand, while a run is going.
    m_progressRow->setObjectName(QStringLiteral("progressRow"));
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_progressBar->setAccessibleName(tr("Progress"));
    m_progressBar->setTextVisible(false);
    m_progressBar->setFixedWidth(160);
    m_progressText->setObjectName(QStringLiteral("progressText"));
    m_currentFile->setObjectName(QStringLiteral("currentFile"));
    m_currentFile->setMinimumWidth(80);
    m_currentFile->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* progress = new QHBoxLayout(m_progressRow);
    progress->setContentsMargins(0, 0, 0, 0);
    progress->addWidget(m_progressBar);
    progress->addWidget(m_progressText);
    progress->addWidget(m_currentFile, 1);
    m_progressRow->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(m_buttonRow);
    layout->addWidget(m_progressRow);
}

RunPanel::~RunPanel() = default;

void RunPanel::addToButtonRow(QWidget* widget)
{
    m_buttonRow->insertWidget(m_buttonRow->indexOf(m_retagButton) + 1, widget);
}

void RunPanel::showProgress(const orvane::RunProgress* progress)
{
    m_stopButton->setEnabled(progress);
    if (progress && m_progressRow->isHidden())
        m_runClock.start();
    m_progressRow->setVisible(progress);
    if (!progress)
        return;
    const std::int64_t done = progress->bytesDone;
    const std::int64_t total = progress->bytesTotal;
    // A bar of per-mille steps: its range must fit an int, byte counts need not. Indeterminate until counted.
    m_progressBar->setRange(0, total >= 0 ? 1000 : 0);
    if (total >= 0)
        m_progressBar->setValue(total > 0 ? int(1000 * std::min(done, total) / total) : 1000);
    m_progressText->setText(
        QString::fromStdString(orvane::progressText(*progress, double(m_runClock.elapsed()) / 1000.0)));
    const QString current = QString::fromStdString(orvane::shownText(progress->currentPath()));
    m_currentFile->setText(m_currentFile->fontMetrics().elidedText(current, Qt::ElideMiddle, m_currentFile->width()));
    m_currentFile->setToolTip(current);
}
