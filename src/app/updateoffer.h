#pragma once

#include <functional>

class QMessageBox;
class QString;

/*!
 * Offers a listed version for download in an information box that does not block: "An update to this app
 * to version <listed> is available.", with the running version in the informative text, and the buttons
 * "Ignore" (the default, also taken when the box is closed) and "Download". answered runs once, with true
 * for Download, when the box closes; the box deletes itself then. GUI thread only.
 */
QMessageBox* showUpdateOffer(
    const QString& listedVersion, const QString& runningVersion, std::function<void(bool download)> answered);
