#pragma once

class QString;

namespace orvane {

/// The application's error alert: a modal critical message box, "An error occurred:" with text as its
/// informative text and a single "OK" button. Returns when the user dismisses it. GUI thread only.
void showError(const QString& text);

} // namespace orvane
