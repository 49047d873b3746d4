#pragma once

class QWidget;

/// Shows window, restores it when minimized, raises it and gives it the focus: how Orvane brings a window
/// the user asked for (from the command line, another instance or a notification) to the front.
void bringForward(QWidget* window);
