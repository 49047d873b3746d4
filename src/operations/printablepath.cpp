#include "printablepath.h"

namespace orvane {

std::string printablePath(const std::string& path)
{
    static const char hex[] = "0123456789abcdef";
    std::string printable;
    printable.reserve(path.size());
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 0x01 && byte <= 0x1f) || byte == 0x7f)
            printable.append({ '\\', 'x', hex[byte >> 4], hex[byte & 0xf] });
        else
            printable.push_back(c);
    }
    return printable;
}

} // namespace orvane
