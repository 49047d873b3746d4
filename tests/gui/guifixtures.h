#pragma once

#include "fixtures.h"
#include "reports.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class QMessageBox;
class QFileDialog;
class QWidget;

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

// The expected report texts shared with the engine's tests.
using namespace fixtures;
inline const QByteArray& ok = fixtures::okMark;
inline const QByteArray& bad = fixtures::badMark;
inline const QByteArray& warn = fixtures::warnMark;

} // namespace guifixtures
