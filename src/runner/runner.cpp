// The window side of the runner: what Check, Tag and Retag have in common. A run, of a folder or of a single
// file, works on processingQueue; its lines reach the window in one piece when it ends, and only Tag's notices
// of failed writes come ahead of them, at once. The per-file steps are the engine's (integrityrun.h), and so
// are the words of every line (reportformat.h).

#include "operations/diskkind.h"
#include "operations/hashnumber.h"
#include "operations/integrityrun.h"
#include "operations/reportformat.h"
#include "operations/workerpool.h"
#include "report/reportchunk.h"
#include "report/reportpane.h"
#include "runner/itemname.h"
#include "runner/jobtracker.h"
#include "runner/runpanel.h"
#include "runner/runsummary.h"
#include "viewcontroller.h"

#include <exception>

using orvane::Operation;
using orvane::Variant;

namespace {

QString fromEngine(const std::string& text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// One pool of hashing threads for the whole application, however many windows run.
orvane::WorkerPool& hashingPool()
{
    // Before the first run: a run may hold more folders open than the usual soft limit allows.
    static const bool limitRaised = (orvane::raiseDescriptorLimit(), true);
    static orvane::WorkerPool pool(orvane::mostDefaultFilesInHand());
    (void)limitRaised;
    return pool;
}

} // namespace

// What a run hands back when it ends.
struct ViewController::RunEnd
{
    orvane::RunResult result;
    ReportChunk lines; // the run's lines and totals
};

// A closed window is deleted only after its last run has ended (see Document). Deleted earlier, as at the end
// of the program, the queue's destructor waits for the runs, so no attribute write is cut short.
ViewController::~ViewController() = default;

void ViewController::checkButton()
{
    runOperation(Operation::Check);
}

void ViewController::hashButton()
{
    runOperation(Operation::Tag);
}

void ViewController::retagButton()
{
    runOperation(Operation::Retag);
}

void ViewController::runOperation(Operation operation)
{
    if (!m_item)
        return;
    if (const std::optional<orvane::Failure> failure = orvane::checkCryptoAvailable()) {
        emit errorOccurred(fromEngine(failure->reason));
        return;
    }
    m_runPanel->setBusy(true);
    setReportText(QString());
    startRun(operation);
}

void ViewController::startRun(Operation operation)
{
    const int id = ++m_lastRunId;
    auto& run = m_runs[id];
    run = std::make_unique<Run>();
    run->operation = operation;
    run->item = *m_item;
    orvane::RunSettings settings;
    settings.read = m_read;
    settings.progress = &run->progress; // the window keeps it until the run has ended
    settings.pool = &hashingPool();
    orvane::setDefaultJobs(settings);
    showProgress();

    // A single file is read off the GUI thread too: a large one would freeze the window for seconds.
    const QPointer<QObject> receiver(this);
    const orvane::Item item = run->item;
    JobTracker::start(
        m_processingQueue,
        this,
        [this, operation, item, settings, receiver]() {
            const orvane::ReportFormat format(
                orvane::commandOf(operation), item.isFolder ? Variant::Folder : Variant::SingleFile);
            RunEnd end;
            // Nothing may leave by an exception: the pool would take the program down.
            try {
                orvane::RunObserver observer;
                observer.fileDone = [&](const orvane::Outcome& outcome) {
                    ReportChunk notice;
                    notice.addNotice(format, outcome);
                    if (!notice.isEmpty()) {
                        notice.seal();
                        JobTracker::post(
                            receiver, std::move(notice), [this](const ReportChunk& notices) { showNotices(notices); });
                    }
                    end.lines.addLine(format, outcome);
                };
                end.result = orvane::runItem(operation, item, settings, observer);
                if (!end.result.failure)
                    end.lines.addTotals(format, item.path, end.result.counters, end.result.stopped);
            } catch (const std::exception& error) {
                end.result.failure = orvane::Failure { 0, error.what() }; // out of memory: the engine throws nothing
            }
            // Decoded here rather than on the GUI thread: a report may hold millions of lines.
            end.lines.seal();
            return end;
        },
        [this, id](RunEnd end) { finishRun(id, end); });
}

void ViewController::stopRuns()
{
    // The runs finish the files in hand, start no other, and end with a line that says they were stopped.
    for (const auto& [id, run] : m_runs)
        run->progress.stopRequested = true;
}

void ViewController::showProgress()
{
    // The newest run is the one the report will show.
    const Run* run = m_runs.empty() || m_closed ? nullptr : m_runs.rbegin()->second.get();
    m_runPanel->showProgress(run ? &run->progress : nullptr);
    if (!run)
        m_progressTimer.stop();
    else if (!m_progressTimer.isActive())
        m_progressTimer.start();
}

void ViewController::showNotices(const ReportChunk& notices)
{
    if (!m_closed)
        m_reportPane->appendChunk(notices);
}

void ViewController::finishRun(int id, RunEnd& end)
{
    const std::unique_ptr<Run> run = std::move(m_runs.at(id));
    m_runs.erase(id);
    if (!m_closed) {
        m_runPanel->setBusy(false);
        showProgress();
        if (end.result.failure) {
            // Nothing was walked, so no totals: say why rather than leave the window spinning.
            emit errorOccurred(tr("The folder %1 could not be read: %2.")
                                   .arg(ItemName::shownPath(run->item.path), fromEngine(end.result.failure->reason)));
        } else {
            m_reportPane->appendChunk(end.lines);
            if (run->item.isFolder)
                emit folderRunEnded(RunSummary::text(
                    run->operation, ItemName::displayName(run->item.path), end.result.counters, end.result.stopped));
        }
    }
    emit runEnded();
    if (m_closed && m_runs.empty())
        emit runsFinished();
}
