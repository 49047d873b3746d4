#pragma once

#include <QMainWindow>

class HelpViewController;

/// The help window ("Help Window Controller"): shows the manual. Closing it only hides it. It opens with the
/// size and place it last had, on screen.
class HelpWindow : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HelpWindow)

public:
    explicit HelpWindow(QWidget* parent = nullptr);
    ~HelpWindow() override;

    [[nodiscard]] HelpViewController* viewController() const
    {
        return m_viewController;
    }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    HelpViewController* m_viewController;
};
