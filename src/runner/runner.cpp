// The window side of the runner: what Check, Tag and Retag have in common. A run, of a folder or of a single
// file, works on processingQueue, and its whole report reaches the window in one piece when it ends; only
// Tag's notices of failed writes come ahead of it, at once. The per-file steps, report lines and totals are the
// engine's (integrityrun.h).

#include "operations/hashnumber.h"
#include "operations/progresstext.h"
#include "operations/reportformat.h"
#include "operations/workerpool.h"
#include "runner/busyindicator.h"
#include "runner/itemurl.h"
#include "runner/runjob.h"
#include "runner/runsummary.h"
#include "viewcontroller.h"

#include <QFile>
#include <QLabel>
#include <QMetaMethod>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

#include <algorithm>
#include <exception>
#include <memory>
#include <mutex>

using orvane::Backend;
using orvane::Operation;
using orvane::Variant;

namespace {

// Report text and the messages of the engine are UTF-8; paths in them are the file names' bytes.
QString fromEngine(const std::string& text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Methods the pool posts to, resolved from the class rather than from the object: looking them up on the
// object would call into it from the pool thread.
QMetaMethod postedMethod(const char* signature)
{
    const QMetaObject& meta = ViewController::staticMetaObject;
    return meta.method(meta.indexOfMethod(signature));
}

std::mutex theHandOffMutex; // constant-initialised: it exists before any thread does

// One pool of hashing threads for the whole application, however many windows run.
orvane::WorkerPool& hashingPool()
{
    // Before the first run: a run may hold more folders open than the usual soft limit allows.
    static const bool limitRaised = (orvane::raiseDescriptorLimit(), true);
    static orvane::WorkerPool pool(orvane::usableCpus());
    (void)limitRaised;
    return pool;
}

} // namespace

std::mutex& handOffMutex()
{
    return theHandOffMutex;
}

// A closed window is deleted only after its last folder run has ended (see Document). Deleted earlier, as at
// the end of the program, the pool's destructor waits for the walks, so no attribute write is cut short.
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
    if (!theSourceURL)
        return;
    if (const std::optional<orvane::Failure> failure = orvane::checkCryptoAvailable()) {
        emit errorOccurred(fromEngine(failure->reason));
        return;
    }
    progressSpinner->setHidden(false);
    progressSpinner->startAnimation();
    setReportText(QString());
    startRun(operation, Backend::Modern, *theSourceURL);
}

orvane::RunSettings ViewController::runSettings(Backend backend) const
{
    orvane::RunSettings settings;
    settings.backend = backend;
    settings.bufferSize = realBufferSize;
    settings.xattrName = theXattrName;
    settings.read = m_read;
    return settings;
}

void ViewController::stopSpinner()
{
    progressSpinner->stopAnimation();
    progressSpinner->setHidden(true);
}

void ViewController::startRun(Operation operation, Backend backend, const QUrl& item)
{
    const int id = ++m_lastRunId;
    RunJob* run = nullptr;
    {
        const std::lock_guard<std::mutex> lock(handOffMutex());
        auto& slot = m_runs[id];
        slot = std::make_unique<RunJob>();
        run = slot.get();
        run->window = this;
        run->id = id;
        run->operation = operation;
        run->item = { ItemURL::enginePath(ItemURL::folderPath(item)), !m_isFile };
        run->settings = runSettings(backend);
        run->settings.progress = &run->progress;
        run->settings.pool = &hashingPool();
        run->settings.jobs = orvane::defaultJobs(run->item.path); // 1 on a rotational disk
    }
    showProgress();
    // A single file is read off the GUI thread too: a large one would freeze the window for seconds.
    // The task holds nothing but the run, which the window keeps until it has been posted back. A plain
    // pointer fits inside the std::function, which Qt then copies; a larger task would be allocated here
    // and read on the pool thread where ThreadSanitizer cannot see the hand-over.
    processingQueue.start([run] { execute(*run); });
}

