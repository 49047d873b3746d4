#include "viewcontroller.h"

#include "report/reportfile.h"
#include "report/reportpane.h"
#include "report/reportview.h"
#include "runner/runpanel.h"

#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QVBoxLayout>

ViewController::ViewController(QWidget* parent)
    : QWidget(parent)
    , m_runPanel(new RunPanel(this))
    , m_reportPane(new ReportPane(this))
{
    setObjectName(QStringLiteral("ViewController"));
    m_processingQueue.setMaxThreadCount(8);
    m_runPanel->addToButtonRow(m_reportPane->problemsButton());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_runPanel);
    layout->addWidget(m_reportPane, 1);

    m_progressTimer.setInterval(100);
    connect(&m_progressTimer, &QTimer::timeout, this, &ViewController::showProgress);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &ViewController::stopRuns);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(m_runPanel->stopButton(), &QPushButton::clicked, this, &ViewController::stopRuns);
    connect(m_runPanel->checkButton(), &QPushButton::clicked, this, &ViewController::checkButton);
    connect(m_runPanel->tagButton(), &QPushButton::clicked, this, &ViewController::hashButton);
    connect(m_runPanel->retagButton(), &QPushButton::clicked, this, &ViewController::retagButton);
    connect(m_reportPane->view(), &ReportView::showInFilesRequested, this, &ViewController::showInFilesRequested);
    connect(m_reportPane->view(), &ReportView::openRequested, this, &ViewController::openRequested);
}

void ViewController::setItem(const orvane::Item& item)
{
    m_item = item;
}

void ViewController::setReadFunction(orvane::ReadFunction read)
{
    m_read = std::move(read);
}

QString ViewController::reportText() const
{
    return m_reportPane->view()->text();
}

QByteArray ViewController::reportBytes() const
{
    return m_reportPane->view()->bytes();
}

double ViewController::fontSize() const
{
    return m_reportPane->fontSize();
}

void ViewController::setReportText(const QString& text)
{
    m_reportPane->setText(text);
}

void ViewController::appendReportText(const QString& text)
{
    m_reportPane->appendText(text);
}

void ViewController::incFontSize()
{
    m_reportPane->makeBigger();
}

void ViewController::decFontSize()
{
    m_reportPane->makeSmaller();
}

void ViewController::exportText()
{
    // The bytes of this moment: a run that ends while the dialog is open does not change what is written.
    const QByteArray bytes = reportBytes();
    const QByteArray openedFile = m_item && !m_item->isFolder ? QByteArray::fromStdString(m_item->path) : QByteArray();
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
        m_runPanel->setBusy(false);
}

void ViewController::windowWillClose()
{
    m_closed = true;
    if (m_runs.empty())
        emit runsFinished();
}
