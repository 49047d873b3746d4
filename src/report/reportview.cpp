#include "reportview.h"

#include "report/reportviewaccessible.h"

#include <QAccessible>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextBoundaryFinder>
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

int clampToInt(qsizetype value)
{
    return int(std::clamp<qsizetype>(value, 0, std::numeric_limits<int>::max()));
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

void ReportView::replaceText(const QString& text, const QTextCharFormat& style)
{
    if (text.constData() == m_text.constData() && text.size() == m_text.size()) {
        setReportStyle(style);
        return;
    }
    const QString old = m_text;
    m_text = text;
    m_lineStarts.assign(1, 0);
    m_longestLine = 0;
    m_problemCount = 0;
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
    if (text.isEmpty())
        return;
    const qsizetype end = m_text.size();
    if (m_text.isEmpty())
        m_text = text; // shares the caller's characters instead of copying them
    else
        m_text += text;
    const bool longer = indexFrom(end);
    if (style != m_style) {
        setReportStyle(style);
    } else {
        if (longer)
            measureLongestLine();
        updateScrollBars();
        viewport()->update();
    }
    if (QAccessible::isActive()) {
        QAccessibleTextInsertEvent insert(this, clampToInt(end), text);
        QAccessible::updateAccessibility(&insert);
    }
    emit textChanged();
}

// Adds the starts of the lines that begin after position, which is the old end of the text. True if the
// longest line is another one or has grown.
bool ReportView::indexFrom(qsizetype position)
{
    const QStringView text(m_text);
    // The last line may grow: it is classified afresh with the lines that follow it.
    const qsizetype firstChanged = lineCount() - 1;
    if (isProblemLine(text.mid(lineStart(firstChanged), position - lineStart(firstChanged))))
        --m_problemCount;
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
    for (qsizetype line = firstChanged; line < lineCount(); ++line) {
        const QStringView shown = lineText(line);
        if (isProblemLine(shown))
            ++m_problemCount;
        if (line == lineCount() - 1 || !isSuccessLine(shown))
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

bool ReportView::isSuccessLine(QStringView line)
{
    return line.startsWith(u"\u2705 ") || line.startsWith(u"Digest ");
}

bool ReportView::isProblemLine(QStringView line)
{
    return line.startsWith(u"\u26A0\uFE0F ") || line.startsWith(u"\u274C ");
}

QString ReportView::pathOfLine(QStringView line)
{
    const qsizetype slash = line.indexOf(u'/');
    if (slash < 0)
        return {};
    QStringView path = line.mid(slash);
    const QStringView unequal = u" aren't equal.";
    if (line.startsWith(u"\u274C Digest") && path.endsWith(unequal))
        path.chop(unequal.size());
    else if (line.contains(u"Couldn't ") && path.endsWith(u')') && path.lastIndexOf(u" (") > 0)
        path.truncate(path.lastIndexOf(u" ("));
    return path.toString();
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

qsizetype ReportView::target(Motion motion) const
{
    const qsizetype line = lineOfPosition(m_cursor);
    const qsizetype start = lineStart(line);
    const int column = int(m_cursor - start);
    const auto layout = layoutOf(line);
    // Up, Down and the page keys keep the caret where it was across, as far as the target line reaches.
    const auto sameX = [&](qsizetype rows) {
        const qsizetype row = std::clamp<qsizetype>(rowOfLine(line) + rows, 0, rowCount() - 1);
        const qreal x = m_caretX >= 0 ? m_caretX : layout->lineAt(0).cursorToX(column);
        const qsizetype to = lineOfRow(row);
        return lineStart(to) + layoutOf(to)->lineAt(0).xToCursor(x);
    };
    switch (motion) {
    case Motion::NextChar:
        return m_cursor == lineEnd(line) ? qMin(m_cursor + 1, m_text.size())
                                         : start + layout->nextCursorPosition(column);
    case Motion::PreviousChar:
        return column == 0 ? qMax<qsizetype>(m_cursor - 1, 0) : start + layout->previousCursorPosition(column);
    case Motion::NextWord:
        return m_cursor == lineEnd(line) ? qMin(m_cursor + 1, m_text.size())
                                         : start + layout->nextCursorPosition(column, QTextLayout::SkipWords);
    case Motion::PreviousWord:
        return column == 0 ? qMax<qsizetype>(m_cursor - 1, 0)
                           : start + layout->previousCursorPosition(column, QTextLayout::SkipWords);
    case Motion::NextLine:
        return sameX(1);
    case Motion::PreviousLine:
        return sameX(-1);
    case Motion::NextPage:
        return sameX(rowsInView());
    case Motion::PreviousPage:
        return sameX(-rowsInView());
    case Motion::StartOfLine:
        return start;
    case Motion::EndOfLine:
        return lineEnd(line);
    case Motion::StartOfDocument:
        return 0;
    case Motion::EndOfDocument:
        return m_text.size();
    }
    return m_cursor;
}

bool ReportView::handleMotion(QKeyEvent* event)
{
    struct Key
    {
        QKeySequence::StandardKey move;
        QKeySequence::StandardKey extend;
        Motion motion;
    };
    static const Key keys[] = {
        { QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, Motion::NextChar },
        { QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, Motion::PreviousChar },
        { QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, Motion::NextWord },
        { QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, Motion::PreviousWord },
        { QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, Motion::NextLine },
        { QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, Motion::PreviousLine },
        { QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, Motion::NextPage },
        { QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, Motion::PreviousPage },
        { QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, Motion::StartOfLine },
        { QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, Motion::EndOfLine },
        { QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, Motion::StartOfDocument },
        { QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, Motion::EndOfDocument },
    };
    for (const Key& key : keys) {
        const bool extend = event->matches(key.extend);
        if (!extend && !event->matches(key.move))
            continue;
        const bool vertical = key.motion == Motion::NextLine || key.motion == Motion::PreviousLine
            || key.motion == Motion::NextPage || key.motion == Motion::PreviousPage;
        if (vertical && m_caretX < 0)
            m_caretX = characterRect(m_cursor).left() - lineX();
        else if (!vertical)
            m_caretX = -1;
        // A page key scrolls the view by a page too, so the caret keeps its place in the window.
        if (key.motion == Motion::NextPage)
            verticalScrollBar()->setValue(verticalScrollBar()->value() + rowsInView());
        else if (key.motion == Motion::PreviousPage)
            verticalScrollBar()->setValue(verticalScrollBar()->value() - rowsInView());
        const qsizetype to = target(key.motion);
        moveCursor(shownPosition(to, to >= m_cursor), extend);
        return true;
    }
    return false;
}

bool ReportView::event(QEvent* event)
{
    // Copy and Select All belong to the report, even where the window has shortcuts on these keys.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll)) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void ReportView::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::SelectAll))
        selectAll();
    else if (event->matches(QKeySequence::Copy))
        copy();
    else if (!handleMotion(event))
        QAbstractScrollArea::keyPressEvent(event);
}

void ReportView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_selecting = true;
    m_caretX = -1;
    moveCursor(positionAt(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
}

void ReportView::mouseMoveEvent(QMouseEvent* event)
{
    // Beyond the top or the bottom the caret goes to the row there, which scrolls it into view.
    if (m_selecting && (event->buttons() & Qt::LeftButton))
        moveCursor(positionAt(event->position().toPoint()), true);
}

void ReportView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_selecting)
        return;
    m_selecting = false;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection() && selectionEnd() > selectionStart())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void ReportView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // A line that names a file shows it in the file manager; elsewhere a double-click selects a word.
    const qsizetype clicked = lineAt(event->position().toPoint());
    if (const QString path = clicked >= 0 ? pathOfLine(lineText(clicked)) : QString(); !path.isEmpty()) {
        emit showInFilesRequested(path);
        return;
    }
    const qsizetype position = positionAt(event->position().toPoint());
    const qsizetype line = lineOfPosition(position);
    const qsizetype start = lineStart(line);
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, lineText(line).toString());
    words.setPosition(int(position - start));
    const qsizetype from = words.isAtBoundary() ? position : start + qMax(0, int(words.toPreviousBoundary()));
    words.setPosition(int(position - start));
    const qsizetype to = start + qMax(0, int(words.toNextBoundary()));
    m_selecting = true;
    select(from, qMax(from, to));
}

void ReportView::contextMenuEvent(QContextMenuEvent* event)
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const qsizetype line = lineAt(event->pos());
    const QString path = line >= 0 ? pathOfLine(lineText(line)) : QString();
    menu->addAction(tr("Show in &Files"), this, [this, path] { emit showInFilesRequested(path); })
        ->setEnabled(!path.isEmpty());
    menu->addAction(tr("Copy &Path"), this, [path] { QGuiApplication::clipboard()->setText(path); })
        ->setEnabled(!path.isEmpty());
    menu->addAction(tr("&Open"), this, [this, path] { emit openRequested(path); })->setEnabled(!path.isEmpty());
    menu->addSeparator();
    QAction* copying = menu->addAction(tr("&Copy"), this, &ReportView::copy);
    copying->setShortcut(QKeySequence::Copy);
    copying->setEnabled(selectionEnd() > selectionStart());
    menu->addSeparator();
    QAction* all = menu->addAction(tr("Select All"), this, &ReportView::selectAll);
    all->setShortcut(QKeySequence::SelectAll);
    all->setEnabled(!m_text.isEmpty());
    menu->popup(event->globalPos());
}

void ReportView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void ReportView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}
