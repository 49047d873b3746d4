#pragma once

#include "integrity/filedigest.h"
#include "integrity/tagstore.h"
#include "operations/integrityrun.h"

#include <QElapsedTimer>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

class BusyIndicator;
class FindBar;
class QBoxLayout;
class QLabel;
class QProgressBar;
struct RunJob;
class QPushButton;
class ReportView;

/*!
 * The content of a document window: Check, Tag and Retag on the opened item, the report, the busy indicator,
 * the progress row and Stop. Everything here runs on the GUI thread. A run, of a folder or a single file,
 * works on processingQueue and hashes on the application's one pool; it touches nothing of the window and
 * posts its results back with QMetaMethod::invoke, which delivers them on the GUI thread in posting order.
 *
 * A window closed while its runs go on stays alive, hidden, until their last posted result has come in: the
 * runs finish the files in hand (every attribute write completes), and from the close on nothing of the
 * window's widgets is touched. runsFinished() then tells the document it may go.
 *
 * Failures that the user must hear of (a folder that cannot be listed, a report that cannot be written) leave
 * as errorOccurred(); the application decides how to show them.
 */
class ViewController : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ViewController)

public:
    explicit ViewController(QWidget* parent = nullptr);
    ~ViewController() override;

    /// The opened item, handed over by its document. A folder's URL ends in "/".
    void setItem(const QUrl& url, bool isFile);
    [[nodiscard]] std::optional<QUrl> sourceURL() const
    {
        return theSourceURL;
    }
    [[nodiscard]] bool isFile() const
    {
        return m_isFile;
    }
    [[nodiscard]] double fontSize() const
    {
        return theFontSize;
    }
    /// The report's characters, exactly as the runs put them in.
    [[nodiscard]] QString reportText() const;
    /// Runs started and not yet ended.
    [[nodiscard]] int runsInFlight() const
    {
        return int(m_runs.size());
    }
    [[nodiscard]] bool isClosed() const
    {
        return m_closed;
    }
    /// How runs read files; empty means read(2). Tests hold a run mid-file with it.
    void setReadFunction(orvane::ReadFunction read);

    // Reading the report: find, problems only, the font size's bounds, from a line to its file.
    [[nodiscard]] bool problemsOnly() const;
    [[nodiscard]] bool canMakeBigger() const;
    [[nodiscard]] bool canMakeSmaller() const;

signals:
    /// A run has ended (its results shown, or dropped if the window was closed meanwhile).
    void runEnded();
    /// A folder run of the open window has shown its report; summary tells it in one line (RunSummary).
    void folderRunEnded(const QString& summary);
    /// The window was closed and its last run has ended.
    void runsFinished();
    /// Something failed that the user should be told of; message names the item and the reason.
    void errorOccurred(const QString& message);
    void fontSizeChanged(double size);
    void problemsOnlyChanged(bool on);
    /// The user asked to see the file a report line names in the file manager, or to open it.
    void showInFilesRequested(const QString& path);
    void openRequested(const QString& path);

public slots:
    void checkButton();
    void hashButton();
    void retagButton();
    /// Stop (Escape): every run of this window finishes the files in hand and starts no other.
    void stopRuns();

    void setReportText(const QString& text);
    void appendReportText(const QString& text);
    void restyleReport();
    void incFontSize();
    void decFontSize();
    void exportText();
    void resetFontSize();
    void findInReport();
    void findNext();
    void findPrevious();
    /// Shows only the report's warnings, errors, notices and totals; Save and Export still write it all.
    void setProblemsOnly(bool on);

    /// Runs each time the view is shown: a view without a run in progress shows no busy indicator.
    void viewDidAppear();
    /// The window has been closed: from now on runs that end leave the widgets alone.
    void windowWillClose();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The runner; see runner.cpp.
    void runOperation(orvane::Operation operation);
    void startRun(orvane::Operation operation, orvane::Backend backend, const QUrl& item);
    static void execute(RunJob& run);
    // Posted from the pool by name, with arguments of Qt's own types.
    Q_INVOKABLE void showDirectText(const QString& text);
    Q_INVOKABLE void finishRun(int id);
    void stopSpinner();
    /// Shows the newest run's progress below the buttons, or hides it when no run is going.
    void showProgress();
    void setupReading(QBoxLayout* buttons, QBoxLayout* layout);
    void updateProblemsLine();
    [[nodiscard]] orvane::RunSettings runSettings(orvane::Backend backend) const;

    ReportView* outputTextbox;
    BusyIndicator* progressSpinner;
    QPushButton* theCheckButton;
    QPushButton* theHashButton;
    QPushButton* theRetagButton;
    QPushButton* theStopButton;
    QWidget* m_progressRow;
    QProgressBar* m_progressBar;
    QLabel* m_progressText;
    QLabel* m_currentFile;
    QTimer m_progressTimer;
    QElapsedTimer m_runClock;
    FindBar* m_findBar = nullptr;
    QLabel* m_problemsLine = nullptr;
    QPushButton* m_problemsButton = nullptr;

    std::optional<QUrl> theSourceURL;
    bool m_isFile = true;
    double theFontSize = 12.0;
    const std::int64_t realBufferSize = orvane::realBufferSize;
    const std::string theXattrName = orvane::theXattrName;
    orvane::ReadFunction m_read;
    bool m_closed = false;
    int m_lastRunId = 0;
    std::map<int, std::unique_ptr<RunJob>> m_runs; // started and not yet posted back
    // Last, so that it is destroyed first: its destructor waits for the walks, which post to this object.
    QThreadPool processingQueue;
};
