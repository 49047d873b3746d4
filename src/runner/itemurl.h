#pragma once

#include <QString>
#include <QUrl>

#include <optional>
#include <string>

/*!
 * Opened items as URLs. A folder's URL ends in "/", a file's does not: every way of opening an item asks
 * the file system (following links) and marks folders so, and from then on only that slash tells a folder
 * from a file.
 */
namespace ItemURL {

/// The URL of the item at path as the kernel resolves it (see orvane::resolveItem), or none with the reason.
[[nodiscard]] std::optional<QUrl> fromPath(const QString& path, QString* reason = nullptr);

/// Whether the URL is marked as a folder's.
[[nodiscard]] bool isDirectory(const QUrl& url);

/// The URL's file-system path as it stands, a folder's with its final slash.
[[nodiscard]] QString path(const QUrl& url);

/// A folder's path without the final slash ("/" stays "/"): the F of the totals and of every file's path.
[[nodiscard]] QString folderPath(const QUrl& url);

/// The item's name as a window title shows it.
[[nodiscard]] QString displayName(const QUrl& url);

/// A path in the form the engine takes: the file name bytes.
[[nodiscard]] std::string enginePath(const QString& path);

} // namespace ItemURL
