#pragma once

#include <QString>

class QMessageBox;

/*!
 * The application's one error alert: "An error occurred:" with the message below it, a critical icon and
 * one "OK" button. It is modal to the whole application but does not block the caller in a nested event
 * loop, so folder runs that end meanwhile still reach their windows in order. Returns the alert, which
 * deletes itself when dismissed. GUI thread only.
 */
QMessageBox* showError(const QString& message);
