#pragma once

#include "fixtures.h"
#include "operations/integrityrun.h"
#include "reports.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QWidget>

class QMessageBox;
class QFileDialog;
class ViewController;

// Helpers for the window tests: settings kept apart from the user's, the error alert, expected report text.
namespace guifixtures {

/// Settings go to a test location (never the user's), under Orvane's names, and start empty.
void useTestSettings();

/// The error alert on screen, if there is one.
QMessageBox* errorAlert();
/// Dismisses every error alert with its OK button.
void dismissAlerts();
/// The save or open dialog that parent's window shows, if any.
QFileDialog* fileDialog(QWidget* parent);
/// Types path into the dialog and presses its Save or Open button, as a user would. If the dialog asks
/// whether to replace an existing file, the answer is Yes.
void confirmFileDialog(QFileDialog* dialog, const QString& path);

/// The report the engine itself writes for the item at path (a folder with its totals), Tag's immediate
/// notices first, as the window must show it.
QByteArray engineReport(orvane::Operation operation, const QString& path);

/// Hands the item at path to controller, as its document does.
void setItem(ViewController& controller, const QString& path);

/// The child of parent with this object name; fails the test when there is none.
template <typename T> T* child(const QObject* parent, const char* name)
{
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        QTest::qFail(name, __FILE__, __LINE__);
    return found;
}

using namespace fixtures;

} // namespace guifixtures
