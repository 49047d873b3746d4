#include "viewcontroller.h"

#include "integrity/tagstore.h"
#include "operations/checksumexport.h"
#include "report/reportfile.h"
#include "report/reportpane.h"
#include "report/reportview.h"
#include "report/savedialog.h"
#include "runner/itemname.h"
#include "runner/jobtracker.h"
#include "runner/runpanel.h"

#include <QCheckBox>
#include <QKeySequence>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QShowEvent>
#include <QVBoxLayout>

#include <exception>

ViewController::ViewController(QWidget* parent)
    : QWidget(parent)
    , m_runPanel(new RunPanel(this))
    , m_reportPane(new ReportPane(this))
{
    setObjectName(QStringLiteral("ViewController"));
    m_processingQueue.setMaxThreadCount(8);
    m_runPanel->addToButtonRow(m_reportPane->problemsButton());
    // Tab goes along the button row as it is shown, then to the report and its find bar.
    setTabOrder(m_runPanel->retagButton(), m_reportPane->problemsButton());
    setTabOrder(m_reportPane->problemsButton(), m_runPanel->stopButton());
    setTabOrder(m_runPanel->stopButton(), m_reportPane);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_runPanel);
    layout->addWidget(m_reportPane, 1);

    m_progressTimer.setInterval(100);
    connect(&m_progressTimer, &QTimer::timeout, this, [this] {
        showPendingLines();
        showProgress();
    });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &ViewController::stopRuns);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(m_runPanel->stopButton(), &QPushButton::clicked, this, &ViewController::stopRuns);
    connect(m_runPanel->checkButton(), &QPushButton::clicked, this, &ViewController::checkButton);
    connect(m_runPanel->tagButton(), &QPushButton::clicked, this, &ViewController::hashButton);
    connect(m_runPanel->retagButton(), &QPushButton::clicked, this, &ViewController::retagButton);
    connect(m_reportPane->view(), &ReportView::showInFilesRequested, this, &ViewController::showInFilesRequested);
    connect(m_reportPane->view(), &ReportView::openRequested, this, &ViewController::openRequested);
}

// Tag replaces digests that may be the only evidence of a change; a second request while the question is up
// brings it forward rather than asking twice.
void ViewController::askBeforeTag()
{
    if (m_tagQuestion && m_tagQuestion->isVisible()) {
        m_tagQuestion->raise();
        m_tagQuestion->activateWindow();
        return;
    }
    auto* question = new QMessageBox(QMessageBox::Warning,
        QStringLiteral("Orvane"),
        tr("Replace the stored digests in %1?").arg(ItemName::displayName(m_item->path)),
        QMessageBox::NoButton,
        this);
    question->setObjectName(QStringLiteral("tagQuestion"));
    question->setInformativeText(
        tr("Tag stores a new digest for every file, also for files whose contents changed since they were "
           "tagged: their change will no longer show. Retag replaces only digests of files that were modified, "
           "and adds missing ones."));
    QPushButton* tag = question->addButton(tr("Tag"), QMessageBox::AcceptRole);
    QPushButton* cancel = question->addButton(QMessageBox::Cancel);
    question->setDefaultButton(cancel);
    question->setEscapeButton(cancel);
    question->setCheckBox(new QCheckBox(tr("Don't ask again"), question));
    question->setAttribute(Qt::WA_DeleteOnClose);
    question->setWindowModality(Qt::WindowModal);
    connect(question, &QMessageBox::finished, this, [this, question, tag] {
        if (question->clickedButton() != tag || m_closed)
            return;
        if (question->checkBox()->isChecked())
            QSettings().setValue(QLatin1String(askBeforeTagKey), false);
        runOperation(orvane::Operation::Tag);
    });
    m_tagQuestion = question;
    question->open();
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
    // Runs still going start their parts afresh after the new text; those that ended had theirs in the old one.
    m_firstPartLine = m_reportPane->view()->lineCount() - 1;
    m_parts.clear();
    for (const auto& [id, run] : m_runs) {
        m_parts.push_back({ id, 0 });
        run->notices = 0;
    }
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
    // The report of this moment: a run that ends while the dialog is open does not change what is written.
    const QByteArray text = reportBytes();
    const QByteArray json = isComparison() ? QByteArray() : ReportFile::jsonLines(*m_reportPane->view());
    QList<SaveDialog::FileType> types { { tr("Report (*.txt)"), QStringLiteral("txt") },
        { tr("JSON Lines (*.jsonl)"), QStringLiteral("jsonl") },
        { tr("Checksum list (*.sha256)"), QStringLiteral("sha256") } };
    if (isComparison())
        types.resize(1); // a comparison's lines are no run's outcomes, and its item is two folders
    SaveDialog::open(this,
        tr("Export Report"),
        ReportFile::proposedName(window()->windowTitle()),
        types,
        [this, text, json](const QString& path, int type) {
            if (type == 2)
                exportChecksumList(path);
            else
                writeFile(path, type == 0 ? text : json);
        });
}

void ViewController::writeFile(const QString& path, const QByteArray& bytes)
{
    const QByteArray openedFile = m_item && !m_item->isFolder ? QByteArray::fromStdString(m_item->path) : QByteArray();
    const QString failure = ReportFile::write(path, bytes, openedFile);
    if (!failure.isEmpty())
        emit errorOccurred(failure);
}

// What orvane-cli export writes for the item: the digests stored on its files now, read off the GUI thread.
void ViewController::exportChecksumList(const QString& path)
{
    struct Listed
    {
        QByteArray list;
        qsizetype unlisted = 0;
        std::optional<orvane::Failure> failure;
    };
    if (!m_item)
        return;
    const orvane::Item item = *m_item;
    JobTracker::start(
        m_processingQueue,
        this,
        [item] {
            Listed listed;
            try {
                orvane::ExportSinks sinks;
                sinks.line = [&listed](const std::string& line) { listed.list += QByteArray::fromStdString(line); };
                sinks.problem = [&listed](const std::string&, const std::string&) { ++listed.unlisted; };
                orvane::Exclusions exclusions; // as orvane-cli export takes them
                if (item.isFolder)
                    (void)exclusions.addIgnoreFile(item.path);
                listed.failure = orvane::exportChecksums(item, false, orvane::theXattrName, sinks, &exclusions);
            } catch (const std::exception& error) {
                listed.failure = orvane::Failure { 0, error.what() };
            }
            return listed;
        },
        [this, path, item](const Listed& listed) {
            if (listed.failure)
                return emit errorOccurred(
                    tr("The folder %1 could not be read: %2.")
                        .arg(ItemName::shownPath(item.path), QString::fromStdString(listed.failure->reason)));
            writeFile(path, listed.list);
            if (listed.unlisted > 0)
                emit errorOccurred(
                    tr("The checksum list %1 leaves out %2 with no stored digest.")
                        .arg(path, listed.unlisted == 1 ? tr("1 file") : tr("%1 files").arg(listed.unlisted)));
        });
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
    showProgress();
}

void ViewController::windowWillClose()
{
    m_closed = true;
    if (m_runs.empty())
        emit runsFinished();
}
