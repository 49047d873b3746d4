#include "manifestfixtures.h"

#include <plist/plist.h>

namespace manifests {

QByteArray entry(const QByteArray& appName, const QByteArray& version, const QByteArray& url)
{
    QByteArray out = "<dict>";
    const auto add = [&out](const char* key, const QByteArray& value) {
        if (!value.isNull())
            out += "<key>" + QByteArray(key) + "</key><string>" + value + "</string>";
    };
    add("AppName", appName);
    add("Version", version);
    add("URL", url);
    return out + "</dict>";
}

QByteArray xml(const QByteArrayList& elements)
{
    return xmlWithRoot("<array>" + elements.join("\n") + "</array>");
}

QByteArray xmlWithRoot(const QByteArray& root)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n"
        + root + "\n</plist>\n";
}

QByteArray toBinary(const QByteArray& xml)
{
    plist_t root = nullptr;
    plist_from_xml(xml.constData(), uint32_t(xml.size()), &root);
    if (!root)
        return {};
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    plist_free(root);
    QByteArray out(bytes, qsizetype(length));
    plist_to_bin_free(bytes);
    return out;
}

} // namespace manifests
