#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QWidget;
class ReportView;

// Writing a report out: Save and Export both end here.
namespace ReportFile {

/*!
 * Writes bytes to the regular file at path, in place: the file is created or cut to nothing and written,
 * not replaced through a temporary file. Refuses anything that is not a regular file (a FIFO would block,
 * a device is no place for a report) and the opened item itself, whose contents Orvane never touches.
 * Returns an empty string on success, or the message for the user, naming the path and the reason.
 */
[[nodiscard]] QString write(const QString& path, const QByteArray& bytes, const QByteArray& openedItem = {});

/// The name, without its extension, Save and Export propose for the report of the item called itemName.
[[nodiscard]] QString proposedName(const QString& itemName);

/// The report as JSON Lines, as orvane-cli --format=jsonl writes it for each run the view shows: an object
/// for each outcome line, then, once a run has ended, its totals.
[[nodiscard]] QByteArray jsonLines(const ReportView& view);

/// Shows the save dialog over parent's window and writes what bytes() gives once the user confirms, as
/// write() does; a failure's message goes to failed. openedItem: the path of the file the window checks,
/// which is never written over.
void saveWithDialog(QWidget* parent,
    const QString& caption,
    const QString& itemName,
    const QByteArray& openedItem,
    std::function<QByteArray()> bytes,
    std::function<void(const QString& message)> failed);

} // namespace ReportFile
