#pragma once

#include <QList>
#include <QString>

#include <functional>

class QFileDialog;
class QWidget;

/*!
 * The save dialog of Save and Export: modal to its window but not blocking (no nested event loop, so runs
 * that end meanwhile still reach their windows), proposing a name, offering its file types in their order,
 * and allowing new folders. The name's extension follows the type chosen. The dialog deletes itself when it
 * closes.
 */
class SaveDialog
{
public:
    /// A type the dialog offers: its filter as shown ("Report (*.txt)") and its extension ("txt").
    struct FileType
    {
        QString filter;
        QString suffix;
    };
    /// The path the user confirmed, and the index of the type chosen.
    using Chosen = std::function<void(const QString& path, int type)>;

    /// Shows the dialog over parent's window, proposing baseName with the first type's extension; chosen runs
    /// if the user confirms, else never.
    static QFileDialog* open(
        QWidget* parent, const QString& caption, const QString& baseName, const QList<FileType>& types, Chosen chosen);
};
