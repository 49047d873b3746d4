#pragma once

#include <QProgressBar>

/// The window's busy indicator: an indeterminate progress bar that moves while it is animating.
class BusyIndicator : public QProgressBar
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BusyIndicator)

public:
    explicit BusyIndicator(QWidget* parent = nullptr);
    ~BusyIndicator() override;

    void startAnimation();
    void stopAnimation();
    [[nodiscard]] bool isAnimating() const;
};
