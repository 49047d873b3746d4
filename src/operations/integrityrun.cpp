#include "integrityrun.h"

#include "folderjobs.h"
#include "hashnumber.h"
#include "printablepath.h"
#include "treecount.h"
#include "walk.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <utility>

// Report lines begin with a mark and one space: U+2705, U+274C, or U+26A0 with U+FE0F, which asks for the
// warning sign's emoji form and is part of the text. Paths go through printablePath.

namespace orvane {

namespace {

std::string number(std::int64_t value)
{
    return std::to_string(value);
}

} // namespace

RunCounters& RunCounters::operator+=(const RunCounters& other)
{
    total += other.total;
    matched += other.matched;
    mismatched += other.mismatched;
    noDigest += other.noDigest;
    retagged += other.retagged;
    firstTime += other.firstTime;
    errors += other.errors;
    notTagged += other.notTagged;
    unreadable += other.unreadable;
    unreadableFolders += other.unreadableFolders;
    imported += other.imported;
    malformed += other.malformed;
    return *this;
}

const char* resultName(FileResult result)
{
    switch (result) {
    case FileResult::None:
        break;
    case FileResult::Matched:
        return "matched";
    case FileResult::Mismatched:
        return "mismatched";
    case FileResult::NoDigest:
        return "no_digest";
    case FileResult::Tagged:
        return "tagged";
    case FileResult::Retagged:
        return "retagged";
    case FileResult::FirstTagged:
        return "tagged_first_time";
    case FileResult::NotTagged:
        return "not_tagged";
    case FileResult::Imported:
        return "imported";
    case FileResult::Unreadable:
    case FileResult::UnreadableFolder:
        return "unreadable";
    case FileResult::Malformed:
        return "malformed";
    }
    return "none";
}

bool resultIsFine(FileResult result)
{
    return result == FileResult::Matched || result == FileResult::Tagged || result == FileResult::Imported;
}

IntegrityRun::IntegrityRun(Operation operation, Variant variant, const RunSettings& settings)
    : m_operation(operation)
    , m_variant(variant)
    , m_xattrName(settings.xattrName)
    , m_digester(settings.backend, settings.bufferSize, settings.read)
    , m_progress(settings.progress)
{
    if (m_progress)
        m_digester.setReadCounter(&m_progress->bytesDone);
}

void IntegrityRun::processFile(
    int folderFd, const std::string& name, const std::string& path, bool knownRegular, FileOutcome& outcome)
{
    const std::string shown = printablePath(path);
    beginFile(shown, outcome);
    const Target target { folderFd, name, shown };
    OpenedFile file;
    Digest digest;
    if (computeDigest(target, knownRegular, file, digest)) {
        switch (m_operation) {
        case Operation::Check:
            check(target, file, digest);
            break;
        case Operation::Tag:
            tag(target, file, digest);
            break;
        case Operation::Retag:
            retag(target, file, digest);
            break;
        }
    }
    endFile(outcome);
}

void IntegrityRun::fileNotReached(const std::string& path, const Failure& failure, FileOutcome& outcome)
{
    const std::string shown = printablePath(path);
    beginFile(shown, outcome);
    couldNotRead(shown, failure);
    endFile(outcome);
}

void IntegrityRun::beginFile(const std::string& shown, FileOutcome& outcome)
{
    // The outcome is filled afresh; clear() keeps its strings' buffers for the next file.
    m_out = &outcome;
    outcome.text.clear();
    outcome.notice.clear();
    outcome.counters = {};
    outcome.result = FileResult::None;
    outcome.reason.clear();
    outcome.hasDigest = false;
    if (m_progress)
        m_progress->setCurrentPath(shown);
}

void IntegrityRun::endFile(FileOutcome& outcome)
{
    if (m_variant == Variant::Folder)
        ++outcome.counters.total;
    if (m_progress)
        m_progress->filesDone.fetch_add(1, std::memory_order_relaxed);
    m_out = nullptr;
}

FileOutcome IntegrityRun::unreadableFolder(const std::string& path, const Failure& failure)
{
    FileOutcome outcome;
    outcome.text.append("\u26A0\uFE0F Couldn't read folder ")
        .append(printablePath(path))
        .append(" (")
        .append(failure.reason)
        .append(")\n");
    ++outcome.counters.unreadableFolders;
    outcome.result = FileResult::UnreadableFolder;
    outcome.reason = failure.reason;
    return outcome;
}

void commitOutcome(const std::string& path, FileOutcome& outcome, RunState& state, const RunObserver& observer)
{
    if (!outcome.notice.empty() && observer.directText)
        observer.directText(outcome.notice);
    if (observer.fileDone)
        observer.fileDone(path, outcome);
    state.reportText.append(outcome.text);
    state.counters += outcome.counters;
}

bool IntegrityRun::computeDigest(const Target& target, bool knownRegular, OpenedFile& file, Digest& digest)
{
    Result<OpenedFile> opened = OpenedFile::openAt(target.folderFd, target.name, knownRegular, &m_fileSystemKind);
    if (!opened) {
        couldNotRead(target.shown, opened.failure());
        return false;
    }
    file = std::move(opened.value());
    const Result<Digest> computed = m_digester.digest(file);
    if (!computed) {
        couldNotRead(target.shown, computed.failure());
        return false;
    }
    digest = computed.value();
    m_out->digest = digest;
    m_out->hasDigest = true;
    return true;
}

void IntegrityRun::couldNotRead(const std::string& shown, const Failure& failure)
{
    appendCouldNotRead(*m_out, shown, failure);
}

void appendCouldNotRead(FileOutcome& outcome, const std::string& shown, const Failure& failure)
{
    outcome.text.append("\u26A0\uFE0F Couldn't read ").append(shown).append(" (").append(failure.reason).append(")\n");
    ++outcome.counters.unreadable;
    outcome.result = FileResult::Unreadable;
    outcome.reason = failure.reason;
}

void IntegrityRun::appendLine(const char* lead, const std::string& shown, const char* tail)
{
    m_out->text.append(lead).append(shown).append(tail);
}

void IntegrityRun::check(const Target& target, const OpenedFile& file, const Digest& digest)
{
    const bool single = m_variant == Variant::SingleFile;
    // Whatever keeps a value from being read (none stored, no permission, no attribute support), the file
    // has no digest.
    const Result<Bytes> stored = readDigestAttribute(file.descriptor(), m_xattrName);
    if (!stored || stored.value().empty()) {
        appendLine("\u26A0\uFE0F No digest found for ", target.shown);
        ++m_out->counters.noDigest;
        m_out->result = FileResult::NoDigest;
    } else if (digestsEqual(stored.value(), digest)) {
        appendLine(single ? "\u2705 Digest for " : "\u2705 Digests for ", target.shown);
        ++m_out->counters.matched;
        m_out->result = FileResult::Matched;
    } else {
        appendLine(single ? "\u274C Digest for " : "\u274C Digests for ", target.shown, " aren't equal.\n");
        ++m_out->counters.mismatched;
        m_out->result = FileResult::Mismatched;
    }
}

void IntegrityRun::tag(const Target& target, const OpenedFile& file, const Digest& digest)
{
    const bool single = m_variant == Variant::SingleFile;
    // The folder line names the digest before the write, so it stands also for a write that fails.
    if (!single) {
        const Result<std::int64_t> shownNumber = hashNumber(digest);
        if (!shownNumber) {
            couldNotRead(target.shown, shownNumber.failure());
            return;
        }
        m_out->text.append("Digest ")
            .append(number(shownNumber.value()))
            .append(" for ")
            .append(target.shown)
            .append("\n");
    }
    if (const auto failure = writeDigestAttribute(file.descriptor(), toBytes(digest), m_xattrName)) {
        ++m_out->counters.errors;
        m_out->result = FileResult::NotTagged;
        m_out->reason = failure->reason;
        if (single)
            appendLine("\u274C Couldn't tag ", target.shown);
        m_out->notice =
            single ? failure->reason : "\u274C Couldn't tag " + target.shown + " (" + failure->reason + ")\n";
    } else {
        m_out->result = FileResult::Tagged;
        if (single)
            appendLine("\u2705 Tagged ", target.shown);
    }
}

void IntegrityRun::retag(const Target& target, const OpenedFile& file, const Digest& digest)
{
    const bool single = m_variant == Variant::SingleFile;
    const auto write = [&](const OpenedFile& onto, const Digest& value) {
        const std::optional<Failure> failure = writeDigestAttribute(onto.descriptor(), toBytes(value), m_xattrName);
        if (failure)
            m_out->reason = failure->reason;
        return !failure;
    };
    const Result<Bytes> stored = readDigestAttribute(file.descriptor(), m_xattrName);
    // No attribute at all on a file still as it was hashed: the digest just computed is the one to store.
    const bool none = stored ? stored.value().empty() : stored.failure().code == ENODATA && file.unchangedSinceOpened();
    if (none) {
        if (write(file, digest)) {
            appendLine("\u26A0\uFE0F Tagged ", target.shown);
            ++m_out->counters.firstTime;
            m_out->result = FileResult::FirstTagged;
            return;
        }
    } else if (stored && digestsEqual(stored.value(), digest)) {
        appendLine(single ? "\u2705 Digest for " : "\u2705 Digests for ", target.shown);
        ++m_out->counters.matched;
        m_out->result = FileResult::Matched;
        return;
    } else if (stored && write(file, digest)) {
        appendLine("\u26A0\uFE0F Retagged ", target.shown);
        ++m_out->counters.retagged;
        m_out->result = FileResult::Retagged;
        return;
    }

    // One more attempt: the file is opened and read anew, and the fresh digest written.
    OpenedFile again;
    Digest fresh;
    if (!computeDigest(target, false, again, fresh))
        return;
    if (write(again, fresh)) {
        appendLine("\u26A0\uFE0F Tagged ", target.shown);
        ++m_out->counters.firstTime;
        m_out->result = FileResult::FirstTagged;
        m_out->reason.clear();
    } else {
        appendLine("\u274C Couldn't tag ", target.shown);
        ++m_out->counters.notTagged;
        m_out->result = FileResult::NotTagged;
    }
}

void runSingleFile(Operation operation,
    const std::string& path,
    const RunSettings& settings,
    RunState& state,
    const RunObserver& observer)
{
    if (RunProgress* progress = settings.progress) {
        struct stat status = {};
        progress->bytesTotal = ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) ? status.st_size : 0;
        progress->filesTotal = 1;
    }
    IntegrityRun run(operation, Variant::SingleFile, settings);
    FileOutcome outcome;
    run.processFile(AT_FDCWD, path, path, false, outcome);
    commitOutcome(path, outcome, state, observer);
}

