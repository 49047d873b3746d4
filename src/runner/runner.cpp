// The window side of the runner: what Check, Tag and Retag have in common. A run, of a folder or of a single
// file, works on processingQueue. Its lines reach the window as files are done: the run leaves them in its
// Pending lines, and the window takes what is there every tenth of a second, also while the run waits on a
// large file; its totals come when it ends. Tag's notices of failed writes lead the run's part of the report.
// The per-file steps are the engine's (integrityrun.h), and so are the words of every line (reportformat.h).

#include "operations/diskkind.h"
#include "operations/hashnumber.h"
#include "operations/integrityrun.h"
#include "operations/reportformat.h"
#include "operations/treecompare.h"
#include "operations/workerpool.h"
#include "report/reportchunk.h"
#include "report/reportpane.h"
#include "report/reportview.h"
#include "runner/itemname.h"
#include "runner/jobtracker.h"
#include "runner/runpanel.h"
#include "runner/runsummary.h"
#include "viewcontroller.h"

#include <QPushButton>
#include <QSettings>

#include <exception>
#include <mutex>
#include <numeric>

using orvane::Operation;
using orvane::Variant;

namespace {

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

// The lines a run has made and the window has not yet taken, the notices apart; the run and the window lock it.
struct ViewController::Pending
{
    std::mutex mutex;
    ReportChunk notices;
    ReportChunk lines;
};

// What a run hands back when it ends.
struct ViewController::RunEnd
{
    orvane::RunResult result;
    std::optional<orvane::Failure> ignoreFile; // why the folder's .orvane-ignore was not used
    ReportChunk notices; // those the window had not yet taken
    ReportChunk lines; // the same, and the totals
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
    if (m_item && QSettings().value(QLatin1String(askBeforeTagKey), true).toBool())
        askBeforeTag();
    else
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
        emit errorOccurred(QString::fromStdString(failure->reason));
        return;
    }
    // A run started while others go on keeps their lines: the report is theirs too.
    if (m_runs.empty())
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
    run->pending = std::make_shared<Pending>();
    m_parts.push_back({ id, 0 });
    showProgress();

