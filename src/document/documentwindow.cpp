#include "documentwindow.h"

#include "runner/viewcontroller.h"

#include <QCloseEvent>

DocumentWindow::DocumentWindow(const QString& title)
    : m_viewController(new ViewController(this))
{
    setObjectName(QStringLiteral("DocumentWindow"));
    setCentralWidget(m_viewController);
    setWindowTitle(title);
    resize(820, 520);
}

DocumentWindow::~DocumentWindow() = default;

void DocumentWindow::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        emit windowClosed();
}
