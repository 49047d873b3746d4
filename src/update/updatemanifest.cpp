#include "updatemanifest.h"

#include <QUrl>

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <plist/plist.h>

namespace orvane {

namespace {

struct PlistFree
{
    void operator()(void* node) const
    {
        plist_free(node);
    }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

// The text of a string value under key in a dictionary; nothing when the key is missing or its value is
// not a string. The value is UTF-8 and may hold NUL bytes, so its length comes from libplist.
std::optional<QString> stringValue(plist_t dict, const char* key)
{
    const plist_t node = plist_dict_get_item(dict, key);
    if (!PLIST_IS_STRING(node))
        return std::nullopt;
    std::uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    if (!text || length > std::uint64_t(std::numeric_limits<qsizetype>::max()))
        return std::nullopt;
    return QString::fromUtf8(text, qsizetype(length));
}

bool isValidAddress(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && !url.isRelative();
}

ParsedManifest refused(ManifestError error)
{
    return ParsedManifest { error, {} };
}

} // namespace

ParsedManifest parseManifest(const QByteArray& body)
{
    if (body.isEmpty() || quint64(body.size()) > std::numeric_limits<std::uint32_t>::max())
        return refused(ManifestError::NotAPropertyList);

    plist_t parsed = nullptr;
    plist_from_memory(body.constData(), std::uint32_t(body.size()), &parsed);
    const PlistPtr root(parsed);
    if (!PLIST_IS_ARRAY(root.get()))
        return refused(ManifestError::NotAPropertyList);

    const std::uint32_t count = plist_array_get_size(root.get());
    if (count < 1)
        return refused(ManifestError::NoEntries);

    ParsedManifest manifest;
    for (std::uint32_t i = 0; i < count; ++i) {
        const plist_t entry = plist_array_get_item(root.get(), i);
        if (!PLIST_IS_DICT(entry))
            return refused(ManifestError::NotAPropertyList);
        const std::optional<QString> appName = stringValue(entry, "AppName");
        if (!appName)
            return refused(ManifestError::NotAPropertyList);
        ManifestEntry item { *appName, {}, {} };
        if (item.appName == QLatin1String("Orvane")) {
            const std::optional<QString> version = stringValue(entry, "Version");
            const std::optional<QString> url = stringValue(entry, "URL");
            if (!version || !url || !isValidAddress(*url))
                return refused(ManifestError::NotAPropertyList);
            item.version = *version;
            item.url = *url;
        }
        manifest.entries.append(item);
    }
    return manifest;
}

QString manifestErrorText(ManifestError error)
{
    switch (error) {
    case ManifestError::None:
        break;
    case ManifestError::NotAPropertyList:
        return QStringLiteral("Error in update Property List.");
    case ManifestError::NoEntries:
        return QStringLiteral("Update Property List has no entries.");
    }
    return {};
}

bool offersUpdate(const QString& runningVersion, const QString& listedVersion)
{
    return listedVersion != runningVersion;
}

bool isDownloadAddress(const QString& url, const QString& downloadBase)
{
    return downloadBase.endsWith(u'/') && url.startsWith(downloadBase);
}

} // namespace orvane
