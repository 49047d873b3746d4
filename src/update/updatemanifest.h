#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace orvane {

/// One entry of the update manifest. Version and URL are read for Orvane's own entries only and stay
/// empty for other applications' entries.
struct ManifestEntry
{
    QString appName;
    QString version;
    QString url;

    bool operator==(const ManifestEntry& other) const
    {
        return appName == other.appName && version == other.version && url == other.url;
    }
};

/// Why a manifest was refused; each reason has its own alert text (manifestErrorText).
enum class ManifestError
{
    None,
    NotAPropertyList, ///< not a property list, or not one of the manifest's shape
    NoEntries, ///< the root array is empty
};

struct ParsedManifest
{
    ManifestError error = ManifestError::None;
    QList<ManifestEntry> entries; ///< in the manifest's order; empty unless error is None
};

/*!
 * Reads an update manifest, XML or binary property list, with libplist. The root must be a non-empty array
 * of dictionaries, each with a string AppName; Orvane's entries must also have a string Version and a
 * string URL that is a valid absolute address. Anything else (an empty body included) is NotAPropertyList,
 * so that a malformed manifest is refused as a whole before anything is shown. Keys not named here, and
 * Version and URL of other applications' entries, are not looked at.
 */
[[nodiscard]] ParsedManifest parseManifest(const QByteArray& body);

/// The alert text for a refused manifest, byte for byte; empty for ManifestError::None.
[[nodiscard]] QString manifestErrorText(ManifestError error);

/// An entry offers an update whenever its version differs from the running one, as text: a lower or a
/// differently written version (1.0 against 1.0.0) counts as well.
[[nodiscard]] bool offersUpdate(const QString& runningVersion, const QString& listedVersion);

/// A download address is opened only when it begins with the download base address. The base ends in "/",
/// so scheme, host and the leading path of the address are the base's; an address that merely contains the
/// base somewhere (https://elsewhere.example/?https://base/) is refused.
[[nodiscard]] bool isDownloadAddress(const QString& url, const QString& downloadBase);

} // namespace orvane
