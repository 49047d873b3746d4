#include "importrun.h"

#include "filestep.h"
#include "printablepath.h"

#include <sys/stat.h>

namespace orvane {

namespace {

void importFile(FileDigester& digester, const Digest& listed, const RunSettings& settings, Outcome& out)
{
    Result<OpenedFile> file = OpenedFile::open(out.path);
    if (!file)
        return setUnreadable(out, file.failure());
    const Result<Digest> digest = digester.digest(file.value());
    if (!digest)
        return setUnreadable(out, digest.failure());
    out.digest = digest.value();
    out.hasDigest = true;
    if (digest.value() != listed) {
        out.result = FileResult::Mismatched;
    } else if (const auto failure = storeDigest(file.value().descriptor(),
                   digest.value(),
                   file.value().identity().modified,
                   settings.xattrName,
                   settings.timeXattrName)) {
        out.result = FileResult::NotTagged;
        out.reason = failure->reason;
    } else {
        out.result = FileResult::Imported;
    }
}

} // namespace

RunResult runImport(const std::vector<ListEntry>& entries,
    const std::string& base,
    const RunSettings& settings,
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
    RunState state(Command::Import, Variant::SingleFile);
    Outcome outcome;
    for (const ListEntry& entry : entries) {
        outcome.clear();
        outcome.line = entry.line;
        if (!entry.wellFormed) {
            outcome.result = FileResult::Malformed;
            commitOutcome(outcome, state, observer);
            continue;
        }
        if (progress && progress->stopRequested.load())
            return { std::nullopt, state.counters, true };
        outcome.path = pathOf(entry);
        if (progress)
            progress->setCurrentPath(printablePath(outcome.path));
        importFile(digester, entry.digest, settings, outcome);
        commitOutcome(outcome, state, observer);
        if (progress)
            progress->filesDone.fetch_add(1);
    }
    return { std::nullopt, state.counters, false };
}

} // namespace orvane
