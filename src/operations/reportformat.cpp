#include "reportformat.h"

#include "printablepath.h"

#include <initializer_list>
#include <string_view>
#include <utility>

// Report lines begin with a mark and one space: U+2705, U+274C, or U+26A0 with U+FE0F, which asks for the
// warning sign's emoji form and is part of the text.

namespace orvane {

namespace {

const std::string ok = "\u2705 ";
const std::string bad = "\u274C ";
const std::string warn = "\u26A0\uFE0F ";

std::string number(std::int64_t value)
{
    return std::to_string(value);
}

// The parts of a line before or after its path, appended one after another: a line is written into the
// report as it is, with no string of its own made for it (a report has a line a file of the tree).
using Pieces = std::initializer_list<std::string_view>;

// Appends lead, the path as printed (when there is one), tail and a line feed, and the line's mark.
void put(std::string& out,
    std::vector<LineMark>* marks,
    LineKind kind,
    Pieces lead,
    const std::string* path = nullptr,
    Pieces tail = {})
{
    LineMark mark { out.size(), kind, 0, 0 };
    for (const std::string_view piece : lead)
        out.append(piece);
    if (path) {
        mark.pathStart = out.size() - mark.start;
        appendPrintablePath(*path, out);
        mark.pathLength = out.size() - mark.start - mark.pathStart;
    }
    for (const std::string_view piece : tail)
        out.append(piece);
    out.push_back('\n');
    if (marks)
        marks->push_back(mark);
}

} // namespace

std::string_view ReportFormat::sinceTagged(const Outcome& outcome) const
{
    switch (outcome.sinceTagged) {
    case SinceTagged::Unknown:
        break;
    case SinceTagged::Modified:
        return " Modified since it was tagged.";
    case SinceTagged::NotModified:
        return m_command == Command::Retag ? " Not modified since it was tagged: possibly damaged, not retagged."
                                           : " Not modified since it was tagged: possibly damaged.";
    }
    return {};
}

ReportFormat::ReportFormat(Command command, Variant variant)
    : m_command(command)
    , m_variant(variant)
{
}

bool ReportFormat::appendNotice(const Outcome& outcome, std::string& out, std::vector<LineMark>* marks) const
{
    if (m_command != Command::Tag || m_variant != Variant::Folder || outcome.result != FileResult::NotTagged)
        return false;
    put(out, marks, LineKind::Problem, { bad, "Couldn't tag " }, &outcome.path, { " (", outcome.reason, ")" });
    return true;
}

void ReportFormat::appendLine(const Outcome& outcome, std::string& out, std::vector<LineMark>* marks) const
{
    const bool single = m_variant == Variant::SingleFile;
    const std::string* path = &outcome.path;
    const Pieces because { " (", outcome.reason, ")" };
    const auto fine = [&](Pieces lead) { put(out, marks, LineKind::Fine, lead, path); };
    const auto problem = [&](Pieces lead, Pieces tail = {}) { put(out, marks, LineKind::Problem, lead, path, tail); };
    switch (outcome.result) {
    case FileResult::None:
        break;
    case FileResult::Matched:
        fine({ ok, single ? "Digest for " : "Digests for " });
        break;
    case FileResult::Mismatched:
        if (m_command == Command::Import)
            problem({ bad, "Digest for " }, { " doesn't match the list" });
        else
            problem({ bad, single ? "Digest for " : "Digests for " }, { " aren't equal.", sinceTagged(outcome) });
        break;
    case FileResult::NoDigest:
        problem({ warn, "No digest found for " });
        break;
    case FileResult::Tagged:
    case FileResult::NotTagged:
        // A folder's line names the digest, also for a write that failed: its notice tells of the failure.
        if (m_command == Command::Tag && !single)
            fine({ "Digest ", number(outcome.hashNumber), " for " });
        else if (outcome.result == FileResult::Tagged)
            fine({ ok, "Tagged " });
        else if (m_command == Command::Retag)
            problem({ bad, "Couldn't tag " });
        else
            problem({ bad, "Couldn't tag " }, because);
        break;
    case FileResult::Retagged:
        problem({ warn, "Retagged " });
        break;
    case FileResult::FirstTagged:
        problem({ warn, "Tagged " });
        break;
    case FileResult::Imported:
        fine({ ok, "Imported " });
        break;
    case FileResult::Unreadable:
        problem({ warn, "Couldn't read " }, because);
        break;
    case FileResult::UnreadableFolder:
        problem({ warn, "Couldn't read folder " }, because);
        break;
    case FileResult::Malformed:
        put(out,
            marks,
            LineKind::Problem,
            { warn, "Line ", number(outcome.line), " of the list isn't a checksum line" });
        break;
    }
}

void ReportFormat::appendTotals(const std::string& subject,
    const RunCounters& c,
    bool stopped,
    std::string& out,
    std::vector<LineMark>* marks) const
{
    if (m_variant == Variant::SingleFile && m_command != Command::Import)
        return;
    if (stopped) {
        // In place of totals that would read as those of a whole run.
        put(out,
            marks,
            LineKind::Problem,
            { warn, "Stopped after ", number(c.total), " files: the run did not finish." });
        return;
    }
    const auto detail = [&](std::int64_t count, const char* words) {
        put(out, marks, LineKind::Other, { "\t", number(count), words });
    };
    switch (m_command) {
    case Command::Check:
        put(out, marks, LineKind::Other, { "Checked a total of ", number(c.total), " files in " }, &subject);
        detail(c.matched, " matched digest correctly");
        detail(c.mismatched, " didn't match their digest");
        detail(c.noDigest, " had no digest.");
        break;
    case Command::Tag:
        put(out,
            marks,
            LineKind::Other,
            { "Tagged a total of ", number(c.total), " files in " },
            &subject,
            { " with ", number(c.errors), " errors." });
        break;
    case Command::Retag:
        put(out, marks, LineKind::Other, { "Retagged a total of ", number(c.total), " files in " }, &subject);
        detail(c.matched, " matched digest correctly");
        detail(c.retagged, " were retagged");
        detail(c.firstTime, " were tagged for the first time.");
        break;
    case Command::Import:
        put(out, marks, LineKind::Other, { "Imported a total of ", number(c.total), " files listed in " }, &subject);
        detail(c.imported, " matched the list and were tagged");
        detail(c.mismatched, " didn't match the list");
        detail(c.notTagged, " couldn't be tagged.");
        if (c.unreadable != 0)
            detail(c.unreadable, " couldn't be read.");
        if (c.malformed != 0)
            detail(c.malformed, " lines of the list weren't checksum lines.");
        return;
    }
    if (const std::int64_t unread = c.unreadable + c.unreadableFolders; unread != 0)
        detail(unread, " couldn't be read.");
    // Files whose contents changed without an edit, after everything else but what was left out.
    if (c.possiblyDamaged != 0)
        detail(
            c.possiblyDamaged, m_command == Command::Retag ? " possibly damaged, not retagged." : " possibly damaged.");
    if (c.excluded != 0)
        detail(c.excluded, " were excluded.");
}

TextReport::TextReport(Command command, Variant variant, std::function<void(const std::string&)> notice, bool quiet)
    : m_format(command, variant)
    , m_quiet(quiet)
    , m_notice(std::move(notice))
{
}

void TextReport::add(const Outcome& outcome)
{
    m_line.clear();
    if (m_format.appendNotice(outcome, m_line))
        m_notice(m_line);
    m_marks.clear();
    m_line.clear();
    m_format.appendLine(outcome, m_line, &m_marks);
    if (!m_quiet || m_marks.empty() || m_marks.front().kind != LineKind::Fine)
        m_text.append(m_line);
}

void TextReport::finish(const std::string& subject, const RunCounters& counters, bool stopped)
{
    m_format.appendTotals(subject, counters, stopped, m_text);
}

} // namespace orvane

