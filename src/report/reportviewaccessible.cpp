#include "reportviewaccessible.h"

#include "report/reportview.h"

#include <QTextBoundaryFinder>

ReportViewAccessible::ReportViewAccessible(ReportView* view)
    : QAccessibleWidget(view, QAccessible::EditableText)
{
}

QAccessibleInterface* ReportViewAccessible::create(const QString& className, QObject* object)
{
    auto* view = qobject_cast<ReportView*>(object);
    return className == QLatin1String("ReportView") && view ? new ReportViewAccessible(view) : nullptr;
}

ReportView* ReportViewAccessible::view() const
{
    return static_cast<ReportView*>(widget());
}

void* ReportViewAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State ReportViewAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    state.editable = false;
    state.multiLine = true;
    state.selectableText = true;
    return state;
}

QString ReportViewAccessible::text(QAccessible::Text type) const
{
    return type == QAccessible::Value ? view()->text() : QAccessibleWidget::text(type);
}

void ReportViewAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const
{
    const bool any = selectionIndex == 0 && selectionCount() == 1;
    *startOffset = any ? int(view()->selectionStart()) : 0;
    *endOffset = any ? int(view()->selectionEnd()) : 0;
}

int ReportViewAccessible::selectionCount() const
{
    return view()->selectionEnd() > view()->selectionStart() ? 1 : 0;
}

void ReportViewAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void ReportViewAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        view()->select(view()->cursorPosition(), view()->cursorPosition());
}

void ReportViewAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0)
        view()->select(startOffset, endOffset);
}

int ReportViewAccessible::cursorPosition() const
{
    return int(qMin<qsizetype>(view()->cursorPosition(), characterCount()));
}

void ReportViewAccessible::setCursorPosition(int position)
{
    view()->select(position, position);
}

QString ReportViewAccessible::text(int startOffset, int endOffset) const
{
    return view()->text().mid(startOffset, qMax(0, endOffset - startOffset));
}

QString ReportViewAccessible::textBeforeOffset(
    int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset, int* endOffset) const
{
    textAtOffset(offset, boundaryType, startOffset, endOffset);
    if (*startOffset <= 0) {
        *startOffset = *endOffset = -1;
        return QString();
    }
    return textAtOffset(*startOffset - 1, boundaryType, startOffset, endOffset);
}

QString ReportViewAccessible::textAfterOffset(
    int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset, int* endOffset) const
{
    textAtOffset(offset, boundaryType, startOffset, endOffset);
    if (*endOffset < 0 || *endOffset >= characterCount()) {
        *startOffset = *endOffset = -1;
        return QString();
    }
    return textAtOffset(*endOffset, boundaryType, startOffset, endOffset);
}

// Lines are found in the view's index; characters, words and sentences within the line at offset, so no
// question costs more than one line however long the report.
QString ReportViewAccessible::textAtOffset(
    int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = -1;
    const int count = characterCount();
    if (offset < 0 || offset > count)
        return QString();
    const QString& all = view()->text();
    const qsizetype line = view()->lineOfPosition(offset);
    const int start = int(view()->lineStart(line));
    const int end = int(qMin<qsizetype>(view()->lineEnd(line) + 1, count)); // with its line feed
    switch (boundaryType) {
    case QAccessible::NoBoundary:
        *startOffset = 0;
        *endOffset = count;
        break;
    case QAccessible::LineBoundary:
    case QAccessible::ParagraphBoundary:
        *startOffset = start;
        *endOffset = end;
        break;
    case QAccessible::CharBoundary:
        if (offset == count)
            return QString();
        *startOffset = offset;
        *endOffset = offset + (all.at(offset).isHighSurrogate() && offset + 1 < count ? 2 : 1);
        break;
    case QAccessible::WordBoundary:
    case QAccessible::SentenceBoundary: {
        QTextBoundaryFinder finder(
            boundaryType == QAccessible::WordBoundary ? QTextBoundaryFinder::Word : QTextBoundaryFinder::Sentence,
            all.mid(start, end - start));
        finder.setPosition(offset - start);
        const qsizetype from = finder.isAtBoundary() ? offset - start : finder.toPreviousBoundary();
        finder.setPosition(offset - start);
        const qsizetype to = finder.toNextBoundary();
        *startOffset = start + int(qMax<qsizetype>(from, 0));
        *endOffset = to < 0 ? end : start + int(to);
        break;
    }
    }
    return text(*startOffset, *endOffset);
}

int ReportViewAccessible::characterCount() const
{
    return int(qMin<qsizetype>(view()->text().size(), std::numeric_limits<int>::max()));
}

QRect ReportViewAccessible::characterRect(int offset) const
{
    const ReportView* report = view();
    const QRect caret = report->characterRect(offset);
    const bool lastOnLine = offset >= report->lineEnd(report->lineOfPosition(offset));
    const int right = lastOnLine ? caret.left() + QFontMetrics(report->style().font()).averageCharWidth()
                                 : report->characterRect(offset + 1).left();
    const QRect box(caret.topLeft(), QPoint(qMax(right - 1, caret.left()), caret.bottom()));
    return QRect(report->viewport()->mapToGlobal(box.topLeft()), box.size());
}

int ReportViewAccessible::offsetAtPoint(const QPoint& point) const
{
    const QPoint local = view()->viewport()->mapFromGlobal(point);
    if (!view()->viewport()->rect().contains(local) || view()->lineAt(local) < 0)
        return -1;
    return int(view()->positionAt(local));
}

void ReportViewAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    view()->scrollToPosition(endIndex);
    view()->scrollToPosition(startIndex);
}

QString ReportViewAccessible::attributes(int offset, int* startOffset, int* endOffset) const
{
    // One style for the whole report: nothing sets one stretch apart from another.
    *startOffset = offset < 0 || offset > characterCount() ? -1 : 0;
    *endOffset = *startOffset < 0 ? -1 : characterCount();
    return QString();
}
