#include "reportpane.h"

#include "report/findbar.h"
#include "report/fontsize.h"
#include "report/reportchunk.h"
#include "report/reportview.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

ReportPane::ReportPane(QWidget* parent)
    : QWidget(parent)
    , m_view(new ReportView(this))
    , m_findBar(new FindBar(m_view, this))
    , m_problemsLine(new QLabel(this))
    , m_problemsButton(new QPushButton(tr("Show &Problems Only"), this))
    , m_fontSize(FontSize::startingSize())
{
    m_view->setObjectName(QStringLiteral("outputTextbox"));
    m_view->setPlaceholderText(tr("Check compares every file with its stored digest; Tag stores them."));
    m_problemsLine->setObjectName(QStringLiteral("problemsLine"));
    m_problemsLine->hide();
    m_problemsButton->setObjectName(QStringLiteral("problemsButton"));
    m_problemsButton->setAccessibleName(tr("Show Problems Only"));
    m_view->setAccessibleName(tr("Report"));
    m_problemsButton->setCheckable(true);
    m_problemsButton->setToolTip(tr("Hide the lines of files that are fine (Ctrl+Shift+P)."));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_problemsLine);
    layout->addWidget(m_view);
    layout->addWidget(m_findBar);
    setFocusProxy(m_view);
    setTabOrder(m_view, m_findBar);

    connect(m_problemsButton, &QPushButton::toggled, this, &ReportPane::setProblemsOnly);
    connect(m_problemsLine, &QLabel::linkActivated, this, [this] { setProblemsOnly(!problemsOnly()); });
    connect(m_view, &ReportView::problemsOnlyChanged, this, [this](bool on) {
        m_problemsButton->setChecked(on);
        updateProblemsLine();
        emit problemsOnlyChanged(on);
    });
    connect(m_view, &ReportView::textChanged, this, &ReportPane::updateProblemsLine);
    restyle();
}

ReportPane::~ReportPane() = default;

void ReportPane::updateProblemsLine()
{
    const qsizetype problems = m_view->problemCount();
    m_problemsLine->setVisible(problems > 0);
    if (problems == 0)
        return;
    QString count =
        problems == 1 ? tr("1 line is a warning or an error.") : tr("%1 lines are warnings or errors.").arg(problems);
    // Possible damage is named first: it is what a person must act on before anything else.
    if (const qsizetype damaged = m_view->damagedCount(); damaged > 0)
        count.prepend(
            damaged == 1 ? tr("1 file is possibly damaged; ") : tr("%1 files are possibly damaged; ").arg(damaged));
    const QString link = problemsOnly() ? tr("Show All Lines") : tr("Show Problems Only");
    m_problemsLine->setText(QStringLiteral("%1 <a href=\"toggle\">%2</a>").arg(count.toHtmlEscaped(), link));
}

bool ReportPane::problemsOnly() const
{
    return m_view->problemsOnly();
}

void ReportPane::setProblemsOnly(bool on)
{
    m_view->setProblemsOnly(on);
}

bool ReportPane::canMakeBigger() const
{
    return m_fontSize < FontSize::largest;
}

bool ReportPane::canMakeSmaller() const
{
    return m_fontSize > FontSize::smallest;
}

void ReportPane::makeBigger()
{
    setFontSize(FontSize::bigger(m_fontSize));
}

void ReportPane::makeSmaller()
{
    setFontSize(FontSize::smaller(m_fontSize));
}

void ReportPane::resetFontSize()
{
    setFontSize(FontSize::initial);
}

void ReportPane::setFontSize(double size)
{
    m_fontSize = size;
    FontSize::store(m_fontSize);
    restyle();
    emit fontSizeChanged(m_fontSize);
}

void ReportPane::find()
{
    m_findBar->open();
}

void ReportPane::findNext()
{
    if (m_findBar->isHidden())
        m_findBar->open();
    else
        m_findBar->findNext();
}

void ReportPane::findPrevious()
{
    if (m_findBar->isHidden())
        m_findBar->open();
    else
        m_findBar->findPrevious();
}

void ReportPane::setText(const QString& text)
{
    m_view->replaceText(text, ReportView::reportStyle(m_fontSize, m_view->palette()));
}

// The newest lines, and at the end of a run its totals, stay in sight; a user who scrolled up to read is
// left where they are.
template <typename Put> void ReportPane::followingTheEnd(Put put)
{
    const QScrollBar* bar = m_view->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    put(ReportView::reportStyle(m_fontSize, m_view->palette()));
    if (atEnd)
        m_view->scrollToEnd();
}

void ReportPane::appendText(const QString& text)
{
    followingTheEnd([&](const QTextCharFormat& style) { m_view->appendText(text, style); });
}

void ReportPane::insertChunk(qsizetype line, const ReportChunk& chunk)
{
    if (chunk.isEmpty()) // a run's notices, mostly none
        return;
    followingTheEnd([&](const QTextCharFormat& style) { m_view->insertChunk(line, chunk, style); });
}

void ReportPane::appendChunk(const ReportChunk& chunk)
{
    insertChunk(m_view->lineCount() - 1, chunk);
}

void ReportPane::restyle()
{
    m_view->setReportStyle(ReportView::reportStyle(m_fontSize, m_view->palette()));
}
