#pragma once

#include "operations/integrityrun.h"

#include <cstdint>
#include <string>

/*!
 * The report as JSON Lines (--format=jsonl): one object per file in report order, then one of totals.
 * docs/jsonl.md describes the objects; a change that breaks a reader raises schemaVersion.
 */
class JsonReport
{
public:
    static constexpr int schemaVersion = 1;

    /// command: "check", "tag", "retag" or "import".
    explicit JsonReport(std::string command);

    /// The object for one file, unreadable folder or malformed list line, counted for the totals.
    [[nodiscard]] std::string fileObject(const std::string& path, const orvane::FileOutcome& outcome);

    /// The last object: the counts of the run on subject (the item's path, or the list's name).
    [[nodiscard]] std::string totalsObject(
        const std::string& subject, const orvane::RunCounters& counters, bool stopped) const;

private:
    std::string m_command;
    std::int64_t m_files = 0;
};
