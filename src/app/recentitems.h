#pragma once

#include <QString>
#include <QStringList>

// The items opened lately, newest first, kept in the settings as paths.
namespace RecentItems {

inline const QString settingsKey = QStringLiteral("recentItems");
inline constexpr int maximum = 10;

/// The recent items that still exist, newest first. Items that have gone are dropped from the settings.
[[nodiscard]] QStringList list();
/// Puts path at the top, once.
void add(const QString& path);
void clear();

} // namespace RecentItems
