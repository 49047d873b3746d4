#pragma once

#include <QMainWindow>

class HelpViewController;

/// The help window ("Help Window Controller"): shows the manual. Closing it only hides it.
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

private:
    HelpViewController* m_viewController;
};
