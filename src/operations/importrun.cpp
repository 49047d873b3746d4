#include "importrun.h"

#include "printablepath.h"

#include <sys/stat.h>

namespace orvane {

namespace {

void importFile(FileDigester& digester,
    const std::string& path,
    const Digest& listed,
    const std::string& xattrName,
    FileOutcome& out)
{
    const std::string shown = printablePath(path);
    Result<OpenedFile> file = OpenedFile::open(path);
    if (!file)
        return appendCouldNotRead(out, shown, file.failure());
    const Result<Digest> digest = digester.digest(file.value());
    if (!digest)
        return appendCouldNotRead(out, shown, digest.failure());
    out.digest = digest.value();
    out.hasDigest = true;
    if (digest.value() != listed) {
        out.text.append("\u274C Digest for ").append(shown).append(" doesn't match the list\n");
        ++out.counters.mismatched;
        out.result = FileResult::Mismatched;
    } else if (const auto failure =
                   writeDigestAttribute(file.value().descriptor(), toBytes(digest.value()), xattrName)) {
        out.text.append("\u274C Couldn't tag ").append(shown).append(" (").append(failure->reason).append(")\n");
        ++out.counters.notTagged;
        out.result = FileResult::NotTagged;
        out.reason = failure->reason;
    } else {
        out.text.append("\u2705 Imported ").append(shown).append("\n");
        ++out.counters.imported;
        out.result = FileResult::Imported;
    }
}

} // namespace

void runImport(const std::vector<ListEntry>& entries,
    const std::string& base,
    const RunSettings& settings,
    RunState& state,
    const RunObserver& observer)
{
    RunProgress* progress = settings.progress;
    FileDigester digester(settings.backend, settings.bufferSize, settings.read);
    const std::string folder = base.empty() || base.back() == '/' ? base : base + '/';
    const auto pathOf = [&folder](const ListEntry& entry) {
        return entry.path.front() == '/' ? entry.path : folder + entry.path;
    };
    if (progress)
        digester.setReadCounter(&progress->bytesDone);
    if (progress && settings.countTotals) {
        // The totals the progress shows, from the listed files' metadata.
        std::int64_t files = 0, bytes = 0;
        for (const ListEntry& entry : entries) {
            struct stat status = {};
            files += entry.wellFormed ? 1 : 0;
            if (entry.wellFormed && ::stat(pathOf(entry).c_str(), &status) == 0 && S_ISREG(status.st_mode))
                bytes += status.st_size;
        }
        progress->bytesTotal = bytes;
        progress->filesTotal = files;
    }
    for (const ListEntry& entry : entries) {
        FileOutcome outcome;
        outcome.line = entry.line;
        if (!entry.wellFormed) {
            outcome.text = "\u26A0\uFE0F Line " + std::to_string(entry.line) + " of the list isn't a checksum line\n";
            ++outcome.counters.malformed;
            outcome.result = FileResult::Malformed;
            commitOutcome({}, outcome, state, observer);
            continue;
        }
        if (progress && progress->stopRequested.load()) {
            state.stopped = true;
            return;
        }
        const std::string path = pathOf(entry);
        if (progress)
            progress->setCurrentPath(printablePath(path));
        importFile(digester, path, entry.digest, settings.xattrName, outcome);
        ++outcome.counters.total;
        commitOutcome(path, outcome, state, observer);
        if (progress)
            progress->filesDone.fetch_add(1);
    }
}

void appendImportTotals(const std::string& listName, RunState& state)
{
    if (appendStoppedLine(state))
        return;
    const RunCounters& c = state.counters;
    std::string& text = state.reportText;
    const auto count = [](std::int64_t value) { return std::to_string(value); };
    text.append("Imported a total of ").append(count(c.total)).append(" files listed in ").append(listName);
    text.append("\n\t").append(count(c.imported)).append(" matched the list and were tagged\n");
    text.append("\t").append(count(c.mismatched)).append(" didn't match the list\n");
    text.append("\t").append(count(c.notTagged)).append(" couldn't be tagged.\n");
    if (c.unreadable != 0)
        text.append("\t").append(count(c.unreadable)).append(" couldn't be read.\n");
    if (c.malformed != 0)
        text.append("\t").append(count(c.malformed)).append(" lines of the list weren't checksum lines.\n");
}

bool importWasClean(const RunCounters& c)
{
    return c.imported == c.total && c.malformed == 0;
}

} // namespace orvane
