#include "jsonreport.h"

#include "checksumlist.h"
#include "jsonline.h"

namespace orvane {

namespace {

// "check", "tag", "retag" or "import": the command's name on the command line and in JSON Lines.
const char* commandName(Command command)
{
    switch (command) {
    case Command::Check:
        return "check";
    case Command::Tag:
        return "tag";
    case Command::Retag:
        return "retag";
    case Command::Import:
        return "import";
    }
    return "check";
}

} // namespace

JsonReport::JsonReport(Command command)
    : m_command(command)
{
}

std::string JsonReport::fileObject(const Outcome& outcome)
{
    skip(outcome);
    JsonLine object;
    object.number("version", schemaVersion);
    if (outcome.result == FileResult::Malformed) {
        object.text("type", "line").number("line", outcome.line);
        return object.text("outcome", resultName(outcome.result)).finish();
    }
    const bool folder = outcome.result == FileResult::UnreadableFolder;
    object.text("type", folder ? "folder" : "file").path("path", outcome.path);
    object.text("outcome", resultName(outcome.result));
    if (!outcome.reason.empty())
        object.text("reason", outcome.reason);
    if (outcome.hasDigest)
        object.text("digest", hexDigest(outcome.digest));
    if (outcome.line != 0)
        object.number("line", outcome.line);
    if (outcome.result == FileResult::Mismatched && outcome.sinceTagged != SinceTagged::Unknown)
        object.flag("modified_since_tagged", outcome.sinceTagged == SinceTagged::Modified);
    return object.finish();
}

void JsonReport::skip(const Outcome& outcome)
{
    if (outcome.result != FileResult::Malformed && outcome.result != FileResult::UnreadableFolder)
        ++m_files;
}

std::string JsonReport::totalsObject(const std::string& subject, const RunCounters& c, bool stopped) const
{
    JsonLine object;
    object.number("version", schemaVersion).text("type", "totals").text("command", commandName(m_command));
    object.path(m_command == Command::Import ? "list" : "path", subject).number("files", m_files);
    switch (m_command) {
    case Command::Check:
        object.number("matched", c.matched).number("mismatched", c.mismatched).number("no_digest", c.noDigest);
        object.number("possibly_damaged", c.possiblyDamaged);
        break;
    case Command::Tag:
        object.number("not_tagged", c.errors);
        break;
    case Command::Retag:
        object.number("matched", c.matched)
            .number("retagged", c.retagged)
            .number("tagged_first_time", c.firstTime)
            .number("not_tagged", c.notTagged)
            .number("possibly_damaged", c.possiblyDamaged);
        break;
    case Command::Import:
        object.number("imported", c.imported)
            .number("mismatched", c.mismatched)
            .number("not_tagged", c.notTagged)
            .number("malformed", c.malformed);
        break;
    }
    object.number("unreadable", c.unreadable).number("unreadable_folders", c.unreadableFolders);
    if (m_command != Command::Import)
        object.number("excluded", c.excluded);
    return object.flag("stopped", stopped).finish();
}

std::string JsonReport::compareObject(const CompareOutcome& outcome)
{
    static const char* const names[] = {
        "same", "different", "moved", "only_in_first", "only_in_second", "no_digest", "unreadable"
    };
    const bool folder = outcome.result == CompareResult::UnreadableFolder;
    JsonLine object;
    object.number("version", schemaVersion).text("type", folder ? "folder" : "file").path("path", outcome.path);
    object.text("outcome", names[int(outcome.result)]);
    if (outcome.result == CompareResult::Moved)
        object.path("to", outcome.to);
    if (outcome.result == CompareResult::NoDigest || folder)
        object.text("in", outcome.side == 0 ? "first" : "second");
    if (folder)
        object.text("reason", outcome.reason);
    return object.finish();
}

std::string JsonReport::compareTotals(const std::string& first, const std::string& second, const CompareCounts& c)
{
    JsonLine object;
    object.number("version", schemaVersion).text("type", "totals").text("command", "compare");
    object.path("first", first).path("second", second).number("files", c.files());
    object.number("same", c.same).number("different", c.different).number("moved", c.moved);
    object.number("only_in_first", c.onlyInFirst).number("only_in_second", c.onlyInSecond);
    object.number("no_digest", c.noDigest).number("unreadable_folders", c.unreadableFolders);
    return object.number("excluded", c.excluded).finish();
}

} // namespace orvane
