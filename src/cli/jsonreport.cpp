#include "jsonreport.h"

#include "operations/checksumlist.h"
#include "operations/jsonline.h"

#include <utility>

using namespace orvane;

JsonReport::JsonReport(std::string command)
    : m_command(std::move(command))
{
}

std::string JsonReport::fileObject(const std::string& path, const FileOutcome& outcome)
{
    JsonLine object;
    object.number("version", schemaVersion);
    if (outcome.result == FileResult::Malformed) {
        object.text("type", "line").number("line", outcome.line);
        return object.text("outcome", resultName(outcome.result)).finish();
    }
    const bool folder = outcome.result == FileResult::UnreadableFolder;
    if (!folder)
        ++m_files;
    object.text("type", folder ? "folder" : "file").path("path", path);
    object.text("outcome", resultName(outcome.result));
    if (!outcome.reason.empty())
        object.text("reason", outcome.reason);
    if (outcome.hasDigest)
        object.text("digest", hexDigest(outcome.digest));
    if (outcome.line != 0)
        object.number("line", outcome.line);
    return object.finish();
}

std::string JsonReport::totalsObject(const std::string& subject, const RunCounters& c, bool stopped) const
{
    JsonLine object;
    object.number("version", schemaVersion).text("type", "totals").text("command", m_command);
    object.path(m_command == "import" ? "list" : "path", subject).number("files", m_files);
    if (m_command == "check")
        object.number("matched", c.matched).number("mismatched", c.mismatched).number("no_digest", c.noDigest);
    else if (m_command == "tag")
        object.number("not_tagged", c.errors);
    else if (m_command == "retag")
        object.number("matched", c.matched)
            .number("retagged", c.retagged)
            .number("tagged_first_time", c.firstTime)
            .number("not_tagged", c.notTagged);
    else
        object.number("imported", c.imported)
            .number("mismatched", c.mismatched)
            .number("not_tagged", c.notTagged)
            .number("malformed", c.malformed);
    object.number("unreadable", c.unreadable).number("unreadable_folders", c.unreadableFolders);
    return object.flag("stopped", stopped).finish();
}
