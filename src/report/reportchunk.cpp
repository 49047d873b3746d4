#include "reportchunk.h"

#include "operations/printablepath.h"
#include "operations/utf8.h"

namespace {

// The number of UTF-16 units that valid UTF-8 bytes decode to.
std::uint32_t utf16Length(std::string_view utf8)
{
    std::uint32_t units = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        units += (byte & 0xc0) != 0x80; // a character's first byte
        units += byte >= 0xf0; // beyond the basic plane: a surrogate pair
    }
    return units;
}

} // namespace

void ReportChunk::addOutcome(const orvane::ReportFormat& format, const orvane::Outcome& outcome)
{
    addNotice(format, outcome);
    addLine(format, outcome, orvane::Command::Check);
}

void ReportChunk::addLine(const orvane::ReportFormat& format, const orvane::Outcome& outcome, orvane::Command command)
{
    m_bytes.clear();
    m_marks.clear();
    format.appendLine(outcome, m_bytes, &m_marks);
    const std::size_t first = m_lines.size();
    take(m_bytes, m_marks, &outcome.path, outcome.result);
    if (m_lines.size() == first)
        return;
    LineInfo& info = m_lines[first];
    info.flags = LineInfo::Outcome | (outcome.hasDigest ? LineInfo::HasDigest : 0)
        | (outcome.sinceTagged == orvane::SinceTagged::Modified ? LineInfo::Modified : 0)
        | (outcome.sinceTagged == orvane::SinceTagged::NotModified ? LineInfo::NotModified : 0);
    info.command = std::uint8_t(command);
    if (outcome.hasDigest)
        m_digests[first] = outcome.digest;
    if (!outcome.reason.empty()) {
        if (m_exact.empty() || m_exact.back().first != first)
            m_exact.emplace_back(first, ExactBytes {});
        m_exact.back().second.reason = outcome.reason;
    }
}

void ReportChunk::addNotice(const orvane::ReportFormat& format, const orvane::Outcome& outcome)
{
    m_bytes.clear();
    m_marks.clear();
    if (format.appendNotice(outcome, m_bytes, &m_marks))
        take(m_bytes, m_marks, &outcome.path, outcome.result);
}

void ReportChunk::addCompareLine(
    const orvane::CompareFormat& format, const orvane::CompareOutcome& outcome, const std::string& path)
{
    m_bytes.clear();
    m_marks.clear();
    format.appendLine(outcome, m_bytes, &m_marks);
    take(m_bytes, m_marks, &path, orvane::FileResult::None);
}

void ReportChunk::addCompareTotals(const orvane::CompareFormat& format, const orvane::CompareCounts& counts)
{
    m_bytes.clear();
    m_marks.clear();
    format.appendTotals(counts, m_bytes, &m_marks);
    take(m_bytes, m_marks, nullptr, orvane::FileResult::None);
}

void ReportChunk::addTotals(
    const orvane::ReportFormat& format, const std::string& subject, const orvane::RunCounters& counters, bool stopped)
{
    m_bytes.clear();
    m_marks.clear();
    format.appendTotals(subject, counters, stopped, m_bytes, &m_marks);
    take(m_bytes, m_marks, &subject, orvane::FileResult::None);
}

void ReportChunk::take(const std::string& bytes,
    const std::vector<orvane::LineMark>& marks,
    const std::string* path,
    orvane::FileResult result)
{
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const orvane::LineMark& mark = marks[i];
        const std::size_t end = i + 1 < marks.size() ? marks[i + 1].start : bytes.size();
        const std::string_view line(bytes.data() + mark.start, end - mark.start);
        LineInfo info { 0, 0, mark.kind, std::uint8_t(result) };
        ExactBytes exact;
        // Almost every line is valid UTF-8 and shown as it is; only a name that is not gets escaped.
        const bool valid = orvane::isValidUtf8(line);
        if (!valid)
            exact.line = QByteArray(line.data(), qsizetype(line.size()));
        if (mark.pathLength > 0) {
            const std::string_view prefix = line.substr(0, mark.pathStart);
            const std::string_view printed = line.substr(mark.pathStart, mark.pathLength);
            const std::string shownPath = valid ? std::string() : orvane::shownText(printed);
            info.pathStart = utf16Length(valid ? prefix : std::string_view(orvane::shownText(prefix)));
            info.pathLength = utf16Length(valid ? printed : std::string_view(shownPath));
            // What the line prints is the path only when nothing in it was escaped (and it is not relative).
            if (path && (valid ? printed : std::string_view(shownPath)) != *path)
                exact.path = QByteArray(path->data(), qsizetype(path->size()));
        }
        if (!exact.line.isEmpty() || !exact.path.isEmpty())
            m_exact.emplace_back(m_lines.size(), std::move(exact));
        if (valid)
            m_shown.append(line);
        else
            m_shown.append(orvane::shownText(line));
        m_lines.push_back(info);
        m_digests.emplace_back();
    }
}

void ReportChunk::seal()
{
    m_text = QString::fromUtf8(m_shown.data(), qsizetype(m_shown.size()));
    m_shown = std::string();
}
