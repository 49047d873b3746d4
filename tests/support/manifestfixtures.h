#pragma once

#include <QByteArrayList>

#include <plist/plist.h>

// Update manifests written out as property-list text, and their binary form written by libplist itself.
namespace manifests {

/// One dictionary entry with the given keys; a null QByteArray leaves the key out.
inline QByteArray entry(const QByteArray& appName, const QByteArray& version = {}, const QByteArray& url = {})
{
    QByteArray out = "<dict>";
    for (const auto& [key, value] : { std::pair("AppName", appName), { "Version", version }, { "URL", url } })
        out += value.isNull() ? QByteArray() : "<key>" + QByteArray(key) + "</key><string>" + value + "</string>";
    return out + "</dict>";
}

inline QByteArray xml(const QByteArrayList& elements, const QByteArray& root = "array")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<" + root + '>' + elements.join('\n')
        + "</" + root + ">\n</plist>\n";
}

inline QByteArray toBinary(const QByteArray& xml)
{
    plist_t root = nullptr;
    plist_from_xml(xml.constData(), uint32_t(xml.size()), &root);
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    plist_free(root);
    const QByteArray out(bytes, qsizetype(length));
    plist_to_bin_free(bytes);
    return out;
}

} // namespace manifests
