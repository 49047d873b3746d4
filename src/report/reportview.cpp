#include "reportview.h"

#include "report/reportviewaccessible.h"

#include <QAccessible>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int margin = 4; // between the frame and the text, as a text document keeps it
constexpr qreal unboundedWidth = 1e6; // lines are never wrapped; the width only has to be set
const QString emojiFamily = QStringLiteral("Noto Color Emoji");

// The characters of the mark a line begins with (a variation selector included), or 0.
int markLength(QStringView line)
{
    if (line.isEmpty() || !(line[0] == u'\u2705' || line[0] == u'\u274C' || line[0] == u'\u26A0'))
        return 0;
    return line.size() > 1 && line[1] == u'\uFE0F' ? 2 : 1;
}

// What a row shows for a character that would otherwise break the row or show nothing: its control picture.
QChar shownChar(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x20 && u != u'\t')
        return QChar(char16_t(0x2400 + u));
    if (u == 0x7F)
        return QChar(char16_t(0x2421));
    if (u == 0x2028 || u == 0x2029 || u == 0x85)
        return QChar(char16_t(0x2424));
    return c;
}

} // namespace

ReportView::ReportView(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    static const bool accessible = [] {
        QAccessible::installFactory(&ReportViewAccessible::create);
        return true;
    }();
    Q_UNUSED(accessible)
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    viewport()->setCursor(Qt::IBeamCursor);
    // Items dropped on the window open as documents; the report must not take the drop for itself.
    setAcceptDrops(false);
    viewport()->setAcceptDrops(false);
    horizontalScrollBar()->setSingleStep(20);
    setReportStyle(reportStyle(QFontDatabase::systemFont(QFontDatabase::FixedFont).pointSizeF(), palette()));
}

ReportView::~ReportView() = default;

QTextCharFormat ReportView::reportStyle(qreal size, const QPalette& palette)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(size);
    // Marks the monospace font lacks come from the colour emoji font rather than any font that has them.
    // The family the system's name (often the alias "Monospace") stands for: an alias in a list of families
    // is not looked up, and the emoji font's own digits and spaces would take the place of the monospace ones.
    font.setFamilies({ QFontInfo(font).family(), emojiFamily });
    QTextCharFormat style;
    style.setFont(font);
    style.setForeground(palette.color(QPalette::Text));
    return style;
}

void ReportView::setReportStyle(const QTextCharFormat& style)
{
    m_style = style;
    const qsizetype topLine = lineOfRow(qMin<qsizetype>(verticalScrollBar()->value(), rowCount() - 1));
    m_font = style.font();
    m_markFont = m_font;
    m_markFont.setFamilies({ emojiFamily, m_font.family() });
    m_color = style.foreground().color();
    // Every row is as high as a line with the report's marks, which may come from a fallback font.
    QTextLayout sample(QStringLiteral("Ag\u2705\u274C\u26A0\uFE0F"), m_font);
    sample.beginLayout();
    QTextLine line = sample.createLine();
    sample.endLayout();
    const QFontMetricsF metrics(m_font);
    m_ascent = qMax(line.ascent(), metrics.ascent());
    m_rowHeight = std::ceil(m_ascent + qMax(line.descent(), metrics.descent()));
    m_widest = 0;
    measureLongestLine();
    updateScrollBars();
    // The line at the top stays there, whatever the size.
    verticalScrollBar()->setValue(clampToInt(rowOfLine(topLine)));
    viewport()->update();
}

void ReportView::setPlaceholderText(const QString& text)
{
    m_placeholder = text;
    viewport()->update();
}

