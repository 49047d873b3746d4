#pragma once

#include "integrity/filedigest.h"
#include "operations/item.h"
#include "operations/outcome.h"
#include "operations/runprogress.h"

#include <QByteArray>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>
#include <QWidget>

#include <map>
#include <memory>
#include <optional>
#include <vector>

class QMessageBox;
class ReportChunk;
class ReportPane;
class RunPanel;

/*!
 * The content of a document window: Check, Tag and Retag on the opened item (a RunPanel), and the report (a
 * ReportPane). Everything here runs on the GUI thread. A run, of a folder or of a single file, works on
 * processingQueue and hashes on the application's one pool; it touches nothing of the window and hands its
 * results back through JobTracker, which delivers them on the GUI thread in posting order.
 *
 * A window closed while its runs go on stays alive, hidden, until their last result has come in: the runs
 * finish the files in hand (every attribute write completes), and from the close on nothing of the window's
 * widgets is touched. runsFinished() then tells the document it may go.
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

    /// The setting that, when false, lets Tag start without asking first ("Don't ask again").
    static constexpr const char* askBeforeTagKey = "askBeforeTag";

    /// The opened item, handed over by its document: its path's own bytes and whether it is a folder.
    void setItem(const orvane::Item& item);
    [[nodiscard]] const std::optional<orvane::Item>& item() const
    {
        return m_item;
    }
    [[nodiscard]] bool isFile() const
    {
        return !m_item || !m_item->isFolder;
    }
    [[nodiscard]] ReportPane* reportPane() const
    {
        return m_reportPane;
    }
    /// The report's characters as shown.
    [[nodiscard]] QString reportText() const;
    /// The report as orvane-cli prints it, byte for byte: what Save and Export write.
    [[nodiscard]] QByteArray reportBytes() const;
    [[nodiscard]] double fontSize() const;
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

    /*!
     * Makes this the window of a comparison: the item's folder against second, by their stored digests (see
     * orvane::compareTrees), shown as the report when it ends. Check, Tag and Retag are not offered here.
     */
    void compareWith(const orvane::Item& second);
    [[nodiscard]] bool isComparison() const
    {
        return m_comparedWith.has_value();
    }

signals:
    /// A run has ended (its results shown, or dropped if the window was closed meanwhile).
    void runEnded();
    /// A folder run of the open window has shown its report; summary tells it in one line (RunSummary).
    void folderRunEnded(const QString& summary);
    /// The window was closed and its last run has ended.
    void runsFinished();
    /// Something failed that the user should be told of; message names the item and the reason.
    void errorOccurred(const QString& message);
    /// The user asked to see the file a report line names in the file manager, or to open it: its bytes.
    void showInFilesRequested(const QByteArray& path);
    void openRequested(const QByteArray& path);

public slots:
    void checkButton();
    /// Tag: asks first whether to replace the stored digests, unless the user said not to ask again.
    void hashButton();
    void retagButton();
    /// Stop (Escape): every run of this window finishes the files in hand and starts no other.
    void stopRuns();

    void setReportText(const QString& text);
    void appendReportText(const QString& text);
    void incFontSize();
    void decFontSize();
    /// Export: the report as text or JSON Lines as it is now, or the checksum list of the item's stored digests.
    void exportText();

    /// Runs each time the view is shown: a view without a run in progress shows no progress row.
    void viewDidAppear();
    /// The window has been closed: from now on runs that end leave the widgets alone.
    void windowWillClose();

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Pending;
    // What the window keeps of a run it started: its progress and the lines it has made and the window not yet
    // shown, which the run updates as it goes, and how many of its lines lead its part of the report.
    struct Run
    {
        orvane::Operation operation = orvane::Operation::Check;
        orvane::Item item;
        orvane::RunProgress progress;
        std::shared_ptr<Pending> pending;
        qsizetype notices = 0;
    };
    struct RunEnd;
    // A run's part of the report: its lines follow those of the runs started before it.
    struct Part
    {
        int run = 0;
        qsizetype lines = 0;
    };

    // The runner; see runner.cpp.
    void runOperation(orvane::Operation operation);
    void askBeforeTag();
    void writeFile(const QString& path, const QByteArray& bytes);
    void exportChecksumList(const QString& path);
    void startRun(orvane::Operation operation);
    /// Shows the lines the runs have made since the last look.
    void showPendingLines();
    /// Puts a run's notices at the top of its part of the report and its lines at the end.
    void showLines(int id, ReportChunk& notices, ReportChunk& lines);
    /// Where the part begins in the report: after the lines before the first part and the parts before it.
    [[nodiscard]] qsizetype firstLineOf(std::vector<Part>::const_iterator part) const;
    void finishRun(int id, RunEnd& end);
    /// Shows the newest run's progress, or hides the progress row when no run is going.
    void showProgress();

    RunPanel* m_runPanel;
    ReportPane* m_reportPane;
    QTimer m_progressTimer;
    QPointer<QMessageBox> m_tagQuestion;
    std::optional<orvane::Item> m_item;
    std::optional<orvane::Item> m_comparedWith;
    orvane::ReadFunction m_read;
    bool m_closed = false;
    int m_lastRunId = 0;
    std::map<int, std::unique_ptr<Run>> m_runs; // started and not yet ended
    qsizetype m_firstPartLine = 0; // the report's lines before the first part are no run's
    std::vector<Part> m_parts; // in the order the runs started
    // Last, so that it is destroyed first: its destructor waits for the runs, which post to this object.
    QThreadPool m_processingQueue;
};
