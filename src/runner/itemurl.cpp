#include "itemurl.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace ItemURL {

std::optional<QUrl> fromPath(const QString& path, QString* reason)
{
    if (path.isEmpty()) {
        if (reason)
            *reason = QString::fromLocal8Bit(std::strerror(ENOENT));
        return std::nullopt;
    }
    const QString clean = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    struct stat status = {};
    if (::stat(QFile::encodeName(clean).constData(), &status) != 0) {
        if (reason)
            *reason = QString::fromLocal8Bit(std::strerror(errno));
        return std::nullopt;
    }
    if (S_ISDIR(status.st_mode) && !clean.endsWith(u'/'))
        return QUrl::fromLocalFile(clean + u'/');
    return QUrl::fromLocalFile(clean);
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