    // A single file is read off the GUI thread too: a large one would freeze the window for seconds.
    const orvane::Item item = run->item;
    JobTracker::start(
        m_processingQueue,
        this,
        [operation, item, settings, pending = run->pending]() mutable {
            const orvane::Command command = orvane::commandOf(operation);
            const orvane::ReportFormat format(command, item.isFolder ? Variant::Folder : Variant::SingleFile);
            RunEnd end;
            // Nothing may leave by an exception: the pool would take the program down.
            try {
                orvane::RunObserver observer;
                observer.fileDone = [&format, &pending, command](const orvane::Outcome& outcome) {
                    const std::lock_guard<std::mutex> lock(pending->mutex);
                    pending->notices.addNotice(format, outcome);
                    pending->lines.addLine(format, outcome, command);
                };
                // What the folder's .orvane-ignore leaves out, as orvane-cli takes it.
                orvane::Exclusions exclusions;
                if (item.isFolder)
                    end.ignoreFile = exclusions.addIgnoreFile(item.path);
                settings.exclusions = &exclusions;
                end.result = orvane::runItem(operation, item, settings, observer);
                const std::lock_guard<std::mutex> lock(pending->mutex);
                end.notices = std::exchange(pending->notices, {});
                end.lines = std::exchange(pending->lines, {});
                if (!end.result.failure)
                    end.lines.addTotals(format, item.path, end.result.counters, end.result.stopped);
            } catch (const std::exception& error) {
                end.result.failure = orvane::Failure { 0, error.what() }; // out of memory: the engine throws nothing
            }
            // Decoded here rather than on the GUI thread: the last lines of a fast run may be many.
            end.notices.seal();
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

void ViewController::showPendingLines()
{
    for (const auto& [id, run] : m_runs) {
        ReportChunk notices;
        ReportChunk lines;
        {
            const std::lock_guard<std::mutex> lock(run->pending->mutex);
            notices = std::exchange(run->pending->notices, {});
            lines = std::exchange(run->pending->lines, {});
        }
        notices.seal();
        lines.seal();
        showLines(id, notices, lines);
    }
}

qsizetype ViewController::firstLineOf(std::vector<Part>::const_iterator part) const
{
    return std::accumulate(
        m_parts.cbegin(), part, m_firstPartLine, [](qsizetype line, const Part& p) { return line + p.lines; });
}

void ViewController::showLines(int id, ReportChunk& notices, ReportChunk& lines)
{
    const auto part = std::find_if(m_parts.begin(), m_parts.end(), [id](const Part& p) { return p.run == id; });
    if (m_closed || part == m_parts.end() || (notices.isEmpty() && lines.isEmpty()))
        return;
    const qsizetype start = firstLineOf(part);
    Run& run = *m_runs.at(id);
    m_reportPane->insertChunk(start + run.notices, notices);
    run.notices += qsizetype(notices.lines().size());
    part->lines += qsizetype(notices.lines().size());
    m_reportPane->insertChunk(start + part->lines, lines);
    part->lines += qsizetype(lines.lines().size());
}

void ViewController::finishRun(int id, RunEnd& end)
{
    showLines(id, end.notices, end.lines);
    const std::unique_ptr<Run> run = std::move(m_runs.at(id));
    m_runs.erase(id);
    if (!m_closed) {
        showProgress();
        if (end.result.failure) {
            // Nothing was walked, so no totals: say why rather than leave the window spinning.
            emit errorOccurred(
                tr("The folder %1 could not be read: %2.")
                    .arg(ItemName::shownPath(run->item.path), QString::fromStdString(end.result.failure->reason)));
        } else {
            const auto part = std::find_if(m_parts.begin(), m_parts.end(), [id](const Part& p) { return p.run == id; });
            if (part != m_parts.end() && part->lines > 0)
                m_reportPane->view()->setRunRecord(firstLineOf(part) + part->lines - 1,
                    { orvane::commandOf(run->operation), run->item.path, end.result.counters, end.result.stopped });
            if (run->item.isFolder)
                emit folderRunEnded(RunSummary::text(
                    run->operation, ItemName::displayName(run->item.path), end.result.counters, end.result.stopped));
            if (end.ignoreFile)
                emit errorOccurred(tr("The list of what to leave out, %1, was not used: %2. Every file was run.")
                                       .arg(ItemName::shownPath(orvane::ignoreFilePath(run->item.path)),
                                           QString::fromStdString(end.ignoreFile->reason)));
        }
    }
    emit runEnded();
    if (m_closed && m_runs.empty())
        emit runsFinished();
}

void ViewController::compareWith(const orvane::Item& second)
{
    if (!m_item || !m_item->isFolder || !second.isFolder)
        return;
    m_comparedWith = second;
    for (QPushButton* button : { m_runPanel->checkButton(), m_runPanel->tagButton(), m_runPanel->retagButton() })
        button->hide();
    struct Comparison
    {
        ReportChunk lines;
        std::optional<orvane::Failure> failure;
        std::string failedTree;
    };
    const orvane::Item first = *m_item;
    JobTracker::start(
        m_processingQueue,
        this,
        [first, second] {
            Comparison comparison;
            try {
                // Each tree's list of what to leave out counts for both, as orvane-cli compare takes them.
                orvane::Exclusions exclusions;
                (void)exclusions.addIgnoreFile(first.path);
                (void)exclusions.addIgnoreFile(second.path);
                const orvane::CompareFormat format(first.path, second.path);
                orvane::CompareCounts counts;
                const auto line = [&](const orvane::CompareOutcome& outcome) {
                    const std::string& tree = outcome.side == 0 ? first.path : second.path;
                    comparison.lines.addCompareLine(format, outcome, tree + "/" + outcome.path);
                };
                comparison.failure = orvane::compareTrees(
                    first.path, second.path, orvane::theXattrName, line, counts, &comparison.failedTree, &exclusions);
                if (!comparison.failure)
                    comparison.lines.addCompareTotals(format, counts);
            } catch (const std::exception& error) {
                comparison.failure = orvane::Failure { 0, error.what() }; // out of memory
            }
            comparison.lines.seal();
            return comparison;
        },
        [this](const Comparison& comparison) {
            if (m_closed)
                return;
            if (comparison.failure)
                emit errorOccurred(tr("The folder %1 could not be read: %2.")
                                       .arg(ItemName::shownPath(comparison.failedTree),
                                           QString::fromStdString(comparison.failure->reason)));
            else
                m_reportPane->appendChunk(comparison.lines);
            emit runEnded();
        });
}
