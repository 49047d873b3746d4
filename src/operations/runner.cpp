// The window side of the runner: what Check, Tag and Retag have in common. A single file is handled at once,
// inside the click; a folder is walked on processingQueue, and its whole report reaches the window in one
// piece when the walk ends. The per-file steps, report lines and totals are the engine's (integrityrun.h).

#include "app/showerror.h"
#include "document/itemurl.h"
#include "operations/busyindicator.h"
#include "operations/mailbox.h"
#include "operations/threadhandoff.h"
#include "viewcontroller.h"

#include <QFile>
#include <QMetaObject>

#include <cstring>
#include <exception>
#include <functional>
#include <memory>

using orvane::Backend;
using orvane::Operation;

namespace {

// Report text and the messages of the engine are UTF-8; paths in them are the file names' bytes.
QString fromEngine(const std::string& text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QString describe(const std::exception& error)
{
    return QString::fromLocal8Bit(error.what());
}

} // namespace

// One folder run. Created on the GUI thread, then used by the worker alone until it posts the run back.
struct ViewController::FolderRun
{
    Operation operation = Operation::Check;
    std::string folder; // F: the folder's path without its final slash
    orvane::RunSettings settings;
    orvane::RunState state;
    bool listed = false; // whether the folder itself could be listed
    int listError = 0; // why not
    std::string failure; // what stopped the walk, should anything have been thrown
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
    if (isFile)
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
    settings.read = theReadFunction;
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
    // Tag's description of a failed write goes into the report at once, ahead of the file's own line.
    observer.directText = [this](const std::string& text) { appendReportText(fromEngine(text)); };
    try {
        orvane::runSingleFile(operation, ItemURL::enginePath(path), runSettings(backend), state, observer);
        appendReportText(fromEngine(state.reportText));
    } catch (const std::exception& error) {
        showError(tr("The run on %1 stopped: %2").arg(path, describe(error)));
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

    std::function<void()> walk = [window = this, mailbox = m_mailbox, run] {
        // On a pool thread: the run and the mailbox are the worker's to use; `window` is only the address
        // that Qt delivers to. Nothing may leave by an exception: the pool would take the program down.
        orvane::handOffAcquire();
        try {
            orvane::RunObserver observer;
            observer.directText = [window, mailbox](const std::string& text) {
                post(window, *mailbox, [window, text] {
                    if (!window->m_closed)
                        window->appendReportText(fromEngine(text));
                });
            };
            try {
                run->listed = orvane::runFolder(
                    run->operation, run->folder, run->settings, run->state, observer, &run->listError);
            } catch (const std::exception& error) {
                run->failure = error.what();
            } catch (...) {
                run->failure = "unexpected error";
            }
            post(window, *mailbox, [window, run] { window->finishFolderRun(*run); });
        } catch (...) {
            // Only a failure to post (out of memory) gets here; the run can then tell no one.
        }
    };
    orvane::handOffRelease();
    processingQueue.start(std::move(walk));
}

void ViewController::post(ViewController* window, Mailbox& mailbox, std::function<void()> block)
{
    // Each wake-up runs the oldest block in the mailbox, so blocks run in the order they were put in. The
    // wake-up is posted under the mailbox's lock: a window that takes its block owns the wake-up too.
    mailbox.put(std::move(block), [window] {
        QMetaObject::invokeMethod(
            window,
            [window] {
                if (std::function<void()> next = orvane::deliveredByQt(window)->m_mailbox->take())
                    next();
            },
            Qt::QueuedConnection);
    });
}

void ViewController::finishFolderRun(FolderRun& run)
{
    --m_runsInFlight;
    if (!m_closed) {
        const QString folder = QFile::decodeName(run.folder.c_str());
        if (!run.failure.empty()) {
            stopSpinner();
            showError(tr("The run over %1 stopped: %2").arg(folder, QString::fromLocal8Bit(run.failure.c_str())));
        } else if (!run.listed) {
            // Nothing was walked, so no totals: say why rather than leave the window spinning.
            stopSpinner();
            showError(tr("The folder %1 could not be read: %2.")
                          .arg(folder, QString::fromLocal8Bit(std::strerror(run.listError))));
        } else {
            orvane::appendTotals(run.operation, run.folder, run.state);
            appendReportText(fromEngine(run.state.reportText));
            stopSpinner();
        }
    }
    emit folderRunEnded();
    if (m_closed && m_runsInFlight == 0)
        emit runsFinished();
}
