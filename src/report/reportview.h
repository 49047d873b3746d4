#pragma once

#include "report/reportchunk.h"

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QTextCharFormat>

#include <deque>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

class QPalette;
class QTextLayout;

/*!
 * The report: a read-only view of text in one style that keeps the exact characters it was given in one
 * string, beside it the start of every line, and lays out only the lines it paints. A report of a million
 * files thus costs its characters plus eight bytes a line, and appending costs only what is appended.
 *
 * A line is the text between two line feeds; a text that ends in a line feed ends with an empty line, where
 * the caret can stand. Carriage returns, line and paragraph separators and other control characters in a
 * path are shown as their control pictures, so one report line is always one row. Positions are indices
 * into text().
 *
 * Each line carries what the engine said of it (LineInfo: fine, a problem, or other; where its path stands)
 * and, for the few lines whose characters do not give back their bytes, the bytes themselves: the view
 * never reads a line's words to learn what it means. Text put in as plain characters is of kind Other.
 *
 * Rows are the lines shown, from top to bottom. With "problems only" on, the lines of files that are fine
 * are hidden: the view keeps, as lines arrive, a sorted list of the lines that filter shows (the last line
 * always among them, so the caret has a row at the end), and rowCount(), lineOfRow() and rowOfLine() go
 * through it. The filter changes what is shown and copied, never text().
 */
class ReportView : public QAbstractScrollArea
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReportView)

public:
    explicit ReportView(QWidget* parent = nullptr);
    ~ReportView() override;

    /// The one report style: the system's fixed-width font at size points, in the palette's text colour.
    [[nodiscard]] static QTextCharFormat reportStyle(qreal size, const QPalette& palette);

    /// Replaces the whole report with text in the given style. Given the text the view already holds, it
    /// only restyles, keeping the selection and the scroll position.
    void replaceText(const QString& text, const QTextCharFormat& style);
    /// Adds text, unchanged, at the end of the report; the whole report takes the given style.
    void appendText(const QString& text, const QTextCharFormat& style);
    /// Adds the lines of a sealed chunk at the end of the report, which ends in a line feed or is empty.
    void appendChunk(const ReportChunk& chunk, const QTextCharFormat& style);
    /// Puts the lines of a sealed chunk before line; lineCount() - 1 appends. The lines below keep their
    /// place on screen, and the selection stays on the characters it had.
    void insertChunk(qsizetype line, const ReportChunk& chunk, const QTextCharFormat& style);
    /// Keeps how a run ended with its last line, for JSON Lines.
    void setRunRecord(qsizetype line, RunRecord record);
    [[nodiscard]] const std::map<qsizetype, RunRecord>& runRecords() const
    {
        return m_runRecords;
    }
    /// The outcome of the line as JSON Lines give it (path, result, reason, digest); the line must be one of
    /// an outcome (LineInfo::Outcome).
    [[nodiscard]] orvane::Outcome outcomeOfLine(qsizetype line) const;
    /// Shows the report in another style: its font and its text colour.
    void setReportStyle(const QTextCharFormat& style);
    /// The hint an empty report shows, dimmed.
    void setPlaceholderText(const QString& text);

    /// The report's characters exactly as they were put in (chunks: as shown).
    [[nodiscard]] const QString& text() const
    {
        return m_text;
    }
    /// The report as orvane-cli prints it: the UTF-8 of text(), but for each line the exact bytes kept.
    [[nodiscard]] QByteArray bytes() const;
    [[nodiscard]] const QTextCharFormat& style() const
    {
        return m_style;
    }

    [[nodiscard]] qsizetype lineCount() const
    {
        return qsizetype(m_lineStarts.size());
    }
    [[nodiscard]] qsizetype lineStart(qsizetype line) const;
    /// Where the line's line feed is, or the end of the text for the last line.
    [[nodiscard]] qsizetype lineEnd(qsizetype line) const;
    /// The line's characters without its line feed; valid until the text changes.
    [[nodiscard]] QStringView lineText(qsizetype line) const;
    [[nodiscard]] qsizetype lineOfPosition(qsizetype position) const;
    /// The line shown at point (viewport coordinates), or -1 below the last row.
    [[nodiscard]] qsizetype lineAt(const QPoint& point) const;
    /// The position nearest to point (viewport coordinates), clamped to the rows.
    [[nodiscard]] qsizetype positionAt(const QPoint& point) const;
    /// The caret's rectangle at position, in viewport coordinates.
    [[nodiscard]] QRect characterRect(qsizetype position) const;
    /// Scrolls as little as needed to show position.
    void scrollToPosition(qsizetype position);
    /// Scrolls to the last row, leaving the caret where it is.
    void scrollToEnd();

    [[nodiscard]] const LineInfo& lineInfo(qsizetype line) const
    {
        return m_info[size_t(line)];
    }
    /// The bytes of the path the line names, empty when it names none.
    [[nodiscard]] QByteArray pathOfLine(qsizetype line) const;

    /// Shows only warnings, errors, notices and totals, or every line again.
    void setProblemsOnly(bool on);
    [[nodiscard]] bool problemsOnly() const
    {
        return m_problemsOnly;
    }
    [[nodiscard]] bool isLineShown(qsizetype line) const;
    /// How many lines of the report are problems: warnings and errors.
    [[nodiscard]] qsizetype problemCount() const
    {
        return m_problemCount;
    }
    /// How many of them name files that are possibly damaged: changed without an edit since they were tagged.
    [[nodiscard]] qsizetype damagedCount() const
    {
        return m_damagedCount;
    }

    [[nodiscard]] qsizetype cursorPosition() const
    {
        return m_cursor;
    }
    [[nodiscard]] qsizetype selectionStart() const
    {
        return qMin(m_anchor, m_cursor);
    }
    [[nodiscard]] qsizetype selectionEnd() const
    {
        return qMax(m_anchor, m_cursor);
    }
    /// The selected characters; with problems only on, those of the lines shown.
    [[nodiscard]] QString selectedText() const;
    /// Selects from anchor to cursor (the caret) and scrolls the caret into view.
    void select(qsizetype anchor, qsizetype cursor);
    void selectAll();
    /// Puts the selected characters on the clipboard, exactly.
    void copy() const;

