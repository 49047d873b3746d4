#pragma once

#include "exclusions.h"
#include "integrity/failure.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace orvane {

/// What a comparison of two trees found for one relative path.
enum class CompareResult
{
    Same, ///< in both, with equal stored digests
    Different, ///< in both, with stored digests that differ
    Moved, ///< only in the first; its digest is stored at another path found only in the second (to)
    OnlyInFirst,
    OnlyInSecond,
    NoDigest, ///< in both, without a stored digest on one side (side)
    UnreadableFolder, ///< a folder of one tree (side) that could not be listed
};

/// One line of a comparison, as data. Paths are relative to the tree they are in, in their own bytes.
struct CompareOutcome
{
    CompareResult result = CompareResult::Same;
    std::string path;
    std::string to; ///< Moved: the path in the second tree
    int side = 0; ///< NoDigest, UnreadableFolder: 0 the first tree, 1 the second
    std::string reason; ///< UnreadableFolder: why
};

/// The counts of a comparison, as its totals show them.
struct CompareCounts
{
    std::int64_t same = 0;
    std::int64_t different = 0;
    std::int64_t moved = 0;
    std::int64_t onlyInFirst = 0;
    std::int64_t onlyInSecond = 0;
    std::int64_t noDigest = 0;
    std::int64_t unreadableFolders = 0;
    std::int64_t excluded = 0; ///< files and folders of either tree left out (a folder once)

    [[nodiscard]] std::int64_t files() const
    {
        return same + different + moved + onlyInFirst + onlyInSecond + noDigest;
    }
    /// Every file the same in both, and nothing left unread.
    [[nodiscard]] bool allSame() const
    {
        return files() == same && unreadableFolders == 0;
    }
};

/*!
 * Compares the trees below first and second by the digests stored in their files' attributes, reading no
 * file's contents. Files are matched by their path relative to each tree; a file only in the first whose
 * digest is stored at a path only in the second has moved there (several candidates are paired in walk
 * order). The outcomes go to sink: the first tree's files in its walk order, then those only in the second
 * in its walk order. Memory: about one entry of 90 bytes for each file of the first tree and each file only in
 * the second.
 *
 * What exclusions leave out of either tree is not compared.
 *
 * Returns the failure, with nothing compared, when either folder cannot be listed; failedTree tells which.
 */
[[nodiscard]] std::optional<Failure> compareTrees(const std::string& first,
    const std::string& second,
    const std::string& xattrName,
    const std::function<void(const CompareOutcome&)>& sink,
    CompareCounts& counts,
    std::string* failedTree = nullptr,
    const Exclusions* exclusions = nullptr);

} // namespace orvane
