// The window side of the runner: what Check, Tag and Retag have in common. A single file is handled at once,
// inside the click; a folder is walked on processingQueue, and its whole report reaches the window in one
// piece when the walk ends. The per-file steps, report lines and totals are the engine's (integrityrun.h).

#include "runner/busyindicator.h"
#include "runner/itemurl.h"
#include "viewcontroller.h"

#include <QFile>
#include <QMetaObject>
#include <QThread>

#include <cstring>
#include <exception>
#include <memory>

using orvane::Backend;
using orvane::Operation;

namespace {

// Report text and the messages of the engine are UTF-8; paths in them are the file names' bytes.
QString fromEngine(const std::string& text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

// One folder run: filled in on the GUI thread, then the worker's alone until it posts the run back.
struct ViewController::FolderRun
{
    Operation operation = Operation::Check;
    std::string folder; // F: the folder's path without its final slash
    orvane::RunSettings settings;
    bool listed = false; // whether the folder itself could be listed
    int listError = 0; // why not
    std::string failure; // what stopped the walk, should anything have been thrown
    QString text; // the whole report, totals included, once the walk has ended
};

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
    try {
        orvane::runSingleFile(operation, ItemURL::enginePath(path), runSettings(backend), state, observer);
        appendReportText(fromEngine(state.reportText));
    } catch (const std::exception& error) {
        emit errorOccurred(tr("The run on %1 stopped: %2").arg(path, QString::fromLocal8Bit(error.what())));
    }
    stopSpinner();
}

void ViewController::startFolderRun(Operation operation, Backend backend, const QUrl& item)
{
    auto run = std::make_shared<FolderRun>();
    run->operation = operation;
    run->folder = ItemURL::enginePath(ItemURL::folderPath(item));
    run->settings = runSettings(backend);
    ++m_runsInFlight;

    processingQueue.start([this, run] {
        // On a pool thread: only the run is the worker's to use. `this` serves as the address results are
        // posted to, which Qt delivers on the GUI thread in posting order. Nothing may leave by an exception:
        // the pool would take the program down.
        try {
            orvane::RunObserver observer;
            observer.directText = [this](const std::string& text) {
                QMetaObject::invokeMethod(
                    this, [this, text = fromEngine(text)] { showDirectText(text); }, Qt::QueuedConnection);
            };
            orvane::RunState state;
            run->listed =
                orvane::runFolder(run->operation, run->folder, run->settings, state, observer, &run->listError);
            if (run->listed) {
                orvane::appendTotals(run->operation, run->folder, state);
                // Decoded here rather than on the GUI thread: a report may hold millions of lines.
                run->text = fromEngine(state.reportText);
            }
        } catch (const std::exception& error) {
            run->failure = error.what();
        } catch (...) {
            run->failure = "unexpected error";
        }
        QMetaObject::invokeMethod(
            this, [this, run] { finishFolderRun(*run); }, Qt::QueuedConnection);
    });
}

void ViewController::showDirectText(const QString& text)
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (!m_closed)
        appendReportText(text);
}

void ViewController::finishFolderRun(const FolderRun& run)
{
    Q_ASSERT(QThread::currentThread() == thread());
    --m_runsInFlight;
    if (!m_closed) {
        const QString folder = QFile::decodeName(run.folder.c_str());
        stopSpinner();
        if (!run.failure.empty()) {
            emit errorOccurred(
                tr("The run over %1 stopped: %2").arg(folder, QString::fromLocal8Bit(run.failure.c_str())));
        } else if (!run.listed) {
            // Nothing was walked, so no totals: say why rather than leave the window spinning.
            emit errorOccurred(tr("The folder %1 could not be read: %2.")
                                   .arg(folder, QString::fromLocal8Bit(std::strerror(run.listError))));
        } else {
            appendReportText(run.text);
        }
    }
    emit folderRunEnded();
    if (m_closed && m_runsInFlight == 0)
        emit runsFinished();
}
