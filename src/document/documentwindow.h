#pragma once

#include <QMainWindow>
#include <QPointer>

class Document;
class ViewController;

/// The window of one opened item: its content is a ViewController, its title the item's name.
class DocumentWindow : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DocumentWindow)

public:
    explicit DocumentWindow(Document* document);
    ~DocumentWindow() override;

    [[nodiscard]] Document* document() const
    {
        return m_document;
    }
    [[nodiscard]] ViewController* viewController() const
    {
        return m_viewController;
    }

signals:
    /// The user closed the window; it is hidden now and is deleted by its document later.
    void windowClosed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QPointer<Document> m_document;
    ViewController* m_viewController;
};
