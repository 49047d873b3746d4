#include "outcome.h"

namespace orvane {

Command commandOf(Operation operation)
{
    switch (operation) {
    case Operation::Check:
        return Command::Check;
    case Operation::Tag:
        return Command::Tag;
    case Operation::Retag:
        return Command::Retag;
    }
    return Command::Check;
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

void Outcome::clear()
{
    path.clear();
    result = FileResult::None;
    reason.clear();
    hasDigest = false;
    hashNumber = 0;
    line = 0;
    sinceTagged = SinceTagged::Unknown;
}

void RunCounters::count(Command command, Variant variant, const Outcome& outcome)
{
    switch (outcome.result) {
    case FileResult::UnreadableFolder:
        ++unreadableFolders;
        return; // a folder, not a file
    case FileResult::Malformed:
        ++malformed;
        return; // a line, not a file
    case FileResult::None:
        break;
    case FileResult::Matched:
        ++matched;
        break;
    case FileResult::Mismatched:
        // Retag leaves a file that may be damaged alone: it counts in none of Retag's categories.
        if (command != Command::Retag)
            ++mismatched;
        if (outcome.sinceTagged == SinceTagged::NotModified)
            ++possiblyDamaged;
        else if (outcome.sinceTagged == SinceTagged::Modified)
            ++modifiedSinceTagged;
        break;
    case FileResult::NoDigest:
        ++noDigest;
        break;
    case FileResult::Tagged:
        break;
    case FileResult::Retagged:
        ++retagged;
        break;
    case FileResult::FirstTagged:
        ++firstTime;
        break;
    case FileResult::NotTagged:
        ++(command == Command::Tag ? errors : notTagged);
        break;
    case FileResult::Imported:
        ++imported;
        break;
    case FileResult::Unreadable:
        ++unreadable;
        break;
    }
    if (variant == Variant::Folder || command == Command::Import)
        ++total;
}

bool runWasClean(Command command, const RunCounters& c)
{
    if (c.unreadable != 0 || c.unreadableFolders != 0)
        return false;
    switch (command) {
    case Command::Check:
        return c.mismatched == 0 && c.noDigest == 0;
    case Command::Tag:
        return c.errors == 0;
    case Command::Retag:
        return c.notTagged == 0 && c.possiblyDamaged == 0;
    case Command::Import:
        return c.imported == c.total && c.malformed == 0;
    }
    return false;
}

} // namespace orvane
