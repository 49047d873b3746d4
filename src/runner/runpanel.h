#pragma once

#include <QElapsedTimer>
#include <QWidget>

class QBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;

namespace orvane {
struct RunProgress;
}

/*!
 * The run side of a document window: the buttons Check, Tag and Retag, Stop, and below them the progress
 * row, the window's one sign of a run going on of the newest run ("n of N files · X of Y GB · Z MB/s · about T left"
 * and the file in hand). It shows what it is told and says what was pressed; the runs are the ViewController's.
 */
class RunPanel : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RunPanel)

public:
    explicit RunPanel(QWidget* parent = nullptr);
    ~RunPanel() override;

    [[nodiscard]] QPushButton* checkButton() const
    {
        return m_checkButton;
    }
    [[nodiscard]] QPushButton* tagButton() const
    {
        return m_tagButton;
    }
    [[nodiscard]] QPushButton* retagButton() const
    {
        return m_retagButton;
    }
    [[nodiscard]] QPushButton* stopButton() const
    {
        return m_stopButton;
    }
    /// Puts widget in the button row, after Retag.
    void addToButtonRow(QWidget* widget);

    /// Shows progress's figures in the progress row, or hides the row (and disables Stop) when it is null.
    void showProgress(const orvane::RunProgress* progress);

private:
    QPushButton* m_checkButton;
    QPushButton* m_tagButton;
    QPushButton* m_retagButton;
    QPushButton* m_stopButton;
    QBoxLayout* m_buttonRow;
    QWidget* m_progressRow;
    QProgressBar* m_progressBar;
    QLabel* m_progressText;
    QLabel* m_currentFile;
    QElapsedTimer m_runClock;
};
