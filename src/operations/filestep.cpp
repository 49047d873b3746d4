#include "filestep.h"

#include "hashnumber.h"

#include <algorithm>
#include <cerrno>

namespace orvane {

FileStep::FileStep(Operation operation, Variant variant, const RunSettings& settings)
    : m_operation(operation)
    , m_variant(variant)
    , m_xattrName(settings.xattrName)
    , m_timeName(settings.timeXattrName)
    , m_digester(settings.backend, settings.bufferSize, settings.read)
    , m_progress(settings.progress)
{
    if (m_progress)
        m_digester.setReadCounter(&m_progress->bytesDone);
    // A folder run that hashes a file on every CPU has none to spare for reading ahead from the cache.
    const int atOnce = variant == Variant::Folder && settings.pool ? std::max(settings.jobs, 1) : 1;
    m_digester.setSpareCpu(atOnce < usableCpus());
}

void FileStep::processFile(
    int folderFd, const std::string& name, const std::string& path, bool knownRegular, Outcome& out)
{
    beginFile(path, out);
    OpenedFile file;
    if (!open(folderFd, name, knownRegular, file)) {
        endFile();
        return;
    }
    const LinkedFiles::Claim claim =
        m_links && file.links() > 1 ? m_links->claim(file, out) : LinkedFiles::Claim::Untracked;
    if (claim == LinkedFiles::Claim::Reused) {
        if (m_progress) // its bytes are done too, unread
            m_progress->bytesDone.fetch_add(file.identity().size, std::memory_order_relaxed);
        endFile();
        return;
    }
    Digest digest;
    m_readAgain = false;
    m_wrote = false;
    if (computeDigest(file, digest)) {
        switch (m_operation) {
        case Operation::Check:
            check(file, digest);
            break;
        case Operation::Tag:
            tag(file, digest);
            break;
        case Operation::Retag:
            retag(folderFd, name, file, digest);
            break;
        }
    }
    if (claim == LinkedFiles::Claim::Claimed)
        m_links->release(file, out, m_wrote, !m_readAgain);
    endFile();
}

void FileStep::fileNotReached(const std::string& path, const Failure& failure, Outcome& out)
{
    beginFile(path, out);
    setUnreadable(out, failure);
    endFile();
}

void FileStep::beginFile(const std::string& path, Outcome& out)
{
    m_out = &out;
    m_waitNanos = 0;
    out.clear();
    out.path.assign(path);
    if (m_progress)
        m_progress->setCurrentPath(path);
}

void FileStep::endFile()
{
    if (m_progress)
        m_progress->filesDone.fetch_add(1, std::memory_order_relaxed);
    m_out = nullptr;
}

Outcome FileStep::unreadableFolder(const std::string& path, const Failure& failure)
{
    Outcome out;
    out.path = path;
    out.result = FileResult::UnreadableFolder;
    out.reason = failure.reason;
    return out;
}

void setUnreadable(Outcome& out, const Failure& failure)
{
    out.result = FileResult::Unreadable;
    out.reason = failure.reason;
}

bool FileStep::open(int folderFd, const std::string& name, bool knownRegular, OpenedFile& file)
{
    Result<OpenedFile> opened = OpenedFile::openAt(folderFd, name, knownRegular, &m_fileSystemKind);
    if (!opened) {
        setUnreadable(*m_out, opened.failure());
        return false;
    }
    file = std::move(opened.value());
    return true;
}

bool FileStep::computeDigest(const OpenedFile& file, Digest& digest)
{
    const Result<Digest> computed = m_digester.digest(file);
    m_waitNanos = std::max(m_waitNanos, m_digester.lastWaitNanos());
    if (!computed) {
        setUnreadable(*m_out, computed.failure());
        return false;
    }
    digest = computed.value();
    m_out->digest = digest;
    m_out->hasDigest = true;
    return true;
}

bool FileStep::store(const OpenedFile& file, const Digest& value)
{
    // The time beside the digest is the one the file had when it was opened for the read that gave the digest.
    m_wrote = true;
    const std::optional<Failure> failure =
        storeDigest(file.descriptor(), value, file.identity().modified, m_xattrName, m_timeName);
    if (failure)
        m_out->reason = failure->reason;
    return !failure;
}

void FileStep::check(const OpenedFile& file, const Digest& digest)
{
    // Whatever keeps a value from being read (none stored, no permission, no attribute support), the file
    // has no digest.
    const Result<Bytes> stored = readDigestAttribute(file.descriptor(), m_xattrName);
    if (!stored || stored.value().empty())
        m_out->result = FileResult::NoDigest;
    else if (digestsEqual(stored.value(), digest))
        m_out->result = FileResult::Matched;
    else
        mismatched(file);
}

void FileStep::mismatched(const OpenedFile& file)
{
    m_out->result = FileResult::Mismatched;
    if (const std::optional<FileTime> tagged = readStoredTime(file.descriptor(), m_timeName))
        m_out->sinceTagged = *tagged == file.identity().modified ? SinceTagged::NotModified : SinceTagged::Modified;
}

void FileStep::tag(const OpenedFile& file, const Digest& digest)
{
    // A folder's line names the digest by its number, also for a write that then fails.
    if (m_variant == Variant::Folder) {
        const Result<std::int64_t> shownNumber = hashNumber(digest);
        if (!shownNumber) {
            setUnreadable(*m_out, shownNumber.failure());
            return;
        }
        m_out->hashNumber = shownNumber.value();
    }
    m_out->result = store(file, digest) ? FileResult::Tagged : FileResult::NotTagged;
}

void FileStep::retag(int folderFd, const std::string& name, const OpenedFile& file, const Digest& digest)
{
    const Result<Bytes> stored = readDigestAttribute(file.descriptor(), m_xattrName);
    // No attribute at all on a file still as it was hashed: the digest just computed is the one to store.
    const bool none = stored ? stored.value().empty() : stored.failure().code == ENODATA && file.unchangedSinceOpened();
    if (none) {
        if (store(file, digest)) {
            m_out->result = FileResult::FirstTagged;
            return;
        }
    } else if (stored && digestsEqual(stored.value(), digest)) {
        m_out->result = FileResult::Matched;
        return;
    } else if (stored) {
        mismatched(file);
        // Contents changed without an edit: the stored digest is the evidence of it, and it stays.
        if (m_out->sinceTagged == SinceTagged::NotModified)
            return;
        if (store(file, digest)) {
            m_out->result = FileResult::Retagged;
            m_out->sinceTagged = SinceTagged::Unknown;
            return;
        }
    }

    // One more attempt: the file is opened and read anew, and the fresh digest written.
    m_out->sinceTagged = SinceTagged::Unknown;
    m_readAgain = true;
    OpenedFile again;
    Digest fresh;
    if (!open(folderFd, name, false, again) || !computeDigest(again, fresh))
        return;
    if (store(again, fresh)) {
        m_out->result = FileResult::FirstTagged;
        m_out->reason.clear();
    } else {
        m_out->result = FileResult::NotTagged;
    }
}

} // namespace orvane
