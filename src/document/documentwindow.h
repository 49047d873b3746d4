#pragma once

#include <QMainWindow>

#include <functional>

class QMessageBox;
class ViewController;

/*!
 * The window of one opened item: its content is a ViewController, its title the item's name. Closed while
 * a run is going, it asks first whether to stop the run; the runs then finish the files in hand.
 */
class DocumentWindow : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DocumentWindow)

public:
    explicit DocumentWindow(const QString& title);
    ~DocumentWindow() override;

    [[nodiscard]] ViewController* viewController() const
    {
        return m_viewController;
    }
    /// Stops the window's runs and closes it without asking.
    void stopRunsAndClose();

    /// Asks, without blocking, "Stop the run and close?" (or, quitting, "Stop the runs and quit?"); confirmed
    /// runs if the user chooses to stop. The question is modal to parent's window and centred on it.
    static QMessageBox* askToStopRuns(QWidget* parent, bool quitting, std::function<void()> confirmed);

signals:
    /// The user closed the window; it is hidden now and is deleted by its document later.
    void windowClosed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    ViewController* m_viewController;
    bool m_stopConfirmed = false;
};
