#include "viewcontroller.h"

#include "report/findbar.h"
#include "report/fontsize.h"
#include "report/reportfile.h"
#include "report/reportview.h"
#include "runner/busyindicator.h"
#include "runner/itemurl.h"
#include "runner/runjob.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QVBoxLayout>

ViewController::ViewController(QWidget* parent)
    : QWidget(parent)
    , outputTextbox(new ReportView(this))
    , progressSpinner(new BusyIndicator(this))
    , theCheckButton(new QPushButton(tr("&Check"), this))
    , theHashButton(new QPushButton(tr("&Tag"), this))
    , theRetagButton(new QPushButton(tr("&Retag"), this))
    , theStopButton(new QPushButton(tr("Stop"), this))
    , m_progressRow(new QWidget(this))
    , m_progressBar(new QProgressBar(m_progressRow))
    , m_progressText(new QLabel(m_progressRow))
    , m_currentFile(new QLabel(m_progressRow))
{
    setObjectName(QStringLiteral("ViewController"));
    processingQueue.setMaxThreadCount(8);
    theFontSize = FontSize::startingSize();

    theCheckButton->setObjectName(QStringLiteral("theCheckButton"));
    theCheckButton->setToolTip(tr("Compare every file with the digest stored with it. Writes nothing."));
    theHashButton->setObjectName(QStringLiteral("theHashButton"));
    theHashButton->setToolTip(tr("Store every file's digest, replacing whatever was stored."));
    theRetagButton->setObjectName(QStringLiteral("theRetagButton"));
    theRetagButton->setToolTip(tr("Store digests that are missing or differ; leave matching ones alone."));
    progressSpinner->setObjectName(QStringLiteral("progressSpinner"));
    outputTextbox->setObjectName(QStringLiteral("outputTextbox"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(theCheckButton);
    buttons->addWidget(theHashButton);
    buttons->addWidget(theRetagButton);
    buttons->addWidget(theStopButton);
    buttons->addStretch();
    buttons->addWidget(progressSpinner);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_progressRow);
    layout->addWidget(outputTextbox);

    // Progress of the newest run: a bar, one line of figures and the file in hand, while a run is going.
    theStopButton->setObjectName(QStringLiteral("theStopButton"));
    theStopButton->setToolTip(tr("Finish the files in hand and start no other (Escape)."));
    theStopButton->setEnabled(false);
    m_progressRow->setObjectName(QStringLiteral("runProgressRow"));
    m_progressBar->setObjectName(QStringLiteral("runProgress"));
    m_progressBar->setTextVisible(false);
    m_progressBar->setFixedWidth(160);
    m_progressText->setObjectName(QStringLiteral("runProgressText"));
    m_currentFile->setObjectName(QStringLiteral("runCurrentFile"));
    m_currentFile->setMinimumWidth(80);
    m_currentFile->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* progress = new QHBoxLayout(m_progressRow);
    progress->setContentsMargins(0, 0, 0, 0);
    progress->addWidget(m_progressBar);
    progress->addWidget(m_progressText);
    progress->addWidget(m_currentFile, 1);
    m_progressRow->hide();
    m_progressTimer.setInterval(100);
    connect(&m_progressTimer, &QTimer::timeout, this, &ViewController::showProgress);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &ViewController::stopRuns);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(theStopButton, &QPushButton::clicked, this, &ViewController::stopRuns);

    connect(theCheckButton, &QPushButton::clicked, this, &ViewController::checkButton);
    connect(theHashButton, &QPushButton::clicked, this, &ViewController::hashButton);
    connect(theRetagButton, &QPushButton::clicked, this, &ViewController::retagButton);

    setupReading(buttons, layout);
}

// The problems line above the report, the Show Problems Only toggle beside the buttons, the find bar under
// the report, and the requests to show a line's file, which the document carries out.
void ViewController::setupReading(QBoxLayout* buttons, QBoxLayout* layout)
{
    m_findBar = new FindBar(outputTextbox, this);
    m_problemsLine = new QLabel(this);
    m_problemsLine->setObjectName(QStringLiteral("problemsLine"));
    m_problemsLine->hide();
    m_problemsButton = new QPushButton(tr("Show &Problems Only"), this);
    m_problemsButton->setObjectName(QStringLiteral("problemsButton"));
    m_problemsButton->setCheckable(true);
    m_problemsButton->setToolTip(tr("Hide the lines of files that are fine (Ctrl+Shift+P)."));
    buttons->insertWidget(buttons->indexOf(theRetagButton) + 1, m_problemsButton);
    layout->insertWidget(layout->indexOf(outputTextbox), m_problemsLine);
    layout->insertWidget(layout->indexOf(outputTextbox) + 1, m_findBar);

    connect(m_problemsButton, &QPushButton::toggled, this, &ViewController::setProblemsOnly);
    connect(m_problemsLine, &QLabel::linkActivated, this, [this] { setProblemsOnly(!problemsOnly()); });
    connect(outputTextbox, &ReportView::problemsOnlyChanged, this, [this](bool on) {
        m_problemsButton->setChecked(on);
        updateProblemsLine();
        emit problemsOnlyChanged(on);
    });
    connect(outputTextbox, &ReportView::textChanged, this, &ViewController::updateProblemsLine);
    connect(outputTextbox, &ReportView::showInFilesRequested, this, &ViewController::showInFilesRequested);
    connect(outputTextbox, &ReportView::openRequested, this, &ViewController::openRequested);
}

