#include "printablepath.h"

#include "utf8.h"

namespace orvane {

namespace {

void appendEscaped(std::string_view bytes, std::string& out)
{
    static const char hex[] = "0123456789abcdef";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out.append({ '\\', 'x', hex[byte >> 4], hex[byte & 0xf] });
    }
}

// The length of the control character at path[at] that is written escaped, or 0.
std::size_t controlLength(std::string_view path, std::size_t at)
{
    const auto byte = [&path](std::size_t i) { return i < path.size() ? static_cast<unsigned char>(path[i]) : 0; };
    const unsigned char lead = byte(at);
    if ((lead >= 0x01 && lead <= 0x1f) || lead == 0x7f)
        return 1;
    if (lead == 0xc2 && byte(at + 1) >= 0x80 && byte(at + 1) <= 0x9f)
        return 2; // U+0080 to U+009F
    if (lead == 0xe2 && byte(at + 1) == 0x80 && byte(at + 2) >= 0xaa && byte(at + 2) <= 0xae)
        return 3; // U+202A to U+202E
    if (lead == 0xe2 && byte(at + 1) == 0x81 && byte(at + 2) >= 0xa6 && byte(at + 2) <= 0xa9)
        return 3; // U+2066 to U+2069
    return 0;
}

} // namespace

void appendPrintablePath(std::string_view path, std::string& out)
{
    std::size_t plain = 0; // the start of the bytes not yet appended
    for (std::size_t i = 0; i < path.size();) {
        const std::size_t control = controlLength(path, i);
        if (control == 0) {
            ++i;
            continue;
        }
        out.append(path.substr(plain, i - plain));
        appendEscaped(path.substr(i, control), out);
        i += control;
        plain = i;
    }
    out.append(path.substr(plain));
}

std::string printablePath(std::string_view path)
{
    std::string printable;
    printable.reserve(path.size());
    appendPrintablePath(path, printable);
    return printable;
}

std::string shownText(std::string_view bytes)
{
    std::string shown;
    shown.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = utf8SequenceLength(bytes, i);
        if (length == 0) {
            appendEscaped(bytes.substr(i, 1), shown);
            ++i;
        } else {
            shown.append(bytes.substr(i, length));
            i += length;
        }
    }
    return shown;
}

} // namespace orvane
