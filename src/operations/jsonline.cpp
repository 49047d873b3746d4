#include "jsonline.h"

#include "utf8.h"

namespace orvane {

std::string base64(std::string_view bytes)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
        if (left > 1)
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (left > 2)
            group |= static_cast<unsigned char>(bytes[i + 2]);
        text.push_back(alphabet[group >> 18 & 0x3F]);
        text.push_back(alphabet[group >> 12 & 0x3F]);
        text.push_back(left > 1 ? alphabet[group >> 6 & 0x3F] : '=');
        text.push_back(left > 2 ? alphabet[group & 0x3F] : '=');
    }
    return text;
}

void JsonLine::key(std::string_view key)
{
    if (m_text.size() > 1)
        m_text.push_back(',');
    m_text.append("\"").append(key).append("\":");
}

JsonLine& JsonLine::text(std::string_view key, std::string_view value)
{
    this->key(key);
    appendString(value);
    return *this;
}

bool JsonLine::appendString(std::string_view value)
{
    static const char hex[] = "0123456789abcdef";
    bool replaced = false;
    m_text.push_back('"');
    for (std::size_t i = 0; i < value.size();) {
        const char c = value[i];
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            m_text.append({ '\\', c });
        } else if (c == '\n') {
            m_text.append("\\n");
        } else if (c == '\t') {
            m_text.append("\\t");
        } else if (byte < 0x20 || byte == 0x7F) {
            m_text.append("\\u00").append({ hex[byte >> 4], hex[byte & 0xF] });
        } else if (const std::size_t length = utf8SequenceLength(value, i); length == 0) {
            m_text.append("\uFFFD");
            replaced = true;
        } else {
            m_text.append(value.substr(i, length));
            i += length;
            continue;
        }
        ++i;
    }
    m_text.push_back('"');
    return replaced;
}

JsonLine& JsonLine::path(std::string_view key, std::string_view bytes)
{
    this->key(key);
    if (appendString(bytes)) // the bytes that are no UTF-8 went in as U+FFFD: the exact ones beside them
        text(std::string(key) + "_base64", base64(bytes));
    return *this;
}

JsonLine& JsonLine::number(std::string_view key, std::int64_t value)
{
    this->key(key);
    m_text.append(std::to_string(value));
    return *this;
}

JsonLine& JsonLine::flag(std::string_view key, bool value)
{
    this->key(key);
    m_text.append(value ? "true" : "false");
    return *this;
}

std::string JsonLine::finish()
{
    return m_text.append("}\n");
}

} // namespace orvane
