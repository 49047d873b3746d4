#pragma once

#include <QAbstractScrollArea>
#include <QString>
#include <QStringView>
#include <QTextCharFormat>

#include <memory>
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
 * Rows are the lines shown, from top to bottom. Today every line is shown; a filter that hides lines keeps a
 * sorted list of the lines it shows and changes only rowCount(), lineOfRow() and rowOfLine().
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
    /// Shows the report in another style: its font and its text colour.
    void setReportStyle(const QTextCharFormat& style);

    /// The report's characters exactly as they were put in.
    [[nodiscard]] const QString& text() const
    {
        return m_text;
    }
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
    [[nodiscard]] QString selectedText() const;
    /// Selects from anchor to cursor (the caret) and scrolls the caret into view.
    void select(qsizetype anchor, qsizetype cursor);
    void selectAll();
    /// Puts the selected characters on the clipboard, exactly.
    void copy() const;

signals:
    void textChanged();
    void selectionChanged();

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

    [[nodiscard]] qsizetype rowCount() const
    {
        return lineCount();
    }
    [[nodiscard]] qsizetype lineOfRow(qsizetype row) const
    {
        return row;
    }
    [[nodiscard]] qsizetype rowOfLine(qsizetype line) const
    {
        return line;
    }

    bool indexFrom(qsizetype position);
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
    qsizetype m_longestLine = 0; // the line with the most characters
    QTextCharFormat m_style;
    QFont m_font;
    QColor m_color;
    qreal m_rowHeight = 1;
    qreal m_ascent = 0;
    qreal m_widest = 0; // the widest line measured so far, in pixels
    qsizetype m_anchor = 0;
    qsizetype m_cursor = 0;
    qreal m_caretX = -1; // where Up and Down aim; -1: where the caret is
    bool m_selecting = false;
};
