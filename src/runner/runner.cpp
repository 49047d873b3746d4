// The window side of the runner: what Check, Tag and Retag have in common. A single file is handled at once,
// inside the click; a folder is walked on processingQueue, and its whole report reaches the window in one
// piece when the walk ends. The per-file steps, report lines and totals are the engine's (integrityrun.h).

#include "operations/hashnumber.h"
#include "runner/busyindicator.h"
#include "runner/folderrun.h"
#include "runner/itemurl.h"
#include "viewcontroller.h"

#include <QFile>
#include <QMetaMethod>
#include <QMetaObject>
#include <QThread>

#include <exception>
#include <memory>
#include <mutex>

using orvane::Backend;
using orvane::Operation;

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
    const Backend backend = orvane::platformBackend();
    if (m_isFile)
        runSingleFileVariant(operation, backend, *theSourceURL);
    else
        startFolderRun(operation, backend, *theSourceURL);
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

void ViewController::runSingleFileVariant(Operation operation, Backend backend, const QUrl& item)
{
    const QString path = ItemURL::path(item);
    orvane::RunState state;
    orvane::RunObserver observer;
    // Tag's notice of a failed write goes into the report at once, ahead of the file's own line.
    observer.directText = [this](const std::string& text) { appendReportText(fromEngine(text)); };
    orvane::runSingleFile(operation, ItemURL::enginePath(path), runSettings(backend), state, observer);
    appendReportText(fromEngine(state.reportText));
    stopSpinner();
}

void ViewController::startFolderRun(Operation operation, Backend backend, const QUrl& item)
{
    const int id = ++m_lastRunId;
    FolderRun* run = nullptr;
    {
        const std::lock_guard<std::mutex> lock(handOffMutex());
        auto& slot = m_folderRuns[id];
        slot = std::make_unique<FolderRun>();
        run = slot.get();
        run->window = this;
        run->id = id;
        run->operation = operation;
        run->folder = ItemURL::enginePath(ItemURL::folderPath(item));
        run->settings = runSettings(backend);
    }
    // The task holds nothing but the run, which the window keeps until it has been posted back. A plain
    // pointer fits inside the std::function, which Qt then copies; a larger task would be allocated here
    // and read on the pool thread where ThreadSanitizer cannot see the hand-over.
    processingQueue.start([run] { walkFolder(*run); });
}

void ViewController::walkFolder(FolderRun& run)
{
    // On a pool thread: only the run is the worker's to use, and `window` only as the address that results
    // are posted to; Qt delivers them on the GUI thread in posting order. Nothing may leave by an exception:
    // the pool would take the program down.
    static const QMetaMethod showDirectText = postedMethod("showDirectText(QString)");
    static const QMetaMethod finishFolderRun = postedMethod("finishFolderRun(int)");
    QObject* window = nullptr;
    int id = 0;
    Operation operation;
    std::string folder;
    orvane::RunSettings settings;
    {
        const std::lock_guard<std::mutex> lock(handOffMutex());
        window = run.window;
        id = run.id;
        operation = run.operation;
        folder = run.folder;
        settings = run.settings;
    }
    std::optional<orvane::Failure> failure;
    QString text;
    try {
        orvane::RunObserver observer;
        observer.directText = [window](const std::string& notice) {
            showDirectText.invoke(window, Qt::QueuedConnection, Q_ARG(QString, fromEngine(notice)));
        };
        orvane::RunState state;
        failure = orvane::runFolder(operation, folder, settings, state, observer);
        if (!failure) {
            orvane::appendTotals(operation, folder, state);
            // Decoded here rather than on the GUI thread: a report may hold millions of lines.
            text = fromEngine(state.reportText);
        }
    } catch (const std::exception& error) {
        failure = orvane::Failure { 0, error.what() }; // out of memory: the engine itself throws nothing
    }
    {
        const std::lock_guard<std::mutex> lock(handOffMutex());
        run.failure = std::move(failure);
        run.text = std::move(text);
    }
    finishFolderRun.invoke(window, Qt::QueuedConnection, Q_ARG(int, id));
}

void ViewController::showDirectText(const QString& text)
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (!m_closed)
        appendReportText(text);
}

void ViewController::finishFolderRun(int id)
{
    Q_ASSERT(QThread::currentThread() == thread());
    std::unique_ptr<FolderRun> ended;
    {
        const std::lock_guard<std::mutex> lock(handOffMutex());
        ended = std::move(m_folderRuns.at(id));
        m_folderRuns.erase(id);
    }
    const FolderRun& run = *ended;
    if (!m_closed) {
        stopSpinner();
        if (run.failure) {
            // Nothing was walked, so no totals: say why rather than leave the window spinning.
            emit errorOccurred(tr("The folder %1 could not be read: %2.")
                                   .arg(QFile::decodeName(run.folder.c_str()), fromEngine(run.failure->reason)));
        } else {
            appendReportText(run.text);
        }
    }
    emit folderRunEnded();
    if (m_closed && m_folderRuns.empty())
        emit runsFinished();
}
