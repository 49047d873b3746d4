#pragma once

#include "integrity/result.h"

#include <string>

namespace orvane {

/// What the user opened: a folder (walked, with totals) or a single file.
struct Item
{
    std::string path;
    bool isFolder = false;
};

/*!
 * The item a path names, as the kernel resolves it: every part up to the last is resolved (symbolic
 * links and ".." alike, so "A/l/../x" is the x beside the target of the link l, not A/x), and the last part
 * is kept as given, so a link to a folder or a file is reported under its own name. The path printed and
 * the file acted on are then the same. Fails for an empty path, for one that names nothing, and for a
 * trailing slash on something that is not a folder. A dangling link is an item: it cannot be read.
 */
[[nodiscard]] Result<Item> resolveItem(const std::string& path);

} // namespace orvane