void ReportView::replaceText(const QString& text, const QTextCharFormat& style)
{
    if (text.constData() == m_text.constData() && text.size() == m_text.size()) {
        setReportStyle(style);
        return;
    }
    const QString old = m_text;
    m_text = text;
    m_lineStarts.assign(1, 0);
    m_info.assign(1, LineInfo {});
    m_exact.clear();
    m_digests.clear();
    m_runRecords.clear();
    m_shownLines.clear();
    m_longestLine = 0;
    m_problemCount = 0;
    m_damagedCount = 0;
    indexFrom(0);
    m_anchor = m_cursor = 0;
    m_caretX = -1;
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    setReportStyle(style);
    if (QAccessible::isActive()) {
        QAccessibleTextUpdateEvent update(this, 0, old, m_text);
        QAccessible::updateAccessibility(&update);
    }
    emit textChanged();
    emit selectionChanged();
}

void ReportView::appendText(const QString& text, const QTextCharFormat& style)
{
    append(text, nullptr, style);
}

void ReportView::append(const QString& text, const std::vector<LineInfo>* infos, const QTextCharFormat& style)
{
    if (text.isEmpty())
        return;
    const qsizetype end = m_text.size();
    if (m_text.isEmpty())
        m_text = text; // shares the caller's characters instead of copying them
    else
        m_text += text;
    textInserted(end, text, indexFrom(end, infos), style);
}

void ReportView::textInserted(qsizetype position, const QString& text, bool longer, const QTextCharFormat& style)
{
    if (style != m_style) {
        setReportStyle(style);
    } else {
        if (longer)
            measureLongestLine();
        updateScrollBars();
        viewport()->update();
    }
    if (QAccessible::isActive()) {
        QAccessibleTextInsertEvent insert(this, clampToInt(position), text);
        QAccessible::updateAccessibility(&insert);
    }
    emit textChanged();
}

// Adds the starts of the lines that begin after position, which is the old end of the text, and what each
// line is: infos[i] for the i-th line from the last one before position, Other past them. True if the longest
// line is another one or has grown.
int ReportView::clampToInt(qsizetype value)
{
    return int(std::clamp<qsizetype>(value, 0, std::numeric_limits<int>::max()));
}

void ReportView::countLine(const LineInfo& info, qsizetype by)
{
    if (info.kind == orvane::LineKind::Problem)
        m_problemCount += by;
    if (info.possiblyDamaged())
        m_damagedCount += by;
}

bool ReportView::indexFrom(qsizetype position, const std::vector<LineInfo>* infos)
{
    const QStringView text(m_text);
    // The last line may grow: it takes its place in the filter afresh, with the lines that follow it.
    const qsizetype firstChanged = lineCount() - 1;
    countLine(m_info.back(), -1);
    while (!m_shownLines.empty() && m_shownLines.back() >= firstChanged)
        m_shownLines.pop_back();
    // The longest line as it was before position: the last line may grow by what is being added.
    const qsizetype before = qMin(lineEnd(m_longestLine), position) - lineStart(m_longestLine);
    qsizetype longest = before;
    const auto consider = [&](qsizetype start, qsizetype end) {
        if (end - start > longest) {
            longest = end - start;
            m_longestLine = lineCount() - 1;
        }
    };
    for (qsizetype feed = text.indexOf(u'\n', position); feed >= 0; feed = text.indexOf(u'\n', feed + 1)) {
        consider(m_lineStarts.back(), feed);
        m_lineStarts.push_back(feed + 1);
    }
    consider(m_lineStarts.back(), text.size());
    // A line continued by plain text keeps what it was; a chunk's lines say what they are.
    const qsizetype partial = position - lineStart(firstChanged);
    m_info.resize(m_lineStarts.size());
    for (qsizetype line = firstChanged; line < lineCount(); ++line) {
        LineInfo& info = m_info[size_t(line)];
        if (infos && size_t(line - firstChanged) < infos->size()) {
            info = (*infos)[size_t(line - firstChanged)];
            if (line == firstChanged && info.pathLength > 0)
                info.pathStart += std::uint32_t(partial);
        } else if (line > firstChanged) {
            info = LineInfo {};
        }
        countLine(info, 1);
        if (line == lineCount() - 1 || info.kind != orvane::LineKind::Fine)
            m_shownLines.push_back(line);
    }
    return longest > before;
}

