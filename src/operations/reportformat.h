#pragma once

#include "outcome.h"
#include "treecompare.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

/// What a line of the report is to filters and counts.
enum class LineKind : std::uint8_t
{
    Fine, ///< a file that is fine: --quiet and Show Problems Only leave it out
    Problem, ///< a warning or an error about a file, a folder, a line of a list, or the run
    Other, ///< the totals
};

/// Where a line stands in a text, what it is, and where in it the path it names is printed (its length 0
/// when it names none).
struct LineMark
{
    std::size_t start = 0;
    LineKind kind = LineKind::Other;
    std::size_t pathStart = 0; ///< from the line's start
    std::size_t pathLength = 0;
};

/*!
 * The words of the text report: the one place that turns outcomes into report lines and totals, for the
 * command line, the window and Save alike. Each line is UTF-8 and ends in a line feed; paths are printed
 * through printablePath. Every call appends to out and, when marks is given, adds each line's mark.
 */
class ReportFormat
{
public:
    ReportFormat(Command command, Variant variant);

    /*!
     * The notice of an outcome, which the report shows at once, ahead of the run's lines: a folder Tag's
     * "❌ Couldn't tag P (reason)". Returns false, appending nothing, for an outcome without one.
     */
    bool appendNotice(const Outcome& outcome, std::string& out, std::vector<LineMark>* marks = nullptr) const;

    /// The outcome's line.
    void appendLine(const Outcome& outcome, std::string& out, std::vector<LineMark>* marks = nullptr) const;

    /*!
     * The totals of a folder run on subject (the folder's path) or of an import of the list subject (its
     * name as given), with the count of what could not be read after them when there was any; for a stopped
     * run, the line that says so instead. Nothing for a single file.
     */
    void appendTotals(const std::string& subject,
        const RunCounters& counters,
        bool stopped,
        std::string& out,
        std::vector<LineMark>* marks = nullptr) const;

private:
    // The words a mismatch gets from the time stored beside its digest, if any.
    [[nodiscard]] std::string_view sinceTagged(const Outcome& outcome) const;

    Command m_command;
    Variant m_variant;
};

/*!
 * The words of the report of a comparison of two trees, first and second (their paths as given to it): each
 * outcome's line, with the path relative to its tree, and the totals.
 */
class CompareFormat
{
public:
    CompareFormat(std::string first, std::string second);

    void appendLine(const CompareOutcome& outcome, std::string& out, std::vector<LineMark>* marks = nullptr) const;
    void appendTotals(const CompareCounts& counts, std::string& out, std::vector<LineMark>* marks = nullptr) const;

private:
    std::string m_first;
    std::string m_second;
    // The parts of lines that name a tree, escaped once for the run rather than for each line.
    std::string m_onlyInFirst; // "⚠️ Only in " first ": "
    std::string m_onlyInSecond;
    std::string m_inFirst; // " in " first
    std::string m_inSecond;
};

/*!
 * A run's whole text report, as orvane-cli prints it: the lines of the outcomes in report order, then the
 * totals. Notices (Tag's failed writes) go to notice as they come, apart from the text. quiet leaves out
 * the lines of files that are fine.
 */
class TextReport
{
public:
    TextReport(Command command, Variant variant, std::function<void(const std::string&)> notice, bool quiet = false);

    /// Takes each outcome of the run as it is committed.
    void add(const Outcome& outcome);
    /// Ends the report with the totals (see ReportFormat::appendTotals).
    void finish(const std::string& subject, const RunCounters& counters, bool stopped);

    [[nodiscard]] const std::string& text() const
    {
        return m_text;
    }

private:
    ReportFormat m_format;
    bool m_quiet;
    std::function<void(const std::string&)> m_notice;
    std::string m_text;
    std::string m_line;
    std::vector<LineMark> m_marks;
};

} // namespace orvane
