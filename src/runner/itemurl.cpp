#include "itemurl.h"

#include "operations/item.h"

#include <QFile>

namespace ItemURL {

std::optional<QUrl> fromPath(const QString& path, QString* reason)
{
    // Resolved as the command line resolves its PATH: the item opened is the one the kernel finds.
    const orvane::Result<orvane::Item> item = orvane::resolveItem(enginePath(path));
    if (!item) {
        if (reason)
            *reason = QString::fromStdString(item.failure().reason);
        return std::nullopt;
    }
    const QString resolved = QFile::decodeName(item.value().path.c_str());
    if (item.value().isFolder && !resolved.endsWith(u'/'))
        return QUrl::fromLocalFile(resolved + u'/');
    return QUrl::fromLocalFile(resolved);
}

bool isDirectory(const QUrl& url)
{
    return path(url).endsWith(u'/');
}

QString path(const QUrl& url)
{
    return url.toLocalFile();
}

QString folderPath(const QUrl& url)
{
    QString folder = path(url);
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}

QString displayName(const QUrl& url)
{
    const QString folder = folderPath(url);
    if (folder == QStringLiteral("/"))
        return folder;
    return folder.section(u'/', -1);
}

std::string enginePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace ItemURL
