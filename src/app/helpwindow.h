#pragma once

#include <QMainWindow>

class HelpViewController;

/// A window showing the manual (the "Help Window Controller" of the design). Closing it only hides it.
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
