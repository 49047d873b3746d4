#include "busyindicator.h"

BusyIndicator::BusyIndicator(QWidget* parent)
    : QProgressBar(parent)
{
    setTextVisible(false);
    setFixedWidth(120);
    stopAnimation();
}

BusyIndicator::~BusyIndicator() = default;

void BusyIndicator::startAnimation()
{
    setRange(0, 0); // an empty range makes the bar indeterminate: it moves without a value
}

void BusyIndicator::stopAnimation()
{
    setRange(0, 1);
    setValue(0);
}

bool BusyIndicator::isAnimating() const
{
    return minimum() == 0 && maximum() == 0;
}
