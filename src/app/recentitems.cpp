#include "recentitems.h"

#include <QFile>
#include <QSettings>
#include <QVariant>

#include <sys/stat.h>

namespace RecentItems {

namespace {

// Paths kept as text by earlier versions are taken in the local encoding.
QList<QByteArray> stored(const QSettings& settings)
{
    QList<QByteArray> paths;
    for (const QVariant& value : settings.value(settingsKey).toList())
        paths.append(
            value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QFile::encodeName(value.toString()));
    return paths;
}

void store(QSettings& settings, const QList<QByteArray>& paths)
{
    QVariantList values;
    for (const QByteArray& path : paths)
        values.append(path);
    settings.setValue(settingsKey, values);
}

} // namespace

QList<QByteArray> list()
{
    QSettings settings;
    const QList<QByteArray> kept = stored(settings);
    QList<QByteArray> present;
    for (const QByteArray& path : kept) {
        struct stat status = {};
        if (::stat(path.constData(), &status) == 0 && !present.contains(path))
            present.append(path);
    }
    if (present != kept)
        store(settings, present);
    return present;
}

void add(const QByteArray& path)
{
    QSettings settings;
    QList<QByteArray> items = stored(settings);
    items.removeAll(path);
    items.prepend(path);
    while (items.size() > maximum)
        items.removeLast();
    store(settings, items);
}

void clear()
{
    QSettings().remove(settingsKey);
}

} // namespace RecentItems
