#pragma once

#include "operations/outcome.h"
#include "operations/reportformat.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

/// What the report view keeps of each line besides its characters: what it is, and where its path stands.
struct LineInfo
{
    std::uint32_t pathStart = 0; ///< in UTF-16 units from the line's start
    std::uint32_t pathLength = 0; ///< 0: the line names no file
    orvane::LineKind kind = orvane::LineKind::Other;
    orvane::FileResult result = orvane::FileResult::None;
    orvane::SinceTagged sinceTagged = orvane::SinceTagged::Unknown;

    /// A file whose contents changed without an edit since it was tagged.
    [[nodiscard]] bool possiblyDamaged() const
    {
        return result == orvane::FileResult::Mismatched && sinceTagged == orvane::SinceTagged::NotModified;
    }
};

/// A line's own bytes where the shown characters do not give them back: the line as orvane-cli prints it
/// (a name that is not UTF-8), and the path of the file it names (control characters, not UTF-8).
struct ExactBytes
{
    QByteArray line; ///< empty: the shown line's UTF-8
    QByteArray path; ///< empty: the shown path's UTF-8
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
    /// Only the line of an outcome.
    void addLine(const orvane::ReportFormat& format, const orvane::Outcome& outcome);
    /// Only the notice of an outcome, if it has one (see orvane::ReportFormat::appendNotice).
    void addNotice(const orvane::ReportFormat& format, const orvane::Outcome& outcome);
    /// The totals of a run (see orvane::ReportFormat::appendTotals).
    void addTotals(const orvane::ReportFormat& format,
        const std::string& subject,
        const orvane::RunCounters& counters,
        bool stopped);

    [[nodiscard]] bool isEmpty() const
    {
        return m_bytes.empty() && m_text.isEmpty();
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

private:
    void take(const std::string& bytes,
        const std::vector<orvane::LineMark>& marks,
        const std::string* path,
        const orvane::Outcome* outcome);

    std::string m_shown; // UTF-8 of the shown characters, until seal()
    std::string m_bytes; // scratch: the engine's lines
    std::vector<orvane::LineMark> m_marks;
    QString m_text;
    std::vector<LineInfo> m_lines;
    std::vector<std::pair<std::size_t, ExactBytes>> m_exact;
};
