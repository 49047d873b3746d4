#include "treecompare.h"

#include "checksumexport.h"
#include "walk.h"

#include <algorithm>
#include <numeric>
#include <string_view>
#include <vector>

namespace orvane {

namespace {

constexpr std::uint32_t none = ~std::uint32_t(0);

// The files of one tree in walk order, their relative paths kept end to end in one string.
class TreeIndex
{
public:
    struct Entry
    {
        std::uint64_t pathAt = 0;
        std::uint32_t pathLength = 0;
        std::uint32_t partner = none; // the entry of the other tree it was matched with
        Digest digest {};
        bool hasDigest = false;
        bool folder = false; // a folder that could not be listed; its reason is in reasons
        CompareResult result = CompareResult::Same;
        std::uint8_t side = 0;
    };

    void add(std::string_view path, const Result<Digest>& digest)
    {
        Entry entry;
        entry.pathAt = m_paths.size();
        entry.pathLength = std::uint32_t(path.size());
        entry.hasDigest = bool(digest);
        if (digest)
            entry.digest = digest.value();
        m_paths.append(path);
        m_entries.push_back(entry);
    }
    void addFolder(std::string_view path, const std::string& reason)
    {
        add(path, Failure {});
        m_entries.back().folder = true;
        m_reasons.emplace_back(m_entries.size() - 1, reason);
    }
    // Sorts the entries' numbers by path, for find().
    void index()
    {
        m_byPath.resize(m_entries.size());
        std::iota(m_byPath.begin(), m_byPath.end(), 0);
        std::sort(
            m_byPath.begin(), m_byPath.end(), [this](std::uint32_t a, std::uint32_t b) { return path(a) < path(b); });
    }
    // The file (not folder) at path, or none.
    std::uint32_t find(std::string_view wanted) const
    {
        const auto at =
            std::lower_bound(m_byPath.begin(), m_byPath.end(), wanted, [this](std::uint32_t i, std::string_view p) {
                return path(i) < p;
            });
        return at != m_byPath.end() && path(*at) == wanted && !m_entries[*at].folder ? *at : none;
    }
    std::string_view path(std::uint32_t i) const
    {
        return std::string_view(m_paths).substr(m_entries[i].pathAt, m_entries[i].pathLength);
    }
    // The reason folder entry i could not be listed; m_reasons is in entry order, as addFolder() adds them.
    std::string reason(std::uint32_t i) const
    {
        const auto at = std::lower_bound(m_reasons.begin(),
            m_reasons.end(),
            i,
            [](const std::pair<std::uint32_t, std::string>& known, std::uint32_t entry) {
                return known.first < entry;
            });
        return at != m_reasons.end() && at->first == i ? at->second : std::string();
    }
    std::vector<Entry>& entries()
    {
        return m_entries;
    }

private:
    std::string m_paths;
    std::vector<Entry> m_entries;
    std::vector<std::uint32_t> m_byPath;
    std::vector<std::pair<std::uint32_t, std::string>> m_reasons;
};

// Walks root, handing each file's relative path and stored digest, and each folder that cannot be listed, on.
std::optional<Failure> walkDigests(const std::string& root,
    const std::string& xattrName,
    const Exclusions* exclusions,
    std::int64_t& excluded,
    const std::function<void(std::string_view, const Result<Digest>&)>& file,
    const std::function<void(std::string_view, const std::string&)>& folder)
{
    const std::size_t prefix = root.back() == '/' ? root.size() : root.size() + 1;
    WalkCallbacks callbacks;
    FileSystemKind kind;
    callbacks.visitFile = [&](int folderFd, const std::string& name, const std::string& path, bool regular, ino_t) {
        file(std::string_view(path).substr(prefix), storedDigest(folderFd, name, regular, xattrName, &kind));
    };
    callbacks.unreadableFolder = [&](const std::string& path, const Failure& failure) {
        folder(path.size() > prefix ? std::string_view(path).substr(prefix) : std::string_view("."), failure.reason);
    };
    callbacks.exclude = excludeFilter(exclusions, &excluded);
    return walkTree(root, callbacks);
}

} // namespace

std::optional<Failure> compareTrees(const std::string& first,
    const std::string& second,
    const std::string& xattrName,
    const std::function<void(const CompareOutcome&)>& sink,
    CompareCounts& counts,
    std::string* failedTree,
    const Exclusions* exclusions)
{
    const auto failed = [failedTree](const std::string& tree, const Failure& failure) {
        if (failedTree)
            *failedTree = tree;
        return failure;
    };
    TreeIndex a;
    if (auto failure = walkDigests(
            first,
            xattrName,
            exclusions,
            counts.excluded,
            [&a](std::string_view path, const Result<Digest>& digest) { a.add(path, digest); },
            [&a](std::string_view path, const std::string& reason) { a.addFolder(path, reason); }))
        return failed(first, *failure);
    a.index();
    auto& inFirst = a.entries();

    // The second tree: each file is matched with its namesake in the first, or kept as only in the second.
    TreeIndex onlyB;
    const auto fileOfB = [&](std::string_view path, const Result<Digest>& digest) {
        const std::uint32_t match = a.find(path);
        if (match == none)
            return onlyB.add(path, digest);
        TreeIndex::Entry& entry = inFirst[match];
        entry.partner = 0;
        if (!entry.hasDigest || !digest) {
            entry.result = CompareResult::NoDigest;
            entry.side = entry.hasDigest ? 1 : 0;
        } else {
            entry.result = entry.digest == digest.value() ? CompareResult::Same : CompareResult::Different;
        }
    };
    const auto folderOfB = [&onlyB](
                               std::string_view path, const std::string& reason) { onlyB.addFolder(path, reason); };
    if (auto failure = walkDigests(second, xattrName, exclusions, counts.excluded, fileOfB, folderOfB))
        return failed(second, *failure);

    // Moves: files only in the first take, in walk order, the first file only in the second with their digest.
    auto& inSecondOnly = onlyB.entries();
    std::vector<std::uint32_t> byDigest;
    for (std::uint32_t i = 0; i < inSecondOnly.size(); ++i)
        if (inSecondOnly[i].hasDigest)
            byDigest.push_back(i);
    std::stable_sort(byDigest.begin(), byDigest.end(), [&inSecondOnly](std::uint32_t x, std::uint32_t y) {
        return inSecondOnly[x].digest < inSecondOnly[y].digest;
    });
    for (TreeIndex::Entry& entry : inFirst) {
        if (entry.folder || entry.partner != none)
            continue;
        entry.result = CompareResult::OnlyInFirst;
        if (!entry.hasDigest)
            continue;
        auto candidate = std::lower_bound(
            byDigest.begin(), byDigest.end(), entry.digest, [&inSecondOnly](std::uint32_t i, const Digest& digest) {
                return inSecondOnly[i].digest < digest;
            });
        for (; candidate != byDigest.end() && inSecondOnly[*candidate].digest == entry.digest; ++candidate) {
            if (inSecondOnly[*candidate].partner == none) {
                inSecondOnly[*candidate].partner = 0;
                entry.partner = *candidate;
                entry.result = CompareResult::Moved;
                break;
            }
        }
    }

    CompareOutcome outcome;
    const auto emit = [&](CompareResult result, std::string_view path, int side) {
        outcome.result = result;
        outcome.path.assign(path);
        outcome.side = side;
        switch (result) {
        case CompareResult::Same:
            ++counts.same;
            break;
        case CompareResult::Different:
            ++counts.different;
            break;
        case CompareResult::Moved:
            ++counts.moved;
            break;
        case CompareResult::OnlyInFirst:
            ++counts.onlyInFirst;
            break;
        case CompareResult::OnlyInSecond:
            ++counts.onlyInSecond;
            break;
        case CompareResult::NoDigest:
            ++counts.noDigest;
            break;
        case CompareResult::UnreadableFolder:
            ++counts.unreadableFolders;
            break;
        }
        sink(outcome);
    };
    for (std::uint32_t i = 0; i < inFirst.size(); ++i) {
        const TreeIndex::Entry& entry = inFirst[i];
        outcome.to.clear();
        outcome.reason = entry.folder ? a.reason(i) : std::string();
        if (entry.result == CompareResult::Moved)
            outcome.to.assign(onlyB.path(entry.partner));
        emit(entry.folder ? CompareResult::UnreadableFolder : entry.result, a.path(i), entry.side);
    }
    outcome.to.clear();
    for (std::uint32_t i = 0; i < inSecondOnly.size(); ++i) {
        if (inSecondOnly[i].partner != none)
            continue;
        outcome.reason = inSecondOnly[i].folder ? onlyB.reason(i) : std::string();
        emit(inSecondOnly[i].folder ? CompareResult::UnreadableFolder : CompareResult::OnlyInSecond, onlyB.path(i), 1);
    }
    return std::nullopt;
}

} // namespace orvane
