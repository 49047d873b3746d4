#pragma once

#include <QString>

#include <functional>

class QFileDialog;
class QWidget;

/*!
 * The save dialog of Save and Export: modal to its window but not blocking (no nested event loop, so runs
 * that end meanwhile still reach their windows), proposing a name, offering the ".text" and ".txt" types in
 * this order, and allowing new folders. The dialog deletes itself when it closes.
 */
class SaveDialog
{
public:
    using Chosen = std::function<void(const QString& path)>;

    /// Shows the dialog over parent's window; chosen runs with the path if the user confirms, else never.
    static QFileDialog* open(QWidget* parent, const QString& caption, const QString& proposedName, Chosen chosen);
};