signals:
    void textChanged();
    void selectionChanged();
    void problemsOnlyChanged(bool on);
    /// The user asked to see or open the file a line names (double-click, the context menu): its bytes.
    void showInFilesRequested(const QByteArray& path);
    void openRequested(const QByteArray& path);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    enum class Motion
    {
        NextChar,
        PreviousChar,
        NextWord,
        PreviousWord,
        NextLine,
        PreviousLine,
        NextPage,
        PreviousPage,
        StartOfLine,
        EndOfLine,
        StartOfDocument,
        EndOfDocument
    };

    /// A scroll bar's value for value, which may be beyond what an int holds.
    [[nodiscard]] static int clampToInt(qsizetype value);
    /// Adds by (1 or -1) to the counts of problem lines and of possibly damaged files, for a line of info.
    void countLine(const LineInfo& info, qsizetype by);

    [[nodiscard]] qsizetype rowCount() const
    {
        return m_problemsOnly ? qsizetype(m_shownLines.size()) : lineCount();
    }
    [[nodiscard]] qsizetype lineOfRow(qsizetype row) const
    {
        return m_problemsOnly ? m_shownLines[size_t(row)] : row;
    }
    /// The row of the line, or for a hidden line the row of the next line shown.
    [[nodiscard]] qsizetype rowOfLine(qsizetype line) const;
    /// The position itself if its line is shown, else the nearest position on a shown line in that direction.
    [[nodiscard]] qsizetype shownPosition(qsizetype position, bool forward) const;

    // Indexes the lines that begin after position, the old end of the text; infos: what they are.
    bool indexFrom(qsizetype position, const std::vector<LineInfo>* infos = nullptr);
    void append(const QString& text, const std::vector<LineInfo>* infos, const QTextCharFormat& style);
    void takeDigests(qsizetype first, const ReportChunk& chunk);
    /// Tells the style, the scroll bars, the screen and assistive tools of text put in at position.
    void textInserted(qsizetype position, const QString& text, bool longer, const QTextCharFormat& style);
    void copyPath(qsizetype line) const;
    [[nodiscard]] std::unique_ptr<QTextLayout> layoutOf(qsizetype line) const;
    [[nodiscard]] qreal lineX() const;
    [[nodiscard]] qsizetype rowAtY(int y) const;
    [[nodiscard]] int rowsInView() const;
    void updateScrollBars();
    void measureLongestLine();
    [[nodiscard]] qsizetype target(Motion motion) const;
    bool handleMotion(QKeyEvent* event);
    void moveCursor(qsizetype position, bool keepAnchor);
    void selectionMoved(qsizetype oldStart, qsizetype oldEnd, qsizetype oldCursor);

    QString m_text;
    std::vector<qsizetype> m_lineStarts { 0 };
    std::vector<LineInfo> m_info { LineInfo {} }; // one a line
    std::unordered_map<qsizetype, ExactBytes> m_exact; // by line
    // By line, as far as the last line with one. In blocks, not one array: an array that doubles as a report
    // grows leaves the heap its old copies, a third of the report again.
    std::deque<orvane::Digest> m_digests;
    std::map<qsizetype, RunRecord> m_runRecords; // by a run's last line
    qsizetype m_longestLine = 0; // the line with the most characters
    std::vector<qsizetype> m_shownLines { 0 }; // the lines problems only shows, in order
    qsizetype m_problemCount = 0;
    qsizetype m_damagedCount = 0;
    bool m_problemsOnly = false;
    QString m_placeholder;
    QTextCharFormat m_style;
    QFont m_font;
    QFont m_markFont; // the marks: a colour emoji font first, as the monospace font may have plain ones
    QColor m_color;
    qreal m_rowHeight = 1;
    qreal m_ascent = 0;
    qreal m_widest = 0; // the widest line measured so far, in pixels
    qsizetype m_anchor = 0;
    qsizetype m_cursor = 0;
    qreal m_caretX = -1; // where Up and Down aim; -1: where the caret is
    bool m_selecting = false;
};
