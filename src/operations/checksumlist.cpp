#include "checksumlist.h"

#include <optional>

namespace orvane {

namespace {

constexpr std::size_t hexSize = 64;
constexpr std::string_view bsdLead = "SHA256 (";
constexpr std::string_view bsdMiddle = ") = ";

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool parseHex(std::string_view hex, Digest& digest)
{
    if (hex.size() != hexSize)
        return false;
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const int high = hexValue(hex[2 * i]);
        const int low = hexValue(hex[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        digest[i] = static_cast<unsigned char>(high << 4 | low);
    }
    return true;
}

std::optional<std::string> unescape(std::string_view name)
{
    std::string path;
    path.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '\\') {
            path.push_back(name[i]);
            continue;
        }
        if (++i == name.size())
            return std::nullopt;
        switch (name[i]) {
        case '\\':
            path.push_back('\\');
            break;
        case 'n':
            path.push_back('\n');
            break;
        case 'r':
            path.push_back('\r');
            break;
        default:
            return std::nullopt;
        }
    }
    return path;
}

void parseLine(std::string_view line, ListEntry& entry)
{
    const bool escaped = !line.empty() && line.front() == '\\';
    if (escaped)
        line.remove_prefix(1);
    std::string_view name;
    if (line.substr(0, bsdLead.size()) == bsdLead && line.size() >= bsdLead.size() + 1 + bsdMiddle.size() + hexSize
        && line.substr(line.size() - hexSize - bsdMiddle.size(), bsdMiddle.size()) == bsdMiddle) {
        if (!parseHex(line.substr(line.size() - hexSize), entry.digest))
            return;
        name = line.substr(bsdLead.size(), line.size() - hexSize - bsdMiddle.size() - bsdLead.size());
    } else {
        if (line.size() < hexSize + 3 || line[hexSize] != ' ' || (line[hexSize + 1] != ' ' && line[hexSize + 1] != '*')
            || !parseHex(line.substr(0, hexSize), entry.digest))
            return;
        name = line.substr(hexSize + 2);
    }
    if (!escaped) {
        entry.path = name;
    } else if (std::optional<std::string> path = unescape(name)) {
        entry.path = std::move(*path);
    } else {
        return;
    }
    entry.wellFormed = !entry.path.empty();
}

} // namespace

std::string hexDigest(const Digest& digest)
{
    static const char hex[] = "0123456789abcdef";
    std::string text;
    text.reserve(hexSize);
    for (const unsigned char byte : digest)
        text.append({ hex[byte >> 4], hex[byte & 0xf] });
    return text;
}

std::string checksumLine(const std::string& path, const Digest& digest, bool bsd)
{
    std::string name;
    bool escaped = false;
    for (const char c : path) {
        const char* escape = c == '\\' ? "\\\\" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : nullptr;
        escaped = escaped || escape;
        if (escape)
            name.append(escape);
        else
            name.push_back(c);
    }
    std::string line = escaped ? "\\" : "";
    if (bsd)
        line.append(bsdLead).append(name).append(bsdMiddle).append(hexDigest(digest));
    else
        line.append(hexDigest(digest)).append("  ").append(name);
    return line.append("\n");
}

ListEntry parseChecksumLine(std::string_view line, std::int64_t number)
{
    ListEntry entry;
    entry.line = number;
    // A NUL would end the name where the system reads it: another file than the line names.
    if (line.find('\0') == std::string_view::npos)
        parseLine(line, entry);
    return entry;
}

} // namespace orvane
