#include "linkedfiles.h"

#include <sys/stat.h>
#include <utility>

namespace orvane {

LinkedFiles::Claim LinkedFiles::claim(const OpenedFile& file, Outcome& out)
{
    const FileIdentity& identity = file.identity();
    const Key key { identity.device, identity.inode };
    std::unique_lock<std::mutex> lock(m_mutex);
    auto known = m_files.find(key);
    while (known != m_files.end() && known->second.inHand) {
        m_released.wait(lock);
        known = m_files.find(key);
    }
    // Compared as the file is now, not as it was opened: the step on another name may have written the
    // attribute meanwhile, which moves the change time.
    struct stat now = {};
    if (known != m_files.end() && ::fstat(file.descriptor(), &now) == 0
        && FileIdentity::of(now) == known->second.after) {
        std::string path = std::move(out.path);
        out = known->second.outcome;
        out.path = std::move(path);
        if (--known->second.namesLeft <= 0)
            m_files.erase(known);
        return Claim::Reused;
    }
    if (known == m_files.end() && m_files.size() >= mostFiles)
        return Claim::Untracked;
    Known& entry = m_files[key];
    entry.inHand = true;
    return Claim::Claimed;
}

void LinkedFiles::release(const OpenedFile& file, const Outcome& out, bool reusable)
{
    const FileIdentity& opened = file.identity();
    struct stat status = {};
    const bool gotAfter = ::fstat(file.descriptor(), &status) == 0;
    const FileIdentity after = gotAfter ? FileIdentity::of(status) : FileIdentity {};
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const auto known = m_files.find(Key { opened.device, opened.inode });
        // Only a digest of contents that did not change since: the step's own attribute writes move the
        // change time, not the size or the modification time.
        if (reusable && gotAfter && out.hasDigest && after.inode == opened.inode && after.size == opened.size
            && after.modified == opened.modified) {
            Known& entry = known->second;
            entry.inHand = false;
            entry.after = after;
            entry.outcome = out;
            entry.outcome.path = std::string();
            entry.namesLeft = std::int64_t(status.st_nlink) - 1;
        } else {
            m_files.erase(known);
        }
    }
    m_released.notify_all();
}

} // namespace orvane
