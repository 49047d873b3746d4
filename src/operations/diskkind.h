#pragma once

#include "runsettings.h"

#include <cstdint>
#include <string>
#include <sys/types.h>

namespace orvane {

/// How the disk an item lives on answers reads: what the kernel says of it, and what runs measured.
enum class DiskKind
{
    SolidState, ///< or no disk at all (memory, network): reads in flight at once are served at once
    ClaimsRotational, ///< the kernel says rotational; a run measures whether it answers like one
    Rotational, ///< measured: it answers as a spinning disk does, one seek after another
};

/// Files in hand at most, by default, while their reads wait for a disk that is not rotational: enough to
/// keep it busy (measured on a virtual disk, where 8 took 1.4 times as long as 16, and 32 no less).
inline constexpr int defaultIoDepth = 16;

/// Files in hand at most while their reads wait for a rotational disk: a few, read in the order of their
/// inode numbers, so that the head sweeps across the disk instead of seeking back and forth.
inline constexpr int rotationalIoDepth = 2;

/// The cold reads a run times on a disk that claims to be rotational before it decides how it answers.
inline constexpr int probeReads = 8;

/// A disk whose cold reads take this long or longer (the median of probeReads) answers like a spinning one:
/// a seek and half a turn take milliseconds, a solid-state or virtual disk answers in a fraction of one.
inline constexpr std::int64_t rotationalWaitNanos = 2000000;

/*!
 * What is known of the disk of device: what runs of this process measured (noteDiskKind), else what the
 * kernel says (/sys/dev/block/MAJ:MIN/queue/rotational, a partition followed to its disk). Anything the
 * kernel says nothing of (tmpfs, NFS) is SolidState.
 */
[[nodiscard]] DiskKind diskKind(dev_t device);

/// Keeps what a run measured of device's disk for the later runs of this process.
void noteDiskKind(dev_t device, DiskKind kind);

/*!
 * Sets settings to the defaults for folder runs: jobs to the CPUs this process may use (usableCpus), and
 * ioDepth to defaultIoDepth, so that a run keeps more files in hand while their reads wait for the disk.
 * --jobs N sets both to N instead (ioDepth 0).
 */
void setDefaultJobs(RunSettings& settings);

/// The most files in hand that the default settings ask for: the size of a pool shared by every run.
[[nodiscard]] int mostDefaultFilesInHand();

} // namespace orvane
