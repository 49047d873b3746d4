#include "jsonline.h"

namespace orvane {

namespace {

// The length of the valid UTF-8 sequence that starts at bytes[at], or 0 when none does.
std::size_t sequenceLength(std::string_view bytes, std::size_t at)
{
    const auto byte = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80; // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (at + length > bytes.size() || byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    }
    return length;
}

} // namespace

bool isValidUtf8(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = sequenceLength(bytes, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

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
    static const char hex[] = "0123456789abcdef";
    this->key(key);
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
        } else if (const std::size_t length = sequenceLength(value, i); length == 0) {
            m_text.append("\uFFFD");
        } else {
            m_text.append(value.substr(i, length));
            i += length;
            continue;
        }
        ++i;
    }
    m_text.push_back('"');
    return *this;
}

JsonLine& JsonLine::path(std::string_view key, std::string_view bytes)
{
    text(key, bytes);
    if (!isValidUtf8(bytes))
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
