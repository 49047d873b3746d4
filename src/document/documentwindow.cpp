#include "documentwindow.h"

#include "document/windowplace.h"
#include "runner/viewcontroller.h"

#include <QCloseEvent>
#include <QPointer>
#include <QShowEvent>

namespace {

const QString geometryKey = QStringLiteral("documentWindowGeometry");

// The document window opened last, from which the next one cascades while it is open.
QPointer<DocumentWindow> lastOpened;

} // namespace

DocumentWindow::DocumentWindow(const QString& title)
    : m_viewController(new ViewController(this))
{
    setObjectName(QStringLiteral("DocumentWindow"));
    setCentralWidget(m_viewController);
    setWindowTitle(title);
    resize(820, 520);
    WindowPlace::restore(this, geometryKey);
    if (lastOpened && lastOpened->isVisible())
        WindowPlace::cascade(this, lastOpened);
    lastOpened = this;
}

DocumentWindow::~DocumentWindow() = default;

void DocumentWindow::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) {
        WindowPlace::save(this, geometryKey);
        emit windowClosed();
    }
}

void DocumentWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // Only now is the frame known, which has to fit on the screen too.
    if (!event->spontaneous())
        WindowPlace::keepOnScreen(this);
}
