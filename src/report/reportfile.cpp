#include "reportfile.h"

#include "operations/jsonreport.h"
#include "report/reportview.h"
#include "report/savedialog.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace ReportFile {

namespace {

QString failure(const QString& path, const QString& reason)
{
    return QStringLiteral("The report could not be written to %1: %2.").arg(path, reason);
}

QString failure(const QString& path, int error)
{
    return failure(path, QString::fromLocal8Bit(std::strerror(error)));
}

bool sameFile(const QByteArray& first, const QByteArray& second)
{
    struct stat a = {};
    struct stat b = {};
    return ::stat(first.constData(), &a) == 0 && ::stat(second.constData(), &b) == 0 && a.st_dev == b.st_dev
        && a.st_ino == b.st_ino;
}

} // namespace

QString write(const QString& path, const QByteArray& bytes, const QByteArray& openedItem)
{
    const QByteArray name = QFile::encodeName(path);
    if (!openedItem.isEmpty() && sameFile(name, openedItem))
        return failure(path, QStringLiteral("it is the item this window checks, and Orvane never writes over it"));

    // Not truncated on opening: only once it is known to be a regular file. O_NONBLOCK keeps a FIFO
    // without a reader from blocking the window.
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return failure(path, errno);
    struct stat status = {};
    int error = 0;
    bool regular = false;
    if (::fstat(fd, &status) != 0)
        error = errno;
    else if ((regular = S_ISREG(status.st_mode)) && ::ftruncate(fd, 0) != 0)
        error = errno;
    const char* next = bytes.constData();
    qsizetype left = bytes.size();
    while (error == 0 && regular && left > 0) {
        const ssize_t written = ::write(fd, next, size_t(left));
        if (written < 0) {
            if (errno != EINTR)
                error = errno;
            continue;
        }
        next += written;
        left -= written;
    }
    // Some file systems (NFS, FUSE) report a failed write only when the file is closed.
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0)
        return failure(path, error);
    if (!regular)
        return failure(path, QStringLiteral("it is not a regular file"));
    return {};
}

QString proposedName(const QString& itemName)
{
    return QStringLiteral("Orvane_") + itemName;
}

QByteArray jsonLines(const ReportView& view)
{
    std::string out;
    std::optional<orvane::JsonReport> run; // counts the files of the run the lines belong to
    for (qsizetype line = 0; line < view.lineCount(); ++line) {
        const LineInfo& info = view.lineInfo(line);
        if (info.flags & LineInfo::Outcome) {
            if (!run)
                run.emplace(orvane::Command(info.command));
            out += run->fileObject(view.outcomeOfLine(line));
        }
        if (const auto end = view.runRecords().find(line); end != view.runRecords().end()) {
            const RunRecord& record = end->second;
            out += (run ? *run : orvane::JsonReport(record.command))
                       .totalsObject(record.subject, record.counters, record.stopped);
            run.reset();
        }
    }
    return QByteArray::fromStdString(out);
}

void saveWithDialog(QWidget* parent,
    const QString& caption,
    const QString& itemName,
    const QByteArray& openedItem,
    std::function<QByteArray()> bytes,
    std::function<void(const QString& message)> failed)
{
    const QList<SaveDialog::FileType> types { { QStringLiteral("text (*.text)"), QStringLiteral("text") },
        { QStringLiteral("txt (*.txt)"), QStringLiteral("txt") } };
    SaveDialog::open(
        parent, caption, proposedName(itemName), types, [openedItem, bytes, failed](const QString& path, int) {
            const QString failure = write(path, bytes(), openedItem);
            if (!failure.isEmpty())
                failed(failure);
        });
}

} // namespace ReportFile
