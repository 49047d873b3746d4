#pragma once

#include <string>

// Standard output and standard error of orvane-cli, and its exit statuses.
namespace output {

inline constexpr int exitClean = 0;
inline constexpr int exitFindings = 1;
inline constexpr int exitTrouble = 2;

/// Writes text to standard output; a failure is kept for finish(), and the run goes on.
void write(const std::string& text);
/// "orvane-cli: SUBJECT: REASON" on standard error.
void diagnose(const std::string& subject, const std::string& reason);
/// The message and the hint to --help on standard error; returns exitTrouble.
int usageError(const std::string& message);
/// Flushes standard output and gives status, or exitTrouble when the report did not arrive whole.
int finish(int status);

} // namespace output
