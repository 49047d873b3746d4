#include "fontsize.h"

#include <QSettings>

#include <algorithm>

namespace FontSize {

double bigger(double size)
{
    return std::min(size + step, largest);
}

double smaller(double size)
{
    return std::max(size - step, smallest);
}

double startingSize()
{
    bool isNumber = false;
    const double stored = QSettings().value(settingsKey).toDouble(&isNumber);
    // A missing key reads as 0 and a hand-edited one may hold anything; neither may size the report.
    if (!isNumber || !(stored >= smallest && stored <= largest))
        return initial;
    return stored;
}

void store(double size)
{
    QSettings().setValue(settingsKey, size);
}

} // namespace FontSize
