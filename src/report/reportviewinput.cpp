// The report view's answers to the keyboard and the mouse: moving the caret and the selection, copying,
// and the context menu of a line.

#include "reportview.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <QUrl>

#include <algorithm>

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
    if (const QByteArray path = clicked >= 0 ? pathOfLine(clicked) : QByteArray(); !path.isEmpty()) {
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
    const QByteArray path = line >= 0 ? pathOfLine(line) : QByteArray();
    menu->addAction(tr("Show in &Files"), this, [this, path] { emit showInFilesRequested(path); })
        ->setEnabled(!path.isEmpty());
    menu->addAction(tr("Copy &Path"), this, [this, line] { copyPath(line); })->setEnabled(!path.isEmpty());
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

void ReportView::copyPath(qsizetype line) const
{
    // As text, and as the file's address, which keeps bytes that are not UTF-8 (percent-encoded).
    const QByteArray path = pathOfLine(line);
    auto* data = new QMimeData;
    data->setText(QFile::decodeName(path));
    data->setUrls({ QUrl::fromEncoded("file://" + path.toPercentEncoding("/")) });
    QGuiApplication::clipboard()->setMimeData(data);
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
