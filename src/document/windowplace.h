#pragma once

#include <QRect>
#include <QString>

class QWidget;

/*!
 * Where a window opens: the size and place it had when it was last closed, kept in the settings under a
 * key of its own (Qt's saveGeometry), and always on a screen that is there now.
 */
class WindowPlace
{
public:
    /// Gives window the geometry stored under key, if there is one, and keeps it on screen.
    static void restore(QWidget* window, const QString& key);
    static void save(const QWidget* window, const QString& key);
    /// Moves window to offset from another's place, as windows cascade, and keeps it on screen.
    static void cascade(QWidget* window, const QWidget* from);
    /// Shrinks window to the available area of its screen and moves it inside; once more after the first show,
    /// when the frame is known. A window that fits is not touched, so it comes back exactly where it was.
    static void keepOnScreen(QWidget* window);
    /// frame, shrunk and moved as little as needed to lie within available.
    [[nodiscard]] static QRect clamped(const QRect& frame, const QRect& available);
};