qsizetype ReportView::lineStart(qsizetype line) const
{
    return m_lineStarts[size_t(line)];
}

qsizetype ReportView::lineEnd(qsizetype line) const
{
    return line + 1 < lineCount() ? m_lineStarts[size_t(line + 1)] - 1 : m_text.size();
}

QStringView ReportView::lineText(qsizetype line) const
{
    return QStringView(m_text).mid(lineStart(line), lineEnd(line) - lineStart(line));
}

qsizetype ReportView::lineOfPosition(qsizetype position) const
{
    return qsizetype(std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), position) - m_lineStarts.begin()) - 1;
}

qsizetype ReportView::rowOfLine(qsizetype line) const
{
    if (!m_problemsOnly)
        return line;
    return qsizetype(std::lower_bound(m_shownLines.begin(), m_shownLines.end(), line) - m_shownLines.begin());
}

bool ReportView::isLineShown(qsizetype line) const
{
    return !m_problemsOnly || std::binary_search(m_shownLines.begin(), m_shownLines.end(), line);
}

qsizetype ReportView::shownPosition(qsizetype position, bool forward) const
{
    const qsizetype line = lineOfPosition(position);
    if (isLineShown(line))
        return position;
    const qsizetype row = rowOfLine(line); // the next line shown: the last line always is
    return forward || row == 0 ? lineStart(lineOfRow(row)) : lineEnd(lineOfRow(row - 1));
}

QByteArray ReportView::pathOfLine(qsizetype line) const
{
    const LineInfo& info = lineInfo(line);
    if (info.pathLength == 0)
        return {};
    if (const auto exact = m_exact.find(line); exact != m_exact.end() && !exact->second.path.isEmpty())
        return exact->second.path;
    return lineText(line).mid(info.pathStart, info.pathLength).toUtf8();
}

QByteArray ReportView::bytes() const
{
    const bool exactLines =
        std::any_of(m_exact.begin(), m_exact.end(), [](const auto& entry) { return !entry.second.line.isEmpty(); });
    if (!exactLines)
        return m_text.toUtf8();
    QByteArray bytes;
    bytes.reserve(m_text.size());
    for (qsizetype line = 0; line < lineCount(); ++line) {
        const auto exact = m_exact.find(line);
        if (exact != m_exact.end() && !exact->second.line.isEmpty()) {
            bytes += exact->second.line; // with its line feed
        } else {
            bytes += lineText(line).toUtf8();
            if (line + 1 < lineCount())
                bytes += '\n';
        }
    }
    return bytes;
}

void ReportView::setProblemsOnly(bool on)
{
    if (on == m_problemsOnly)
        return;
    const qsizetype topLine = lineOfRow(verticalScrollBar()->value());
    m_problemsOnly = on;
    const qsizetype oldStart = selectionStart();
    const qsizetype oldEnd = selectionEnd();
    m_anchor = shownPosition(m_anchor, true);
    m_cursor = shownPosition(m_cursor, true);
    updateScrollBars();
    verticalScrollBar()->setValue(clampToInt(rowOfLine(topLine)));
    viewport()->update();
    if (selectionStart() != oldStart || selectionEnd() != oldEnd)
        emit selectionChanged();
    emit problemsOnlyChanged(on);
}

