#include "recentitems.h"

#include <QFileInfo>
#include <QSettings>

namespace RecentItems {

QStringList list()
{
    QSettings settings;
    const QStringList stored = settings.value(settingsKey).toStringList();
    QStringList present;
    for (const QString& path : stored)
        if (QFileInfo::exists(path) && !present.contains(path))
            present.append(path);
    if (present != stored)
        settings.setValue(settingsKey, present);
    return present;
}

void add(const QString& path)
{
    QSettings settings;
    QStringList items = settings.value(settingsKey).toStringList();
    items.removeAll(path);
    items.prepend(path);
    while (items.size() > maximum)
        items.removeLast();
    settings.setValue(settingsKey, items);
}

void clear()
{
    QSettings().remove(settingsKey);
}

} // namespace RecentItems
