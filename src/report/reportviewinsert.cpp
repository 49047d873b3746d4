// The report view taking a run's lines as they come: at the end, or in the middle, where a run's notices
// lead its lines or an earlier run goes on while a later one has started; and what it keeps of each outcome
// for JSON Lines.

#include "reportview.h"

#include <QScrollBar>

#include <algorithm>

namespace {

// Moves the entries of a map by line that stand at or after line down by count lines.
template <typename Map> void shiftLines(Map& map, qsizetype line, qsizetype count)
{
    Map shifted;
    for (auto& [at, value] : map)
        shifted.emplace(at >= line ? at + count : at, std::move(value));
    map.swap(shifted);
}

} // namespace

void ReportView::appendChunk(const ReportChunk& chunk, const QTextCharFormat& style)
{
    const qsizetype first = lineCount() - 1; // the chunk's first line takes the place of the empty last one
    for (const auto& [line, exact] : chunk.exact())
        m_exact[first + qsizetype(line)] = exact;
    takeDigests(first, chunk);
    append(chunk.text(), &chunk.lines(), style);
}

void ReportView::takeDigests(qsizetype first, const ReportChunk& chunk)
{
    const std::vector<LineInfo>& lines = chunk.lines();
    const auto last = std::find_if(
        lines.rbegin(), lines.rend(), [](const LineInfo& info) { return info.flags & LineInfo::HasDigest; });
    if (last == lines.rend())
        return;
    const auto count = std::size_t(lines.rend() - last);
    if (m_digests.size() < std::size_t(first))
        m_digests.resize(std::size_t(first));
    m_digests.insert(m_digests.begin() + first, chunk.digests().begin(), chunk.digests().begin() + qsizetype(count));
}

void ReportView::insertChunk(qsizetype line, const ReportChunk& chunk, const QTextCharFormat& style)
{
    if (line >= lineCount() - 1) {
        appendChunk(chunk, style);
        return;
    }
    const QString& text = chunk.text();
    const auto count = qsizetype(chunk.lines().size());
    if (count == 0)
        return;
    const qsizetype at = lineStart(line);
    const qsizetype topLine = lineOfRow(verticalScrollBar()->value());
    m_text.insert(at, text);

    std::vector<qsizetype> starts { at };
    for (qsizetype feed = text.indexOf(u'\n'); feed >= 0 && feed + 1 < text.size();
         feed = text.indexOf(u'\n', feed + 1))
        starts.push_back(at + feed + 1);
    for (auto start = m_lineStarts.begin() + line; start != m_lineStarts.end(); ++start)
        *start += text.size();
    m_lineStarts.insert(m_lineStarts.begin() + line, starts.begin(), starts.end());
    m_info.insert(m_info.begin() + line, chunk.lines().begin(), chunk.lines().end());
    shiftLines(m_exact, line, count);
    for (const auto& [inChunk, exact] : chunk.exact())
        m_exact[line + qsizetype(inChunk)] = exact;
    if (std::size_t(line) < m_digests.size())
        m_digests.insert(m_digests.begin() + line, chunk.digests().begin(), chunk.digests().end());
    else
        takeDigests(line, chunk);
    shiftLines(m_runRecords, line, count);

    const auto firstShown = std::lower_bound(m_shownLines.begin(), m_shownLines.end(), line);
    std::for_each(firstShown, m_shownLines.end(), [count](qsizetype& shown) { shown += count; });
    std::vector<qsizetype> shown;
    bool longer = false;
    m_longestLine += m_longestLine >= line ? count : 0;
    for (qsizetype added = line; added < line + count; ++added) {
        const LineInfo& info = m_info[std::size_t(added)];
        countLine(info, 1);
        if (info.kind != orvane::LineKind::Fine)
            shown.push_back(added);
        if (lineEnd(added) - lineStart(added) > lineEnd(m_longestLine) - lineStart(m_longestLine)) {
            m_longestLine = added;
            longer = true;
        }
    }
    m_shownLines.insert(firstShown, shown.begin(), shown.end());
    m_anchor += m_anchor >= at ? text.size() : 0;
    m_cursor += m_cursor >= at ? text.size() : 0;
    textInserted(at, text, longer, style);
    // What the user was reading stays where it was.
    if (topLine >= line && verticalScrollBar()->value() > 0)
        verticalScrollBar()->setValue(clampToInt(rowOfLine(topLine + count)));
}

void ReportView::setRunRecord(qsizetype line, RunRecord record)
{
    m_runRecords[line] = std::move(record);
}

orvane::Outcome ReportView::outcomeOfLine(qsizetype line) const
{
    const LineInfo& info = lineInfo(line);
    orvane::Outcome outcome;
    outcome.path = pathOfLine(line).toStdString();
    outcome.result = orvane::FileResult(info.result);
    outcome.sinceTagged = info.sinceTagged();
    if (const auto exact = m_exact.find(line); exact != m_exact.end())
        outcome.reason = exact->second.reason;
    outcome.hasDigest = (info.flags & LineInfo::HasDigest) && std::size_t(line) < m_digests.size();
    if (outcome.hasDigest)
        outcome.digest = m_digests[std::size_t(line)];
    return outcome;
}
