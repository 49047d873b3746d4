#pragma once

#include <QMainWindow>

class ViewController;

/// The window of one opened item: its content is a ViewController, its title the item's name.
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

signals:
    /// The user closed the window; it is hidden now and is deleted by its document later.
    void windowClosed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    ViewController* m_viewController;
};
