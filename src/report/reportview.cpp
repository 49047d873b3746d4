#include "reportview.h"

#include <QFontDatabase>
#include <QPalette>
#include <QTextCursor>

ReportView::ReportView(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setUndoRedoEnabled(false); // a report of many thousand lines should not be kept twice
    setLineWrapMode(QPlainTextEdit::NoWrap); // one file per line, as in a terminal
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Items dropped on the window open as documents; the report must not take the drop for itself.
    setAcceptDrops(false);
    viewport()->setAcceptDrops(false);
}

ReportView::~ReportView() = default;

QTextCharFormat ReportView::reportStyle(qreal size, const QPalette& palette)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(size);
    QTextCharFormat style;
    style.setFont(font);
    style.setForeground(palette.color(QPalette::Text));
    return style;
}

void ReportView::replaceText(const QString& text, const QTextCharFormat& style)
{
    m_text = text;
    document()->clear();
    QTextCursor cursor(document());
    cursor.insertText(text, style);
}

void ReportView::appendText(const QString& text, const QTextCharFormat& style)
{
    if (text.isEmpty())
        return;
    m_text += text;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text, style);
}
