#pragma once

#include "outcome.h"
#include "treecompare.h"

#include <cstdint>
#include <string>

namespace orvane {

/*!
 * The report as JSON Lines (--format=jsonl): one object per outcome in report order, then one of totals.
 * docs/jsonl.md describes the objects; a change that breaks a reader raises schemaVersion.
 */
class JsonReport
{
public:
    static constexpr int schemaVersion = 1;

    explicit JsonReport(Command command);

    /// The object for one file, unreadable folder or malformed list line, counted for the totals.
    [[nodiscard]] std::string fileObject(const Outcome& outcome);
    /// Counts an outcome for the totals as fileObject() does, without making its object (--quiet's fine files).
    void skip(const Outcome& outcome);

    /// The last object: the counts of the run on subject (the item's path, or the list's name).
    [[nodiscard]] std::string totalsObject(const std::string& subject, const RunCounters& counters, bool stopped) const;

    /// A comparison's outcome; paths relative to their trees.
    [[nodiscard]] static std::string compareObject(const CompareOutcome& outcome);
    /// A comparison's totals, of the trees first and second.
    [[nodiscard]] static std::string compareTotals(
        const std::string& first, const std::string& second, const CompareCounts& counts);

private:
    Command m_command;
    std::int64_t m_files = 0;
};

} // namespace orvane
