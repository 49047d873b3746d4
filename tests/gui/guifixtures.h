#pragma once

#include "fixtures.h"
#include "operations/outcome.h"
#include "readgate.h"
#include "reports.h"
#include "runner/viewcontroller.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace guifixtures {

/// Settings go to a test location (never the user's), under Orvane's names, and start empty but for Tag's
/// question, which only the tests of that question ask.
void useTestSettings();

/// The message box on screen with this object name ("errorAlert", "updateOffer", "stopQuestion"), if any.
QMessageBox* messageBox(const char* name);
/// Waits for the message box with this object name and clicks its button with this text; returns the box's text.
QString answer(const char* name, const QString& button);
/// Waits for the error alert, dismisses it and returns its message (the informative text).
QString alertMessage();
QFileDialog* fileDialog(QWidget* parent);
/// Types path into that dialog and presses Enter; a question whether to replace a file is answered Yes.
void confirmFileDialog(QWidget* parent, const QString& path);

/// The report the engine itself writes for the item at path, Tag's notices first, as the window must show it.
QByteArray engineReport(orvane::Operation operation, const QString& path);

void setItem(ViewController& controller, const QString& path);

/// Saves a picture of the screen where window is, dialogs over it included, as name in the folder that
/// ORVANE_SCREENSHOTS names; nothing when it is unset.
void screenshot(QWidget* window, const char* name);

/// The child of parent with this object name; fails the test when there is none.
template <typename T> T* child(const QObject* parent, const char* name)
{
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        QTest::qFail(name, __FILE__, __LINE__);
    return found;
}

inline void press(const QObject* parent, const char* name)
{
    QTest::mouseClick(child<QPushButton>(parent, name), Qt::LeftButton);
}

using namespace fixtures;

} // namespace guifixtures
