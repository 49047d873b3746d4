#include "diskkind.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sys/sysmacros.h>

namespace orvane {

namespace {

std::mutex measuredMutex;
std::map<dev_t, DiskKind>& measured()
{
    static std::map<dev_t, DiskKind> kinds;
    return kinds;
}

// The contents of /sys/dev/block/MAJ:MIN/queue/rotational for the block device, or of its disk's for a
// partition: '1' for a rotational disk, '0' otherwise, 0 when the kernel says nothing (tmpfs, NFS, ...).
char rotationalFlag(dev_t device)
{
    const std::string base = "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    char flag = 0;
    if (std::ifstream(base + "/queue/rotational") >> flag)
        return flag;
    const std::unique_ptr<char, decltype(&std::free)> device_(::realpath(base.c_str(), nullptr), &std::free);
    if (!device_)
        return 0;
    std::string disk = device_.get();
    disk.erase(disk.find_last_of('/'));
    if (std::ifstream(disk + "/queue/rotational") >> flag)
        return flag;
    return 0;
}

} // namespace

DiskKind diskKind(dev_t device)
{
    {
        const std::lock_guard<std::mutex> lock(measuredMutex);
        const auto known = measured().find(device);
        if (known != measured().end())
            return known->second;
    }
    return rotationalFlag(device) == '1' ? DiskKind::ClaimsRotational : DiskKind::SolidState;
}

void noteDiskKind(dev_t device, DiskKind kind)
{
    const std::lock_guard<std::mutex> lock(measuredMutex);
    measured()[device] = kind;
}

void setDefaultJobs(RunSettings& settings)
{
    settings.jobs = usableCpus();
    settings.ioDepth = defaultIoDepth;
}

int mostDefaultFilesInHand()
{
    return std::max(usableCpus(), defaultIoDepth);
}

} // namespace orvane
