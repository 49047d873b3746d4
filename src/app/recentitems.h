#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The items opened lately, newest first, kept in the settings as the paths' own bytes.
namespace RecentItems {

inline const QString settingsKey = QStringLiteral("recentItems");
inline constexpr int maximum = 10;

/// The recent items that still exist, newest first. Items that have gone are dropped from the settings.
[[nodiscard]] QList<QByteArray> list();
/// Puts path at the top, once.
void add(const QByteArray& path);
void clear();

} // namespace RecentItems
