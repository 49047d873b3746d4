#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class ReportView;

/*!
 * The find bar under the report, as text editors have it: it searches as the user types, ignores case
 * unless Match Case is on, says how many matches there are and which one is selected ("2 of 3"), and goes to the next
 * match (Enter, F3) or the previous one (Shift+Enter, Shift+F3), round from the end to the start. Escape closes it. A
 * match is shown by selecting it; lines the problems filter hides are not searched.
 */
class FindBar : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FindBar)

public:
    explicit FindBar(ReportView* view, QWidget* parent = nullptr);
    ~FindBar() override;

public slots:
    /// Shows the bar with the text to find selected, taking a one-line selection of the report as that text.
    void open();
    void findNext();
    void findPrevious();
    void dismiss();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// Selects the first match at or after from (forward) or before it, going round once; false if none.
    bool find(qsizetype from, bool forward);
    void updateCount();

    ReportView* m_view;
    QLineEdit* m_field;
    QCheckBox* m_matchCase;
    QLabel* m_count;
};
