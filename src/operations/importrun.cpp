#include "importrun.h"

#include "filestep.h"

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

RunResult runImport(ListReader& list, const std::string& base, const RunSettings& settings, const RunObserver& observer)
{
    RunProgress* progress = settings.progress;
    FileDigester digester(settings.backend, settings.bufferSize, settings.read);
    const std::string folder = base.empty() || base.back() == '/' ? base : base + '/';
    if (progress)
        digester.setReadCounter(&progress->bytesDone);
    RunState state(Command::Import, Variant::SingleFile);
    Outcome outcome;
    while (const std::optional<ListEntry> listed = list.next()) {
        const ListEntry& entry = *listed;
        if (progress && progress->stopRequested.load())
            return { std::nullopt, state.counters, true };
        outcome.clear();
        outcome.line = entry.line;
        if (!entry.wellFormed) {
            outcome.result = FileResult::Malformed;
            commitOutcome(outcome, state, observer);
            continue;
        }
        if (entry.path.front() == '/') // into the buffer outcome.clear() kept
            outcome.path.assign(entry.path);
        else
            outcome.path.assign(folder).append(entry.path);
        if (progress)
            progress->setCurrentPath(outcome.path);
        importFile(digester, entry.digest, settings, outcome);
        commitOutcome(outcome, state, observer);
        if (progress)
            progress->filesDone.fetch_add(1);
    }
    return { std::nullopt, state.counters, list.stopped() || list.failure() };
}

} // namespace orvane