namespace orvane {

CompareFormat::CompareFormat(std::string first, std::string second)
    : m_first(std::move(first))
    , m_second(std::move(second))
    , m_onlyInFirst(warn + "Only in " + printablePath(m_first) + ": ")
    , m_onlyInSecond(warn + "Only in " + printablePath(m_second) + ": ")
    , m_inFirst(" in " + printablePath(m_first))
    , m_inSecond(" in " + printablePath(m_second))
{
}

void CompareFormat::appendLine(const CompareOutcome& outcome, std::string& out, std::vector<LineMark>* marks) const
{
    const std::string* path = &outcome.path;
    const std::string& tree = outcome.side == 0 ? m_first : m_second;
    switch (outcome.result) {
    case CompareResult::Same:
        put(out, marks, LineKind::Fine, { ok, "Digests for " }, path);
        break;
    case CompareResult::Different:
        put(out, marks, LineKind::Problem, { bad, "Digests for " }, path, { " differ." });
        break;
    case CompareResult::Moved:
        put(out, marks, LineKind::Problem, { "\u21AA\uFE0F " }, path, { " moved to ", printablePath(outcome.to) });
        break;
    case CompareResult::OnlyInFirst:
        put(out, marks, LineKind::Problem, { m_onlyInFirst }, path);
        break;
    case CompareResult::OnlyInSecond:
        put(out, marks, LineKind::Problem, { m_onlyInSecond }, path);
        break;
    case CompareResult::NoDigest:
        put(out,
            marks,
            LineKind::Problem,
            { warn, "No digest found for " },
            path,
            { outcome.side == 0 ? m_inFirst : m_inSecond });
        break;
    case CompareResult::UnreadableFolder: {
        const std::string folder = tree + (tree.back() == '/' ? "" : "/") + outcome.path;
        put(out, marks, LineKind::Problem, { warn, "Couldn't read folder " }, &folder, { " (", outcome.reason, ")" });
        break;
    }
    }
}

void CompareFormat::appendTotals(const CompareCounts& c, std::string& out, std::vector<LineMark>* marks) const
{
    const auto detail = [&](std::int64_t count, const char* words) {
        put(out, marks, LineKind::Other, { "\t", number(count), words });
    };
    put(out,
        marks,
        LineKind::Other,
        { "Compared ", number(c.files()), " files in " },
        &m_first,
        { " with ", printablePath(m_second) });
    detail(c.same, " were the same");
    detail(c.different, " differed");
    detail(c.moved, " moved");
    detail(c.onlyInFirst, " only in the first");
    detail(c.onlyInSecond, " only in the second");
    detail(c.noDigest, " had no digest.");
    if (c.unreadableFolders != 0)
        detail(c.unreadableFolders, " couldn't be read.");
    if (c.excluded != 0)
        detail(c.excluded, " were excluded.");
}

} // namespace orvane
