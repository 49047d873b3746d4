#pragma once

#include "integrity/filedigest.h"
#include "outcome.h"

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace orvane {

/*!
 * The files of one folder run that have more than one name (hard links). A file met again through another
 * name, and still as it was when the step on its first name ended (the same device and inode, size,
 * modification and change time), takes that name's outcome instead of being read again, and its attribute
 * is not written again: an attribute belongs to the file, so one write serves all its names. Every name
 * keeps its own line, which tells what the run found in the file or did to it, whichever name came first;
 * so the report is the same whatever the number of files hashed at once.
 *
 * Shared by the per-file steps of the run, on any thread. A step that meets a file another step has in
 * hand waits for that step's end. At most mostFiles are remembered at once; a file is forgotten once all
 * its names have been met, and one that changed or could not be read is read again through its next name.
 */
class LinkedFiles
{
public:
    static constexpr std::size_t mostFiles = 65536;

    enum class Claim
    {
        Reused, ///< out holds the outcome of another name of the file; nothing more to do
        Claimed, ///< the caller runs the step and then calls release()
        Untracked, ///< the caller runs the step as for any file
    };

    /// For file, opened through one of its several names: its outcome from another name, or the step's turn.
    [[nodiscard]] Claim claim(const OpenedFile& file, Outcome& out);
    /*!
     * The step on a Claimed file has ended with out; wrote: it wrote the file's attributes.
     * Later names take out when the file is still as it is now, and when reusable: out is about file itself
     * (not about another file read again in its place).
     */
    void release(const OpenedFile& file, const Outcome& out, bool wrote, bool reusable);

private:
    struct Key
    {
        dev_t device;
        ino_t inode;
        bool operator==(const Key& other) const
        {
            return device == other.device && inode == other.inode;
        }
    };
    struct KeyHash
    {
        std::size_t operator()(const Key& key) const
        {
            // Inode numbers come in runs: mixed, so that the shard and the bucket take other bits of it.
            const std::uint64_t mixed =
                (std::uint64_t(key.inode) ^ (std::uint64_t(key.device) << 32)) * 0x9E3779B97F4A7C15ull;
            return std::size_t(mixed ^ (mixed >> 31));
        }
    };
    // A file's outcome without its path, and the file as it was when the step on it ended.
    struct Known
    {
        FileIdentity after;
        Digest digest {};
        std::int64_t hashNumber = 0;
        std::string reason;
        std::int64_t namesLeft = 0;
        FileResult result = FileResult::None;
        SinceTagged sinceTagged = SinceTagged::Unknown;
        bool inHand = true;
    };

    // The files are spread over shards of their own lock, so that the jobs of a run over a tree of hard
    // links (a backup's snapshot, whose every file has names in the others) seldom wait for each other.
    static constexpr std::size_t shardCount = 64;
    struct alignas(64) Shard
    {
        std::mutex mutex;
        std::condition_variable released;
        std::unordered_map<Key, Known, KeyHash> files;
    };
    Shard& shardOf(const Key& key)
    {
        return m_shards[KeyHash()(key) % shardCount];
    }

    std::array<Shard, shardCount> m_shards;
};

} // namespace orvane
