#include "findbar.h"

#include "report/reportview.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

FindBar::FindBar(ReportView* view, QWidget* parent)
    : QWidget(parent)
    , m_view(view)
    , m_field(new QLineEdit(this))
    , m_matchCase(new QCheckBox(tr("Match Case"), this))
    , m_count(new QLabel(this))
{
    setObjectName(QStringLiteral("findBar"));
    m_field->setObjectName(QStringLiteral("findField"));
    m_field->setPlaceholderText(tr("Find"));
    m_field->setClearButtonEnabled(true);
    m_count->setObjectName(QStringLiteral("findCount"));
    auto* previous = new QToolButton(this);
    previous->setText(tr("Previous"));
    previous->setToolTip(tr("Previous match (Shift+F3)"));
    auto* next = new QToolButton(this);
    next->setText(tr("Next"));
    next->setToolTip(tr("Next match (F3)"));
    auto* closing = new QToolButton(this);
    closing->setText(QStringLiteral("\u2715"));
    closing->setToolTip(tr("Close (Escape)"));
    closing->setAutoRaise(true);
    m_field->setAccessibleName(tr("Find"));
    previous->setAccessibleName(tr("Previous Match"));
    next->setAccessibleName(tr("Next Match"));
    m_matchCase->setAccessibleName(tr("Match Case"));
    closing->setAccessibleName(tr("Close Find Bar"));
    // Typing, then the ways through the matches, then closing: the order the eye reads them is not the one
    // the hand needs.
    setTabOrder(m_field, previous);
    setTabOrder(previous, next);
    setTabOrder(next, m_matchCase);
    setTabOrder(m_matchCase, closing);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(closing);
    layout->addWidget(m_field, 1);
    layout->addWidget(m_count);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addWidget(m_matchCase);

    for (QWidget* control : std::initializer_list<QWidget*> { closing, m_field, previous, next, m_matchCase })
        control->installEventFilter(this);
    connect(closing, &QToolButton::clicked, this, &FindBar::dismiss);
    connect(previous, &QToolButton::clicked, this, &FindBar::findPrevious);
    connect(next, &QToolButton::clicked, this, &FindBar::findNext);
    // Typing moves to the first match from where the current one starts, so the match grows as it is typed.
    connect(m_field, &QLineEdit::textEdited, this, [this] {
        if (!find(m_view->selectionStart(), true)) // a match found has counted already
            updateCount();
    });
    connect(m_matchCase, &QCheckBox::toggled, this, &FindBar::updateCount);
    connect(m_view, &ReportView::textChanged, this, &FindBar::updateCount);
    connect(m_view, &ReportView::problemsOnlyChanged, this, &FindBar::updateCount);
    hide();
}

FindBar::~FindBar() = default;

void FindBar::open()
{
    const QString selected = m_view->selectedText();
    if (!selected.isEmpty() && !selected.contains(u'\n'))
        m_field->setText(selected);
    show();
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
    updateCount();
}

void FindBar::dismiss()
{
    hide();
    m_view->setFocus(Qt::OtherFocusReason);
}

void FindBar::findNext()
{
    // From just after the start of the match shown, so that the next one may overlap it.
    const bool selected = m_view->selectionEnd() > m_view->selectionStart();
    find(selected ? m_view->selectionStart() + 1 : m_view->cursorPosition(), true);
}

void FindBar::findPrevious()
{
    find(m_view->selectionStart() - 1, false);
}

bool FindBar::find(qsizetype from, bool forward)
{
    const QString needle = m_field->text();
    if (needle.isEmpty())
        return false;
    const QString& text = m_view->text();
    const Qt::CaseSensitivity sensitivity = m_matchCase->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (int round = 0; round < 2; ++round, from = forward ? 0 : text.size()) {
        while (forward ? from <= text.size() : from >= 0) {
            const qsizetype at =
                forward ? text.indexOf(needle, from, sensitivity) : text.lastIndexOf(needle, from, sensitivity);
            if (at < 0)
                break;
            const qsizetype line = m_view->lineOfPosition(at);
            if (m_view->isLineShown(line)) {
                m_view->select(at, at + needle.size());
                updateCount();
                return true;
            }
            from = forward ? m_view->lineEnd(line) + 1 : m_view->lineStart(line) - 1;
        }
    }
    return false;
}

void FindBar::updateCount()
{
    const QString needle = m_field->text();
    if (isHidden() || needle.isEmpty()) {
        m_count->clear();
        return;
    }
    // The matches in the lines shown, counted without overlaps, and which of them is selected.
    const QString& text = m_view->text();
    const Qt::CaseSensitivity sensitivity = m_matchCase->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const bool selected = m_view->selectionEnd() - m_view->selectionStart() == needle.size();
    qsizetype count = 0;
    qsizetype current = 0;
    for (qsizetype at = text.indexOf(needle, 0, sensitivity); at >= 0;
         at = text.indexOf(needle, at + needle.size(), sensitivity)) {
        if (!m_view->isLineShown(m_view->lineOfPosition(at)))
            continue;
        ++count;
        if (selected && at == m_view->selectionStart())
            current = count;
    }
    m_count->setText(count == 0 ? tr("No matches")
            : current > 0       ? tr("%1 of %2").arg(current).arg(count)
            : count == 1        ? tr("1 match")
                                : tr("%1 matches").arg(count));
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
    const int pressed = key ? static_cast<QKeyEvent*>(event)->key() : 0;
    // Escape belongs to the bar while one of its controls has the focus: taken as the window's shortcut, it
    // would stop the runs instead of closing the bar.
    if (pressed == Qt::Key_Escape) {
        event->accept();
        if (event->type() == QEvent::KeyPress)
            dismiss();
        return true;
    }
    if (watched == m_field && event->type() == QEvent::KeyPress
        && (pressed == Qt::Key_Return || pressed == Qt::Key_Enter)) {
        static_cast<QKeyEvent*>(event)->modifiers() & Qt::ShiftModifier ? findPrevious() : findNext();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
