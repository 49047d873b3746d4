#pragma once

#include <QString>

#include <string>

/// How the window names an item and a path: as the report prints them (control characters escaped), and bytes
/// that are not UTF-8 written as \xHH rather than lost.
namespace ItemName {

/// The item's name as a window title shows it: the last part of its path; "/" stays "/".
[[nodiscard]] QString displayName(const std::string& path);

/// The whole path, for messages.
[[nodiscard]] QString shownPath(const std::string& path);

} // namespace ItemName
