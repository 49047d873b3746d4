#include "helpwindow.h"

#include "app/helpviewcontroller.h"
#include "document/windowplace.h"

#include <QCloseEvent>
#include <QShowEvent>

namespace {

const QString geometryKey = QStringLiteral("helpWindowGeometry");

} // namespace

HelpWindow::HelpWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_viewController(new HelpViewController(this))
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(tr("Orvane Help"));
    setCentralWidget(m_viewController);
    resize(720, 860); // no taller than the screen: restore() keeps it on screen
    WindowPlace::restore(this, geometryKey);
}

void HelpWindow::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        WindowPlace::save(this, geometryKey);
}

HelpWindow::~HelpWindow() = default;

void HelpWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // Only now is the frame known, which has to fit on the screen too.
    if (!event->spontaneous())
        WindowPlace::keepOnScreen(this);
}
