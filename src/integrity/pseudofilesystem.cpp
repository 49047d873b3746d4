#include "pseudofilesystem.h"

#include <algorithm>
#include <iterator>
#include <sys/vfs.h>

namespace orvane {

namespace {

// The f_type magic numbers of <linux/magic.h>, spelt out: older kernel headers lack some of them.
constexpr unsigned long pseudoTypes[] = {
    0x9fa0, // proc
    0x62656572, // sysfs
    0x64626720, // debugfs
    0x74726163, // tracefs
    0x73636673, // securityfs
    0x27e0eb, // cgroup
    0x63677270, // cgroup2
    0x6165676c, // pstore
    0xcafe4a11, // bpf
    0x62656570, // configfs
    0xde5e81e4, // efivarfs
    0x65735543, // fusectl
    0x1cd1, // devpts
    0x19800202, // mqueue
    0x958458f6, // hugetlbfs
    0x42494e4d, // binfmt_misc
    0xf97cff8c, // selinuxfs
    0x43415d53, // smackfs
    0x6e736673, // nsfs
};

} // namespace

bool onPseudoFileSystem(int fd)
{
    struct statfs status = {};
    if (::fstatfs(fd, &status) != 0)
        return false;
    const auto type = static_cast<unsigned long>(status.f_type) & 0xffffffffUL;
    return std::find(std::begin(pseudoTypes), std::end(pseudoTypes), type) != std::end(pseudoTypes);
}

bool FileSystemKind::onPseudoFileSystem(int fd, dev_t device)
{
    if (!m_known || device != m_device) {
        m_pseudo = orvane::onPseudoFileSystem(fd);
        m_device = device;
        m_known = true;
    }
    return m_pseudo;
}

} // namespace orvane
