#pragma once

#include <QString>

// The report's font size: its bounds, its step and where the last size set by the user is kept.
namespace FontSize {

inline constexpr double initial = 12.0;
inline constexpr double smallest = 4.0;
inline constexpr double largest = 60.0;
inline constexpr double step = 1.0;

/// The settings key under which the last size chosen with Bigger or Smaller is stored.
inline const QString settingsKey = QStringLiteral("fontSize");

[[nodiscard]] double bigger(double size);
[[nodiscard]] double smaller(double size);

/// The size a new report starts with: the stored one when it is a number within the bounds, else initial.
[[nodiscard]] double startingSize();
void store(double size);

} // namespace FontSize
