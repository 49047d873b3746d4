#include "windowplace.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include <algorithm>

namespace {

constexpr int cascadeStep = 28; // about a title bar's height

} // namespace

void WindowPlace::restore(QWidget* window, const QString& key)
{
    const QByteArray geometry = QSettings().value(key).toByteArray();
    if (!geometry.isEmpty())
        window->restoreGeometry(geometry);
    keepOnScreen(window);
}

void WindowPlace::save(const QWidget* window, const QString& key)
{
    QSettings().setValue(key, window->saveGeometry());
}

void WindowPlace::cascade(QWidget* window, const QWidget* from)
{
    window->move(from->pos() + QPoint(cascadeStep, cascadeStep));
    keepOnScreen(window);
}

void WindowPlace::keepOnScreen(QWidget* window)
{
    const QScreen* screen = QGuiApplication::screenAt(window->geometry().center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    // The frame is known only once the window is shown; until then the window's own rectangle stands for it.
    const QSize margins = window->isVisible() ? window->frameGeometry().size() - window->size() : QSize();
    window->resize(window->size().boundedTo(available.size() - margins));
    const QRect frame = window->isVisible() ? window->frameGeometry() : window->geometry();
    const int x = std::clamp(frame.left(), available.left(), available.right() - frame.width() + 1);
    const int y = std::clamp(frame.top(), available.top(), available.bottom() - frame.height() + 1);
    window->move(QPoint(x, y));
}
