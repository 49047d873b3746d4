#pragma once

#include "integrity/filedigest.h"
#include "outcome.h"

#include <condition_variable>
#include <cstddef>
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
            return std::hash<ino_t>()(key.inode) ^ (std::hash<dev_t>()(key.device) << 1);
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

    std::mutex m_mutex;
    std::condition_variable m_released;
    std::unordered_map<Key, Known, KeyHash> m_files;
};

} // namespace orvane
