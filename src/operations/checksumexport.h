#pragma once

#include "exclusions.h"
#include "integrity/filedigest.h"
#include "integrity/pseudofilesystem.h"
#include "integrity/result.h"
#include "item.h"

#include <functional>
#include <optional>
#include <string>

namespace orvane {

/// Where an export sends its lines and the files it cannot list.
struct ExportSinks
{
    /// A line of the checksum list (see checksumLine).
    std::function<void(const std::string& line)> line;
    /// A file with no digest to list, or a folder that could not be listed, and why; path is in its own bytes.
    std::function<void(const std::string& path, const std::string& reason)> problem;
};

/*!
 * The digest stored on name in the open folder folderFd, from its attribute alone: no contents are read.
 * Fails, with the reason, when the file cannot be opened or holds no value of 32 bytes. kind answers the pseudo
 * file system question for many files (see OpenedFile::openAt).
 */
[[nodiscard]] Result<Digest> storedDigest(
    int folderFd, const std::string& name, bool regular, const std::string& xattrName, FileSystemKind* kind = nullptr);

/*!
 * The checksum list of the digests stored on item's files, from the attributes alone: no contents are
 * read. A folder's files come in walk order, named relative to the folder; a single file by its name. A
 * file whose stored value is missing or not 32 bytes, that cannot be opened, and a folder that cannot be
 * listed go to sinks.problem. Returns the failure, with nothing listed, when the folder cannot be walked.
 */
[[nodiscard]] std::optional<Failure> exportChecksums(const Item& item,
    bool bsd,
    const std::string& xattrName,
    const ExportSinks& sinks,
    const Exclusions* exclusions = nullptr);

} // namespace orvane
