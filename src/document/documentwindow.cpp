#include "documentwindow.h"

#include "document/document.h"
#include "operations/viewcontroller.h"

#include <QCloseEvent>
#include <QIcon>

DocumentWindow::DocumentWindow(Document* document)
    : m_document(document)
    , m_viewController(new ViewController(this))
{
    setObjectName(QStringLiteral("DocumentWindow"));
    setCentralWidget(m_viewController);
    setWindowTitle(document->displayName());
    resize(820, 520);
}

DocumentWindow::~DocumentWindow() = default;

void DocumentWindow::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        emit windowClosed();
}
