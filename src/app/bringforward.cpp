#include "bringforward.h"

#include <QWidget>

void bringForward(QWidget* window)
{
    window->show();
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->raise();
    window->activateWindow();
}
