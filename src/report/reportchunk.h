#pragma once

#include "operations/outcome.h"
#include "operations/reportformat.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

/// What the report view keeps of each line besides its characters: what it is, where its path stands, and
/// for the line of an outcome (not its notice) what JSON Lines say of it. Twelve bytes a line.
struct LineInfo
{
    enum Flag : std::uint8_t
    {
        Outcome = 1, ///< the line of an outcome: one object of JSON Lines
        HasDigest = 2, ///< the view keeps the digest of the contents read
        Modified = 4, ///< a mismatch whose stored time says the file was edited since it was tagged
        NotModified = 8, ///< a mismatch whose stored time says it was not: possibly damaged
    };
    std::uint32_t pathStart = 0; ///< in UTF-16 units from the line's start
    std::uint32_t pathLength = 0; ///< 0: the line names no file
    orvane::LineKind kind = orvane::LineKind::Other;
    std::uint8_t result = 0; ///< the outcome's orvane::FileResult
    std::uint8_t flags = 0;
    std::uint8_t command = 0; ///< the orvane::Command that made the outcome

    /// What the time stored beside the digest said of a mismatch.
    [[nodiscard]] orvane::SinceTagged sinceTagged() const
    {
        return (flags & NotModified) ? orvane::SinceTagged::NotModified
            : (flags & Modified)     ? orvane::SinceTagged::Modified
                                     : orvane::SinceTagged::Unknown;
    }
    /// A file whose contents changed without an edit since it was tagged.
    [[nodiscard]] bool possiblyDamaged() const
    {
        return result == std::uint8_t(orvane::FileResult::Mismatched) && (flags & NotModified);
    }
};

/// A line's own bytes where the shown characters do not give them back: the line as orvane-cli prints it
/// (a name that is not UTF-8), and the path of the file it names (control characters, not UTF-8); and the
/// engine's reason for an outcome that has one, which JSON Lines give apart from the line's words.
struct ExactBytes
{
    QByteArray line; ///< empty: the shown line's UTF-8
    QByteArray path; ///< empty: the shown path's UTF-8
    std::string reason;
};

/// How a run ended, as JSON Lines' totals tell it; kept with the run's last line.
struct RunRecord
{
    orvane::Command command = orvane::Command::Check;
    std::string subject;
    orvane::RunCounters counters;
    bool stopped = false;
};

/*!
 * Report lines made ready for the view, off the GUI thread: the characters the view shows, each line's
 * LineInfo, and the exact bytes of the few lines whose shown form differs from them. The words are the
 * engine's (orvane::ReportFormat); a chunk only carries them to the view.
 */
class ReportChunk
{
public:
    /// The notice (if it has one) and the line of an outcome, worded by format.
    void addOutcome(const orvane::ReportFormat& format, const orvane::Outcome& outcome);
    /// Only the line of an outcome, with what JSON Lines say of it (command: the run's).
    void addLine(const orvane::ReportFormat& format, const orvane::Outcome& outcome, orvane::Command command);
    /// Only the notice of an outcome, if it has one (see orvane::ReportFormat::appendNotice).
    void addNotice(const orvane::ReportFormat& format, const orvane::Outcome& outcome);
    /// A comparison's line, for a file whose path in its tree is path (Show in Files goes there).
    void addCompareLine(
        const orvane::CompareFormat& format, const orvane::CompareOutcome& outcome, const std::string& path);
    void addCompareTotals(const orvane::CompareFormat& format, const orvane::CompareCounts& counts);
    /// The totals of a run (see orvane::ReportFormat::appendTotals).
    void addTotals(const orvane::ReportFormat& format,
        const std::string& subject,
        const orvane::RunCounters& counters,
        bool stopped);

    [[nodiscard]] bool isEmpty() const
    {
        return m_lines.empty();
    }
    /// Turns what was added into text; call once, before the view takes the chunk.
    void seal();

    [[nodiscard]] const QString& text() const
    {
        return m_text;
    }
    [[nodiscard]] const std::vector<LineInfo>& lines() const
    {
        return m_lines;
    }
    /// Line numbers within the chunk, with their exact bytes.
    [[nodiscard]] const std::vector<std::pair<std::size_t, ExactBytes>>& exact() const
    {
        return m_exact;
    }
    /// One a line: the digest of the outcome's contents where the line's flags say HasDigest.
    [[nodiscard]] const std::vector<orvane::Digest>& digests() const
    {
        return m_digests;
    }

private:
    void take(const std::string& bytes,
        const std::vector<orvane::LineMark>& marks,
        const std::string* path,
        orvane::FileResult result);

    std::string m_shown; // UTF-8 of the shown characters, until seal()
    std::string m_bytes; // scratch: the engine's lines
    std::vector<orvane::LineMark> m_marks;
    QString m_text;
    std::vector<LineInfo> m_lines;
    std::vector<std::pair<std::size_t, ExactBytes>> m_exact;
    std::vector<orvane::Digest> m_digests;
};
