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

QRect WindowPlace::clamped(const QRect& frame, const QRect& available)
{
    const QSize size = frame.size().boundedTo(available.size());
    const int x = std::clamp(frame.left(), available.left(), available.right() - size.width() + 1);
    const int y = std::clamp(frame.top(), available.top(), available.bottom() - size.height() + 1);
    return { QPoint(x, y), size };
}

void WindowPlace::keepOnScreen(QWidget* window)
{
    const QScreen* screen = QGuiApplication::screenAt(window->geometry().center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The frame is known only once the window is shown; until then the window's own rectangle stands for it.
    const QRect frame = window->isVisible() ? window->frameGeometry() : window->geometry();
    const QRect inside = clamped(frame, screen->availableGeometry());
    // Set as the window's own rectangle, which is what the settings keep: moving the frame of a window not
    // yet shown to where its inside was made it come back a title bar lower each time.
    if (inside != frame)
        window->setGeometry(inside.marginsRemoved(QMargins(window->geometry().left() - frame.left(),
            window->geometry().top() - frame.top(),
            frame.right() - window->geometry().right(),
            frame.bottom() - window->geometry().bottom())));
}
