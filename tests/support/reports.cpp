#include "reports.h"

#include "fixtures.h"
#include "operations/hashnumber.h"
#include "operations/reportformat.h"
#include "operations/walk.h"

#include <QFile>
#include <QTest>

#include <cstring>

namespace fixtures {

QByteArray checkTotals(const QString& folder, int total, int matched, int mismatched, int none)
{
    return "Checked a total of " + QByteArray::number(total) + " files in " + QFile::encodeName(folder) + "\n\t"
        + QByteArray::number(matched) + " matched digest correctly\n\t" + QByteArray::number(mismatched)
        + " didn't match their digest\n\t" + QByteArray::number(none) + " had no digest.\n";
}

QByteArray tagTotals(const QString& folder, int total, int errors)
{
    return "Tagged a total of " + QByteArray::number(total) + " files in " + QFile::encodeName(folder) + " with "
        + QByteArray::number(errors) + " errors.\n";
}

QByteArray retagTotals(const QString& folder, int total, int matched, int retagged, int first)
{
    return "Retagged a total of " + QByteArray::number(total) + " files in " + QFile::encodeName(folder) + "\n\t"
        + QByteArray::number(matched) + " matched digest correctly\n\t" + QByteArray::number(retagged)
        + " were retagged\n\t" + QByteArray::number(first) + " were tagged for the first time.\n";
}

QStringList walkOrder(const QString& folder, const std::function<void(int, const std::string&)>& onVisit)
{
    QStringList files;
    orvane::WalkCallbacks callbacks;
    callbacks.visitFile = [&](int at, const std::string& name, const std::string& path, bool, ino_t) {
        files << QFile::decodeName(path.c_str());
        if (onVisit)
            onVisit(at, name);
    };
    callbacks.unreadableFolder = [&files](const std::string& path, const orvane::Failure&) {
        files << QFile::decodeName(path.c_str()) + '/';
    };
    (void)orvane::walkTree(local(folder), callbacks);
    return files;
}

EngineReport engineReport(orvane::Operation operation,
    const orvane::Item& item,
    const orvane::RunSettings& settings,
    const std::function<void()>& afterEach)
{
    EngineReport report;
    orvane::TextReport text(orvane::commandOf(operation),
        item.isFolder ? orvane::Variant::Folder : orvane::Variant::SingleFile,
        [&report](const std::string& notice) { report.direct += QByteArray::fromStdString(notice); });
    orvane::RunObserver observer;
    observer.fileDone = [&text, &afterEach](const orvane::Outcome& outcome) {
        text.add(outcome);
        if (afterEach)
            afterEach();
    };
    const orvane::RunResult result = orvane::runItem(operation, item, settings, observer);
    text.finish(item.path, result.counters, result.stopped);
    report.text = QByteArray::fromStdString(text.text());
    return report;
}

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

QByteArray digestOfFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? sha256(file.readAll()) : QByteArray();
}

void tagCorrectly(const QString& path)
{
    QVERIFY(setAttribute(path, digestOfFile(path)));
}

QByteArray hashNumberOf(const QString& path)
{
    const QByteArray bytes = digestOfFile(path);
    orvane::Digest digest {};
    std::memcpy(digest.data(), bytes.constData(), digest.size());
    return QByteArray::number(qint64(orvane::hashNumber(digest).value()));
}

} // namespace fixtures
