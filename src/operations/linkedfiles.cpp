#include "linkedfiles.h"

#include <sys/stat.h>
#include <utility>

namespace orvane {

LinkedFiles::Claim LinkedFiles::claim(const OpenedFile& file, Outcome& out)
{
    const FileIdentity& identity = file.identity();
    const Key key { identity.device, identity.inode };
    Shard& shard = shardOf(key);
    auto& files = shard.files;
    std::unique_lock<std::mutex> lock(shard.mutex);
    if (files.empty())
        files.reserve(mostFiles / shardCount); // no rehash up to its share
    if (files.size() >= mostFiles / shardCount && files.count(key) == 0)
        return Claim::Untracked;
    auto [known, added] = files.try_emplace(key);
    if (added)
        return Claim::Claimed;
    while (known != files.end() && known->second.inHand) {
        shard.released.wait(lock);
        known = files.find(key);
    }
    // Compared as the file is now, not as it was opened: the step on another name may have written the
    // attribute meanwhile, which moves the change time.
    struct stat now = {};
    if (known != files.end() && ::fstat(file.descriptor(), &now) == 0 && FileIdentity::of(now) == known->second.after) {
        const Known& entry = known->second;
        out.result = entry.result;
        out.reason = entry.reason;
        out.hasDigest = true;
        out.digest = entry.digest;
        out.hashNumber = entry.hashNumber;
        out.sinceTagged = entry.sinceTagged;
        if (--known->second.namesLeft <= 0)
            files.erase(known);
        return Claim::Reused;
    }
    files[key] = Known {};
    return Claim::Claimed;
}

void LinkedFiles::release(const OpenedFile& file, const Outcome& out, bool wrote, bool reusable)
{
    // The file as it is now: as it was opened unless the step wrote its attributes (the digest's check that
    // it did not change while read ends with the read).
    const FileIdentity& opened = file.identity();
    FileIdentity after = opened;
    std::uint64_t links = file.links();
    struct stat status = {};
    if (wrote) {
        reusable = reusable && ::fstat(file.descriptor(), &status) == 0;
        after = FileIdentity::of(status);
        links = status.st_nlink;
    }
    // Only a digest of contents that did not change since: the step's own attribute writes move the change
    // time, not the size or the modification time.
    reusable = reusable && out.hasDigest && after.inode == opened.inode && after.size == opened.size
        && after.modified == opened.modified;
    Shard& shard = shardOf(Key { opened.device, opened.inode });
    {
        const std::lock_guard<std::mutex> lock(shard.mutex);
        const auto known = shard.files.find(Key { opened.device, opened.inode });
        if (reusable) {
            Known& entry = known->second;
            entry.inHand = false;
            entry.after = after;
            entry.digest = out.digest;
            entry.hashNumber = out.hashNumber;
            entry.reason = out.reason;
            entry.result = out.result;
            entry.sinceTagged = out.sinceTagged;
            entry.namesLeft = std::int64_t(links) - 1;
        } else {
            shard.files.erase(known);
        }
    }
    shard.released.notify_all();
}

} // namespace orvane
