#pragma once

#include "integrity/filedigest.h"
#include "integrity/tagstore.h"
#include "operations/integrityrun.h"

#include <QThreadPool>
#include <QUrl>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class BusyIndicator;
class Mailbox;
class QPushButton;
class ReportView;

/*!
 * The content of a document window: Check, Tag and Retag on the opened item, the report and the busy
 * indicator. Everything here runs on the GUI thread. A folder run walks on processingQueue; the worker
 * touches nothing of the window and posts its results back to it, in order, through the event queue.
 *
 * A window closed while its folder runs walk stays alive, hidden, until their last posted block has run:
 * the walks go on to the end (every attribute write completes), and from the close on nothing of the
 * window's widgets is touched. runsFinished() then tells the document it may go.
 */
class ViewController : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ViewController)

public:
    explicit ViewController(QWidget* parent = nullptr);
    ~ViewController() override;

    // Outlets, owned by the widget tree.
    ReportView* outputTextbox = nullptr;
    BusyIndicator* progressSpinner = nullptr;
    QPushButton* theCheckButton = nullptr;
    QPushButton* theHashButton = nullptr;
    QPushButton* theRetagButton = nullptr;

    QString theFilename; // part of the window's state; no operation uses it
    QString theSourcePath; // likewise
    std::optional<QUrl> theSourceURL; // the opened item; a folder's URL ends in "/"
    bool isFile = true;
    double theFontSize = 12.0;
    const std::int64_t realBufferSize = orvane::realBufferSize;
    const std::string theXattrName = orvane::theXattrName;
    const std::string theTimeXattrName = orvane::theTimeXattrName;
    QThreadPool processingQueue; // this window's folder runs, at most 8 walking at once
    orvane::ReadFunction theReadFunction; // how runs read files; empty means read(2). Tests hold runs here.

    /// The report's characters, exactly as the runs put them in.
    [[nodiscard]] QString reportText() const;
    /// Folder runs started and not yet ended.
    [[nodiscard]] int runsInFlight() const
    {
        return m_runsInFlight;
    }
    [[nodiscard]] bool isClosed() const
    {
        return m_closed;
    }

signals:
    /// A folder run has ended (its results shown, or dropped if the window was closed meanwhile).
    void folderRunEnded();
    /// The window was closed and its last folder run has ended.
    void runsFinished();

public slots:
    void checkButton();
    void hashButton();
    void retagButton();

    void setReportText(const QString& text);
    void appendReportText(const QString& text);
    void restyleReport();
    void incFontSize();
    void decFontSize();
    void exportText();

    /// Copies the opened item from the window's document; runs each time the view is shown.
    void viewDidAppear();
    /// The window has been closed: from now on runs that end leave the widgets alone.
    void windowWillClose();

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct FolderRun;

    // The runner; see runner.cpp.
    void runOperation(orvane::Operation operation);
    void runSingleFileVariant(orvane::Operation operation, orvane::Backend backend, const QUrl& item);
    void startFolderRun(orvane::Operation operation, orvane::Backend backend, const QUrl& item);
    void finishFolderRun(FolderRun& run);
    /// From a pool thread: runs block on window's GUI thread, after every block posted before it.
    static void post(ViewController* window, Mailbox& mailbox, std::function<void()> block);
    void stopSpinner();
    [[nodiscard]] orvane::RunSettings runSettings(orvane::Backend backend) const;

    bool m_closed = false;
    int m_runsInFlight = 0;
    // Shared with the workers, which touch nothing else of the window.
    std::shared_ptr<Mailbox> m_mailbox;
};