std::unique_ptr<QTextLayout> ReportView::layoutOf(qsizetype line) const
{
    QString shown = lineText(line).toString();
    for (QChar& c : shown)
        c = shownChar(c);
    auto layout = std::make_unique<QTextLayout>(shown, m_font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    if (const int mark = markLength(shown)) {
        QTextLayout::FormatRange range { 0, mark, {} };
        range.format.setFont(m_markFont);
        layout->setFormats({ range });
    }
    layout->beginLayout();
    layout->createLine().setLineWidth(unboundedWidth);
    layout->endLayout();
    return layout;
}

void ReportView::measureLongestLine()
{
    m_widest = qMax(m_widest, layoutOf(m_longestLine)->lineAt(0).naturalTextWidth());
}

qreal ReportView::lineX() const
{
    return margin - horizontalScrollBar()->value();
}

qsizetype ReportView::rowAtY(int y) const
{
    return verticalScrollBar()->value() + qsizetype(std::floor((y - margin) / m_rowHeight));
}

int ReportView::rowsInView() const
{
    return qMax(1, int((viewport()->height() - margin) / m_rowHeight));
}

void ReportView::updateScrollBars()
{
    const int rows = rowsInView();
    verticalScrollBar()->setPageStep(rows);
    verticalScrollBar()->setRange(0, clampToInt(rowCount() - rows));
    const int width = viewport()->width();
    horizontalScrollBar()->setPageStep(width);
    horizontalScrollBar()->setRange(0, qMax(0, int(std::ceil(m_widest)) + 2 * margin - width));
}

void ReportView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void ReportView::scrollContentsBy(int /*dx*/, int /*dy*/)
{
    viewport()->update();
}

void ReportView::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(viewport());
    painter.setPen(m_color);
    const QPalette& colours = palette();
    QTextCharFormat selected;
    selected.setBackground(colours.brush(QPalette::Highlight));
    selected.setForeground(colours.brush(QPalette::HighlightedText));
    const qsizetype from = selectionStart();
    const qsizetype to = selectionEnd();
    const bool caret = hasFocus();
    const qreal x = lineX();
    const qreal widest = m_widest;
    qreal y = margin;
    if (m_text.isEmpty() && !m_placeholder.isEmpty()) {
        painter.setPen(colours.color(QPalette::PlaceholderText));
        painter.drawText(viewport()->rect().adjusted(margin, margin, -margin, -margin),
            Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
            m_placeholder);
        painter.setPen(m_color);
    }
    for (qsizetype row = verticalScrollBar()->value(); row < rowCount() && y < viewport()->height();
         ++row, y += m_rowHeight) {
        const qsizetype line = lineOfRow(row);
        const qsizetype start = lineStart(line);
        const qsizetype end = lineEnd(line);
        const auto layout = layoutOf(line);
        const QTextLine textLine = layout->lineAt(0);
        const QPointF position(x, y + m_ascent - textLine.ascent());
        QList<QTextLayout::FormatRange> ranges;
        if (from < to && from <= end && to > start) {
            const qsizetype first = qMax(from, start) - start;
            const qsizetype last = qMin(to, end) - start;
            if (last > first)
                ranges.append({ int(first), int(last - first), selected });
        }
        layout->draw(&painter, position, ranges);
        const qreal width = textLine.naturalTextWidth();
        if (from <= end && to > end) // the line feed is selected: a space's width of highlight marks it
            painter.fillRect(QRectF(x + width, y, QFontMetricsF(m_font).averageCharWidth(), m_rowHeight),
                colours.brush(QPalette::Highlight));
        if (caret && m_cursor >= start && m_cursor <= end)
            layout->drawCursor(&painter, position, int(m_cursor - start));
        m_widest = qMax(m_widest, width);
    }
    if (m_widest > widest) // a row wider than any before it: the scroll bar reaches it once painting is done
        QMetaObject::invokeMethod(this, &ReportView::updateScrollBars, Qt::QueuedConnection);
}

qsizetype ReportView::lineAt(const QPoint& point) const
{
    const qsizetype row = rowAtY(point.y());
    return row >= 0 && row < rowCount() && point.y() >= margin ? lineOfRow(row) : -1;
}

qsizetype ReportView::positionAt(const QPoint& point) const
{
    const qsizetype line = lineOfRow(std::clamp<qsizetype>(rowAtY(point.y()), 0, rowCount() - 1));
    return lineStart(line) + layoutOf(line)->lineAt(0).xToCursor(point.x() - lineX());
}