std::optional<Failure> runFolder(Operation operation,
    const std::string& folder,
    const RunSettings& settings,
    RunState& state,
    const RunObserver& observer)
{
    if (auto failure = checkCryptoAvailable())
        return failure;
    RunProgress* progress = settings.progress;
    std::atomic<bool> countCancelled { false };
    std::thread counter;
    if (progress && settings.countTotals)
        counter = std::thread([&folder, progress, &countCancelled] { countTree(folder, *progress, countCancelled); });

    bool stopped = false;
    WalkCallbacks callbacks;
    callbacks.stop = [progress, &stopped] {
        stopped = progress && progress->stopRequested.load(std::memory_order_relaxed);
        return stopped;
    };
    std::optional<Failure> failure;
    // On a thread of the pool itself, waiting for the pool could wait for ever: the run stays on it.
    if (settings.jobs > 1 && settings.pool && !settings.pool->isPoolThread()) {
        FolderJobs jobs(operation, settings, state, observer);
        callbacks.visitFile = [&jobs](int folderFd, const std::string& name, const std::string& path, bool regular) {
            jobs.addFile(folderFd, name, path, regular);
        };
        callbacks.unreadableFolder = [&jobs](const std::string& path, const Failure& why) {
            jobs.addOutcome(path, IntegrityRun::unreadableFolder(path, why));
        };
        callbacks.closingFolder = [&jobs](int folderFd) { jobs.closingFolder(folderFd); };
        failure = walkTree(folder, callbacks);
        stopped = jobs.finish() || stopped;
    } else {
        IntegrityRun run(operation, Variant::Folder, settings);
        FileOutcome outcome;
        callbacks.visitFile = [&](int folderFd, const std::string& name, const std::string& path, bool regular) {
            run.processFile(folderFd, name, path, regular, outcome);
            commitOutcome(path, outcome, state, observer);
        };
        callbacks.unreadableFolder = [&](const std::string& path, const Failure& why) {
            FileOutcome line = IntegrityRun::unreadableFolder(path, why);
            commitOutcome(path, line, state, observer);
        };
        failure = walkTree(folder, callbacks);
    }

    countCancelled = true;
    if (counter.joinable())
        counter.join();
    state.stopped = stopped && !failure;
    // A run that ended before its count did knows its totals itself.
    if (progress && !failure && !stopped && progress->filesTotal < 0) {
        progress->bytesTotal = progress->bytesDone.load();
        progress->filesTotal = state.counters.total;
    }
    return failure;
}

