#pragma once

#include "exclusions.h"
#include "integrity/filedigest.h"
#include "integrity/tagstore.h"
#include "runprogress.h"
#include "workerpool.h"

#include <cstdint>
#include <string>

namespace orvane {

/// What a run needs besides the item: the back-end, the buffer size, the attribute name, and how many
/// files it may hash at once, on which pool, reporting its progress where.
struct RunSettings
{
    Backend backend = Backend::Modern;
    std::int64_t bufferSize = realBufferSize;
    std::string xattrName = theXattrName;
    std::string timeXattrName = theTimeXattrName;
    ReadFunction read; ///< empty: read(2); tests put a failing reader here. Called from the pool's threads.
    int jobs = 1; ///< files hashed at once; 1 (and an ioDepth of 1 or less), or no pool: all on the calling thread
    /// Files in hand at most while their reads wait for the disk: a run that finds files missing from the
    /// page cache keeps up to this many in hand, one that finds them cached jobs; 0: always jobs.
    int ioDepth = 0;
    WorkerPool* pool = nullptr;
    RunProgress* progress = nullptr; ///< null: nobody watches, and nothing can stop the run
    bool countTotals = true; ///< with progress: count the tree alongside, for RunProgress's totals
    const Exclusions* exclusions = nullptr; ///< what a folder run leaves out; null: nothing
};

} // namespace orvane