QRect ReportView::characterRect(qsizetype position) const
{
    const qsizetype line = lineOfPosition(position);
    const qreal x = lineX() + layoutOf(line)->lineAt(0).cursorToX(int(position - lineStart(line)));
    const qreal y = margin + (rowOfLine(line) - verticalScrollBar()->value()) * m_rowHeight;
    return QRectF(x, y, 1, m_rowHeight).toAlignedRect();
}

QString ReportView::selectedText() const
{
    const qsizetype from = selectionStart();
    const qsizetype to = selectionEnd();
    if (!m_problemsOnly)
        return m_text.mid(from, to - from);
    QString shown;
    for (qsizetype row = rowOfLine(lineOfPosition(from)); row < rowCount(); ++row) {
        const qsizetype line = lineOfRow(row);
        if (lineStart(line) >= to)
            break;
        const qsizetype start = qMax(lineStart(line), from);
        shown += QStringView(m_text).mid(start, qMin(lineEnd(line) + 1, to) - start);
    }
    return shown;
}

void ReportView::select(qsizetype anchor, qsizetype cursor)
{
    const qsizetype oldStart = selectionStart();
    const qsizetype oldEnd = selectionEnd();
    const qsizetype oldCursor = m_cursor;
    m_anchor = std::clamp<qsizetype>(anchor, 0, m_text.size());
    m_cursor = std::clamp<qsizetype>(cursor, 0, m_text.size());
    selectionMoved(oldStart, oldEnd, oldCursor);
}

void ReportView::selectAll()
{
    const qsizetype oldStart = selectionStart();
    const qsizetype oldEnd = selectionEnd();
    const qsizetype oldCursor = m_cursor;
    m_anchor = 0;
    m_cursor = m_text.size();
    selectionMoved(oldStart, oldEnd, oldCursor);
}

void ReportView::copy() const
{
    if (selectionEnd() > selectionStart())
        QGuiApplication::clipboard()->setText(selectedText());
}

void ReportView::moveCursor(qsizetype position, bool keepAnchor)
{
    select(keepAnchor ? m_anchor : position, position);
}

// Scrolls the caret into view, repaints, and tells those who follow the selection.
void ReportView::selectionMoved(qsizetype oldStart, qsizetype oldEnd, qsizetype oldCursor)
{
    scrollToPosition(m_cursor);
    viewport()->update();
    if (m_cursor != oldCursor && QAccessible::isActive()) {
        QAccessibleTextCursorEvent moved(this, clampToInt(m_cursor));
        QAccessible::updateAccessibility(&moved);
    }
    if (selectionStart() != oldStart || selectionEnd() != oldEnd) {
        if (QAccessible::isActive()) {
            QAccessibleTextSelectionEvent selection(this, clampToInt(selectionStart()), clampToInt(selectionEnd()));
            selection.setCursorPosition(clampToInt(m_cursor));
            QAccessible::updateAccessibility(&selection);
        }
        emit selectionChanged();
    }
}

void ReportView::scrollToPosition(qsizetype position)
{
    position = std::clamp<qsizetype>(position, 0, m_text.size());
    const qsizetype row = rowOfLine(lineOfPosition(position));
    QScrollBar* vertical = verticalScrollBar();
    if (row < vertical->value())
        vertical->setValue(int(row));
    else if (row >= vertical->value() + rowsInView())
        vertical->setValue(int(row - rowsInView() + 1));
    const QRect caret = characterRect(position);
    QScrollBar* horizontal = horizontalScrollBar();
    const int left = caret.left() + horizontal->value() - margin;
    if (caret.left() < margin)
        horizontal->setValue(left);
    else if (caret.right() >= viewport()->width() - margin)
        horizontal->setValue(left - viewport()->width() + 3 * margin);
}

void ReportView::scrollToEnd()
{
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}