std::optional<Failure> runItem(
    Operation operation, const Item& item, const RunSettings& settings, RunState& state, const RunObserver& observer)
{
    if (!item.isFolder) {
        runSingleFile(operation, item.path, settings, state, observer);
        return std::nullopt;
    }
    std::optional<Failure> failure = runFolder(operation, item.path, settings, state, observer);
    if (!failure)
        appendTotals(operation, item.path, state);
    return failure;
}

void appendTotals(Operation operation, const std::string& folder, RunState& state)
{
    if (appendStoppedLine(state))
        return;
    const RunCounters& c = state.counters;
    const std::string shown = printablePath(folder);
    std::string& text = state.reportText;
    switch (operation) {
    case Operation::Check:
        text.append("Checked a total of ").append(number(c.total)).append(" files in ").append(shown).append("\n");
        text.append("\t").append(number(c.matched)).append(" matched digest correctly\n");
        text.append("\t").append(number(c.mismatched)).append(" didn't match their digest\n");
        text.append("\t").append(number(c.noDigest)).append(" had no digest.\n");
        break;
    case Operation::Tag:
        text.append("Tagged a total of ").append(number(c.total)).append(" files in ").append(shown);
        text.append(" with ").append(number(c.errors)).append(" errors.\n");
        break;
    case Operation::Retag:
        text.append("Retagged a total of ").append(number(c.total)).append(" files in ").append(shown).append("\n");
        text.append("\t").append(number(c.matched)).append(" matched digest correctly\n");
        text.append("\t").append(number(c.retagged)).append(" were retagged\n");
        text.append("\t").append(number(c.firstTime)).append(" were tagged for the first time.\n");
        break;
    }
    if (const std::int64_t unread = c.unreadable + c.unreadableFolders; unread != 0)
        text.append("\t").append(number(unread)).append(" couldn't be read.\n");
}

bool appendStoppedLine(RunState& state)
{
    if (!state.stopped)
        return false;
    state.reportText.append("\u26A0\uFE0F Stopped after ")
        .append(number(state.counters.total))
        .append(" files: the run did not finish.\n");
    return true;
}

bool runWasClean(Operation operation, const RunCounters& c)
{
    if (c.unreadable != 0 || c.unreadableFolders != 0)
        return false;
    switch (operation) {
    case Operation::Check:
        return c.mismatched == 0 && c.noDigest == 0;
    case Operation::Tag:
        return c.errors == 0;
    case Operation::Retag:
        return c.notTagged == 0;
    }
    return false;
}

} // namespace orvane