void ViewController::execute(RunJob& run)
{
    // On a pool thread: only the run is the worker's to use, and `window` only as the address that results
    // are posted to; Qt delivers them on the GUI thread in posting order. Nothing may leave by an exception:
    // the pool would take the program down.
    static const QMetaMethod showDirectText = postedMethod("showDirectText(QString)");
    static const QMetaMethod finishRun = postedMethod("finishRun(int)");
    QObject* window = nullptr;
    int id = 0;
    Operation operation;
    orvane::Item item;
    orvane::RunSettings settings;
    {
        const std::lock_guard<std::mutex> lock(handOffMutex());
        window = run.window;
        id = run.id;
        operation = run.operation;
        item = run.item;
        settings = run.settings;
    }
    orvane::RunResult result;
    QString text;
    try {
        orvane::TextReport report(orvane::commandOf(operation), item.isFolder ? Variant::Folder : Variant::SingleFile);
        report.setNoticeSink([window](const std::string& notice) {
            showDirectText.invoke(window, Qt::QueuedConnection, Q_ARG(QString, fromEngine(notice)));
        });
        orvane::RunObserver observer;
        observer.fileDone = [&report](const orvane::Outcome& outcome) { report.add(outcome); };
        result = orvane::runItem(operation, item, settings, observer);
        report.finish(item.path, result.counters, result.stopped);
        // Decoded here rather than on the GUI thread: a report may hold millions of lines.
        text = fromEngine(report.text());
    } catch (const std::exception& error) {
        result.failure = orvane::Failure { 0, error.what() }; // out of memory: the engine itself throws nothing
    }
    {
        const std::lock_guard<std::mutex> lock(handOffMutex());
        run.failure = std::move(result.failure);
        run.text = std::move(text);
        run.counters = result.counters;
        run.stopped = result.stopped;
    }
    finishRun.invoke(window, Qt::QueuedConnection, Q_ARG(int, id));
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
    const RunJob* run = m_runs.empty() ? nullptr : m_runs.rbegin()->second.get();
    const bool running = run && !m_closed;
    theStopButton->setEnabled(running);
    m_progressRow->setVisible(running);
    if (!running) {
        m_progressTimer.stop();
        return;
    }
    if (!m_progressTimer.isActive()) {
        m_progressTimer.start();
        m_runClock.start();
    }
    const orvane::RunProgress& progress = run->progress;
    const std::int64_t done = progress.bytesDone;
    const std::int64_t total = progress.bytesTotal;
    // A bar of per-mille steps: its range must fit an int, byte counts need not. Indeterminate until counted.
    m_progressBar->setRange(0, total >= 0 ? 1000 : 0);
    if (total >= 0)
        m_progressBar->setValue(total > 0 ? int(1000 * std::min(done, total) / total) : 1000);
    m_progressText->setText(fromEngine(orvane::progressText(progress, double(m_runClock.elapsed()) / 1000.0)));
    const QString current = fromEngine(progress.currentPath());
    m_currentFile->setText(m_currentFile->fontMetrics().elidedText(current, Qt::ElideMiddle, m_currentFile->width()));
    m_currentFile->setToolTip(current);
}

void ViewController::showDirectText(const QString& text)
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (!m_closed)
        appendReportText(text);
}

void ViewController::finishRun(int id)
{
    Q_ASSERT(QThread::currentThread() == thread());
    std::unique_ptr<RunJob> ended;
    {
        const std::lock_guard<std::mutex> lock(handOffMutex());
        ended = std::move(m_runs.at(id));
        m_runs.erase(id);
    }
    const RunJob& run = *ended;
    if (!m_closed) {
        stopSpinner();
        showProgress();
        if (run.failure) {
            // Nothing was walked, so no totals: say why rather than leave the window spinning.
            emit errorOccurred(tr("The folder %1 could not be read: %2.")
                                   .arg(QFile::decodeName(run.item.path.c_str()), fromEngine(run.failure->reason)));
        } else {
            appendReportText(run.text);
            if (run.item.isFolder)
                emit folderRunEnded(
                    RunSummary::text(run.operation, ItemURL::displayName(*theSourceURL), run.counters, run.stopped));
        }
    }
    emit runEnded();
    if (m_closed && m_runs.empty())
        emit runsFinished();
}
