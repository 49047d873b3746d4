#include "integrityrun.h"

#include "hashnumber.h"
#include "walk.h"

#include <utility>

// Report lines begin with a mark and one space: U+2705, U+274C, or U+26A0 with U+FE0F, which asks for the
// warning sign's emoji form and is part of the text.

namespace orvane {

namespace {

std::string number(std::int64_t value)
{
    return std::to_string(value);
}

} // namespace

IntegrityRun::IntegrityRun(
    Operation operation, Variant variant, const RunSettings& settings, RunState& state, RunObserver observer)
    : m_operation(operation)
    , m_variant(variant)
    , m_xattrName(settings.xattrName)
    , m_digester(settings.backend, settings.bufferSize, settings.read)
    , m_state(state)
    , m_observer(std::move(observer))
{
}

void IntegrityRun::processFile(const std::string& path, bool knownRegular)
{
    OpenedFile file;
    Digest digest;
    if (computeDigest(path, knownRegular, file, digest)) {
        switch (m_operation) {
        case Operation::Check:
            check(path, file, digest);
            break;
        case Operation::Tag:
            tag(path, file, digest);
            break;
        case Operation::Retag:
            retag(path, file, digest);
            break;
        }
    }
    if (m_variant == Variant::Folder)
        ++m_state.counters.total;
}

bool IntegrityRun::computeDigest(const std::string& path, bool knownRegular, OpenedFile& file, Digest& digest)
{
    std::string why;
    file = OpenedFile::open(path, &why, knownRegular);
    if (file.isOpen()) {
        if (auto computed = m_digester.digest(file, &why)) {
            digest = *computed;
            return true;
        }
    }
    ++m_state.counters.unreadable;
    if (m_observer.unreadable)
        m_observer.unreadable(path, why);
    return false;
}

bool IntegrityRun::tryWrite(const OpenedFile& file, const Digest& digest)
{
    try {
        writeDigestAttribute(file.descriptor(), toBytes(digest), m_xattrName);
        return true;
    } catch (const AttributeError&) {
        return false;
    }
}

void IntegrityRun::appendLine(const char* lead, const std::string& path, const char* tail)
{
    m_state.reportText.append(lead).append(path).append(tail);
}

void IntegrityRun::check(const std::string& path, const OpenedFile& file, const Digest& digest)
{
    const bool single = m_variant == Variant::SingleFile;
    Bytes stored;
    try {
        stored = readDigestAttribute(file.descriptor(), m_xattrName);
    } catch (const AttributeError&) {
        // Whatever the reason (none stored, no permission, no attribute support), the file has no digest.
    }
    if (stored.empty()) {
        appendLine("\u26A0\uFE0F No digest found for ", path);
        ++m_state.counters.noDigest;
    } else if (digestsEqual(stored, digest)) {
        appendLine(single ? "\u2705 Digest for " : "\u2705 Digests for ", path);
        ++m_state.counters.matched;
    } else {
        appendLine(single ? "\u274C Digest for " : "\u274C Digests for ", path, " aren't equal.\n");
        ++m_state.counters.mismatched;
    }
}

void IntegrityRun::tag(const std::string& path, const OpenedFile& file, const Digest& digest)
{
    const bool single = m_variant == Variant::SingleFile;
    // The folder line names the digest before the write, so it stands also for a write that fails.
    if (!single)
        m_state.reportText.append("Digest ")
            .append(number(hashNumber(digest)))
            .append(" for ")
            .append(path)
            .append("\n");
    try {
        writeDigestAttribute(file.descriptor(), toBytes(digest), m_xattrName);
        if (single)
            appendLine("\u2705 Tagged ", path);
    } catch (const AttributeError& error) {
        ++m_state.counters.errors;
        if (single)
            appendLine("\u274C Couldn't tag ", path);
        if (m_observer.directText)
            m_observer.directText(error.description());
    }
}

void IntegrityRun::retag(const std::string& path, const OpenedFile& file, const Digest& digest)
{
    const bool single = m_variant == Variant::SingleFile;
    bool fallback = false;
    try {
        const Bytes stored = readDigestAttribute(file.descriptor(), m_xattrName);
        if (stored.empty()) {
            if (tryWrite(file, digest)) {
                appendLine("\u26A0\uFE0F Tagged ", path);
                ++m_state.counters.firstTime;
            } else {
                fallback = true;
            }
        } else if (digestsEqual(stored, digest)) {
            appendLine(single ? "\u2705 Digest for " : "\u2705 Digests for ", path);
            ++m_state.counters.matched;
        } else if (tryWrite(file, digest)) {
            appendLine("\u26A0\uFE0F Retagged ", path);
            ++m_state.counters.retagged;
        } else {
            fallback = true;
        }
    } catch (const AttributeError&) {
        fallback = true; // no stored digest could be read
    }
    if (!fallback)
        return;

    // One more attempt: the file is opened and read anew, and the fresh digest written.
    OpenedFile again;
    Digest fresh;
    if (!computeDigest(path, false, again, fresh))
        return;
    if (tryWrite(again, fresh)) {
        appendLine("\u26A0\uFE0F Tagged ", path);
        ++m_state.counters.firstTime;
    } else {
        appendLine("\u274C Couldn't tag ", path);
        ++m_state.counters.notTagged;
    }
}

void runSingleFile(Operation operation,
    const std::string& path,
    const RunSettings& settings,
    RunState& state,
    const RunObserver& observer)
{
    IntegrityRun run(operation, Variant::SingleFile, settings, state, observer);
    run.processFile(path);
}

bool runFolder(Operation operation,
    const std::string& folder,
    const RunSettings& settings,
    RunState& state,
    const RunObserver& observer,
    int* error)
{
    IntegrityRun run(operation, Variant::Folder, settings, state, observer);
    WalkCallbacks callbacks;
    callbacks.visitFile = [&run](const std::string& path, bool regular) { run.processFile(path, regular); };
    callbacks.unlistedFolder = [&state, &observer](const std::string& path, int listError) {
        ++state.counters.unlistedFolders;
        if (observer.unlistedFolder)
            observer.unlistedFolder(path, listError);
    };
    return walkTree(folder, callbacks, error);
}

void appendTotals(Operation operation, const std::string& folder, RunState& state)
{
    const RunCounters& c = state.counters;
    std::string& text = state.reportText;
    switch (operation) {
    case Operation::Check:
        text.append("Checked a total of ").append(number(c.total)).append(" files in ").append(folder).append("\n");
        text.append("\t").append(number(c.matched)).append(" matched digest correctly\n");
        text.append("\t").append(number(c.mismatched)).append(" didn't match their digest\n");
        text.append("\t").append(number(c.noDigest)).append(" had no digest.\n");
        break;
    case Operation::Tag:
        text.append("Tagged a total of ").append(number(c.total)).append(" files in ").append(folder);
        text.append(" with ").append(number(c.errors)).append(" errors.\n");
        break;
    case Operation::Retag:
        text.append("Retagged a total of ").append(number(c.total)).append(" files in ").append(folder).append("\n");
        text.append("\t").append(number(c.matched)).append(" matched digest correctly\n");
        text.append("\t").append(number(c.retagged)).append(" were retagged\n");
        text.append("\t").append(number(c.firstTime)).append(" were tagged for the first time.\n");
        break;
    }
}

bool runWasClean(Operation operation, const RunCounters& c)
{
    if (c.unreadable != 0 || c.unlistedFolders != 0)
        return false;
    switch (operation) {
    case Operation::Check:
        return c.mismatched == 0 && c.noDigest == 0;
    case Operation::Tag:
        return c.errors == 0;
    case Operation::Retag:
        return c.notTagged == 0;
    }
    return false;
}

} // namespace orvane