void ViewController::updateProblemsLine()
{
    const qsizetype problems = outputTextbox->problemCount();
    m_problemsLine->setVisible(problems > 0);
    if (problems == 0)
        return;
    const QString count =
        problems == 1 ? tr("1 line is a warning or an error.") : tr("%1 lines are warnings or errors.").arg(problems);
    const QString link = problemsOnly() ? tr("Show All Lines") : tr("Show Problems Only");
    m_problemsLine->setText(QStringLiteral("%1 <a href=\"toggle\">%2</a>").arg(count.toHtmlEscaped(), link));
}

bool ViewController::problemsOnly() const
{
    return outputTextbox->problemsOnly();
}

void ViewController::setProblemsOnly(bool on)
{
    outputTextbox->setProblemsOnly(on);
}

bool ViewController::canMakeBigger() const
{
    return theFontSize < FontSize::largest;
}

bool ViewController::canMakeSmaller() const
{
    return theFontSize > FontSize::smallest;
}

void ViewController::resetFontSize()
{
    theFontSize = FontSize::initial;
    FontSize::store(theFontSize);
    restyleReport();
    emit fontSizeChanged(theFontSize);
}

void ViewController::findInReport()
{
    m_findBar->open();
}

void ViewController::findNext()
{
    if (m_findBar->isHidden())
        m_findBar->open();
    else
        m_findBar->findNext();
}

void ViewController::findPrevious()
{
    if (m_findBar->isHidden())
        m_findBar->open();
    else
        m_findBar->findPrevious();
}

void ViewController::setItem(const QUrl& url, bool isFile)
{
    theSourceURL = url;
    m_isFile = isFile;
}

void ViewController::setReadFunction(orvane::ReadFunction read)
{
    m_read = std::move(read);
}

QString ViewController::reportText() const
{
    return outputTextbox->text();
}

void ViewController::setReportText(const QString& text)
{
    outputTextbox->replaceText(text, ReportView::reportStyle(theFontSize, outputTextbox->palette()));
}

void ViewController::appendReportText(const QString& text)
{
    outputTextbox->appendText(text, ReportView::reportStyle(theFontSize, outputTextbox->palette()));
    // The newest lines, and at the end of a run its totals, are in sight.
    outputTextbox->scrollToEnd();
}

void ViewController::restyleReport()
{
    setReportText(outputTextbox->text());
}

void ViewController::incFontSize()
{
    theFontSize = FontSize::bigger(theFontSize);
    FontSize::store(theFontSize);
    restyleReport();
    emit fontSizeChanged(theFontSize);
}

void ViewController::decFontSize()
{
    theFontSize = FontSize::smaller(theFontSize);
    FontSize::store(theFontSize);
    restyleReport();
    emit fontSizeChanged(theFontSize);
}

void ViewController::exportText()
{
    // The text of this moment: a run that ends while the dialog is open does not change what is written.
    const QByteArray bytes = reportText().toUtf8();
    const QString openedFile = theSourceURL && m_isFile ? ItemURL::path(*theSourceURL) : QString();
    ReportFile::saveWithDialog(
        this,
        tr("Export Report"),
        window()->windowTitle(),
        openedFile,
        [bytes] { return bytes; },
        [this](const QString& message) { emit errorOccurred(message); });
}

void ViewController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Spontaneous show events come from the window system (a window restored from the task bar), not
    // from the window being put on screen.
    if (!event->spontaneous())
        viewDidAppear();
}

void ViewController::viewDidAppear()
{
    if (m_runs.empty())
        progressSpinner->setHidden(true);
}

void ViewController::windowWillClose()
{
    m_closed = true;
    if (m_runs.empty())
        emit runsFinished();
}
