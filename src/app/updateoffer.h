#pragma once

class QString;

namespace orvane {

/// What the user answered to the offer of an update.
enum class UpdateAnswer
{
    Ignore,
    Download,
};

/*!
 * Offers the listed version for download in a modal information box: "An update to this app to version
 * <listed> is available.", with the running version in the informative text, and the buttons "Ignore"
 * (the default, also taken when the box is closed) and "Download". GUI thread only.
 */
[[nodiscard]] UpdateAnswer askToDownloadUpdate(const QString& listedVersion, const QString& runningVersion);

} // namespace orvane
