#pragma once

#include "fixtures.h"

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

/// The files below folder in the order a walk meets them.
QStringList walkOrder(const QString& folder);
/// SHA-256 of the file's contents, computed by Qt.
QByteArray digestOfFile(const QString& path);
/// Stores the file's correct digest, behind Orvane's back.
void tagCorrectly(const QString& path);
/// The number a Tag folder line shows for the file's digest in this process.
QByteArray hashNumberOf(const QString& path);

extern const QByteArray ok; // "✅ "
extern const QByteArray bad; // "❌ "
extern const QByteArray warn; // "⚠️ "

QByteArray checkTotals(const QString& folder, int total, int matched, int mismatched, int none);
QByteArray tagTotals(const QString& folder, int total, int errors);
QByteArray retagTotals(const QString& folder, int total, int matched, int retagged, int first);

} // namespace guifixtures
