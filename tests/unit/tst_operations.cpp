// Check, Tag and Retag over real trees: report lines byte for byte, and only the digest attribute written.

#include "fixtures.h"
#include "operations/diskkind.h"
#include "operations/integrityrun.h"
#include "operations/reportformat.h"
#include "reports.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>
#include <utility>

using namespace orvane;
using namespace fixtures;

Q_DECLARE_METATYPE(orvane::Operation)

namespace {

const QByteArray &ok = okMark, &bad = badMark, &warn = warnMark;

using Report = EngineReport;

RunSettings parallel(int jobs)
{
    static WorkerPool pool(4);
    RunSettings settings;
    settings.jobs = jobs;
    settings.pool = &pool;
    if (jobs > 1) // reads that take their time by the file, so that files finish out of walk order
        settings.read = [](int fd, void* buffer, std::size_t count) {
            QThread::usleep(fd * 7919 % 5 * 400);
            return ::read(fd, buffer, count);
        };
    return settings;
}

// What the process has open: the targets of its descriptors.
QStringList openFiles()
{
    QStringList targets;
    for (const QFileInfo& link :
        QDir("/proc/self/fd").entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        targets << link.symLinkTarget();
    targets.sort();
    return targets;
}

// settings with reads that add up the bytes they read in bytes.
RunSettings counting(std::atomic<qint64>& bytes, RunSettings settings = {})
{
    settings.read = [&bytes](int fd, void* buffer, std::size_t count) {
        const ssize_t n = ::read(fd, buffer, count);
        bytes += qMax<ssize_t>(n, 0);
        return n;
    };
    return settings;
}

Report run(Operation operation,
    const QString& item,
    Variant variant = Variant::Folder,
    const RunSettings& settings = {},
    const std::function<void()>& afterEach = {})
{
    return engineReport(operation, Item { local(item), variant == Variant::Folder }, settings, afterEach);
}

qint64 ctimeNs(const QString& path)
{
    struct stat status = {};
    ::stat(local(path).c_str(), &status);
    return qint64(status.st_ctim.tv_sec) * 1000000000 + status.st_ctim.tv_nsec;
}

QByteArray expectedLine(Operation operation, const QString& path)
{
    const QString name = path.section('/', -1);
    QByteArray p = QFile::encodeName(path);
    if (path.endsWith('/'))
        return warn + "Couldn't read folder " + p.chopped(1) + " (Permission denied)\n";
    const QMap<QString, QByteArray> unread {
        { "fifo", "not a regular file" }, { "dangling", "No such file or directory" }, { "locked", "Permission denied" }
    };
    if (unread.contains(name))
        return warn + "Couldn't read " + p + " (" + unread[name] + ")\n";
    const bool good = name.contains("matched");
    const bool stale = name == "changed" || name == "hex-value";
    switch (operation) {
    case Operation::Check:
        return good ? ok + "Digests for " + p + "\n"
            : stale ? bad + "Digests for " + p + " aren't equal.\n"
                    : warn + "No digest found for " + p + "\n";
    case Operation::Tag:
        return "Digest " + hashNumberOf(path) + " for " + p + "\n";
    case Operation::Retag:
        return good ? ok + "Digests for " + p + "\n" : warn + (stale ? "Retagged " : "Tagged ") + p + "\n";
    }
    return {};
}

} // namespace

class TestOperations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SKIP_WITHOUT_USER_ATTRIBUTES();
    }

    // Fault 2: unreadable items get lines too (as nobody); a write where none belongs would move the ctime. Tag
    // and Retag write the digest and its time, nothing else.
    void folderReportsLeaveNothingOut_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<int>("jobs");
        for (int jobs : { 1, 4 })
            for (const auto& [name, operation] :
                { std::pair { "check", Operation::Check }, { "tag", Operation::Tag }, { "retag", Operation::Retag } })
                QTest::addRow("%s, %d jobs", name, jobs) << operation << jobs;
    }
    void folderReportsLeaveNothingOut()
    {
        QFETCH(Operation, operation);
        QFETCH(int, jobs);
        QTemporaryDir dir;
        const QString root = dir.filePath("tree");
        const QList<QPair<QString, QByteArray>> files { { "matched", sha256("matched") },
            { ".hidden-matched", sha256(".hidden-matched") },
            { "sub/deeper/also-matched", sha256("sub/deeper/also-matched") },
            { "changed", sha256("old") },
            { "untagged", {} },
            { "empty-value", "" },
            { "hex-value", sha256("hex-value").toHex() },
            { "locked", {} },
            { "closed/inside", {} } };
        for (const auto& [name, stored] : files) {
            writeFile(root + "/" + name, name.toUtf8());
            QVERIFY(stored.isNull() || setAttribute(root + "/" + name, stored));
        }
        for (const char* link : { "matched", "untagged" }) // each name has its line; Retag tags both
            QCOMPARE(::link(local(root + "/" + link).c_str(), local(root + "/sub/" + link + "-link").c_str()), 0);
        makeFifo(root + "/fifo");
        makeSymlink(root + "/nowhere", root + "/dangling");
        makeSymlink(root + "/sub", root + "/link-to-folder"); // not entered, no line
        makeSymlink(".", root + "/sub/loop"); // nor a link back up, which would make the walk go round
        QVERIFY(QProcess::execute("chmod", { "-R", "a+rwX", dir.path() }) == 0);
        QVERIFY(::chmod(local(root + "/locked").c_str(), 0) == 0 && ::chmod(local(root + "/closed").c_str(), 0) == 0);
        AsNobody nobody;
        if (!nobody.valid)
            QSKIP("needs root, to run as an unprivileged user");
        const QStringList order = walkOrder(root);
        QMap<QString, qint64> before;
        for (const QString& path : order)
            before[path] = ctimeNs(path);
        QThread::msleep(20); // past the file system's timestamp granularity, so a write moves the ctime

        QByteArray expected;
        for (const QString& path : order)
            expected += expectedLine(operation, path);
        const QByteArray totals = operation == Operation::Check ? checkTotals(root, 12, 4, 2, 3)
            : operation == Operation::Tag                       ? tagTotals(root, 12, 0)
                                                                : retagTotals(root, 12, 4, 2, 3);
        const Report outcome = run(operation, root, Variant::Folder, parallel(jobs));
        QCOMPARE(outcome.text, expected + totals + "\t4 couldn't be read.\n");
        QVERIFY(outcome.direct.isEmpty());
        const QStringList digestAndTime { QString::fromStdString(platformAttributeName(theXattrName)),
            QString::fromStdString(platformAttributeName(theTimeXattrName)) };
        for (const QString& path : order) {
            const QByteArray line = expectedLine(operation, path);
            if (operation == Operation::Check || line.startsWith(ok)) {
                QCOMPARE(ctimeNs(path), before[path]);
            } else if (!line.startsWith(warn + "Couldn't")) {
                QCOMPARE(attributeNames(path), digestAndTime);
                QCOMPARE(attribute(path).value_or("none"), digestOfFile(path));
            }
        }
    }

    // Fault 10: Retag stores the digest it computed on a never-tagged file; no file is read twice.
    void singleFileReports_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<QByteArray>("stored"); // null: no attribute; "fifo": the item is a FIFO
        QTest::addColumn<QByteArray>("line"); // @ stands for the path
        const QByteArray good = sha256(patternBytes(524288 + 5, 8));
        const QByteArray differ = bad + "Digest for @ aren't equal.\n";
        QTest::newRow("check matched") << Operation::Check << good << ok + "Digest for @\n";
        QTest::newRow("check differs") << Operation::Check << sha256("other") << differ;
        QTest::newRow("check 31 bytes") << Operation::Check << good.left(31) << differ;
        QTest::newRow("check 1000 bytes") << Operation::Check << good.repeated(31) + good.left(8) << differ;
        QTest::newRow("check fifo") << Operation::Check << QByteArray("fifo")
                                    << warn + "Couldn't read @ (not a regular file)\n";
        QTest::newRow("tag") << Operation::Tag << QByteArray("stale") << ok + "Tagged @\n";
        QTest::newRow("retag matched") << Operation::Retag << good << ok + "Digest for @\n";
        QTest::newRow("retag differs") << Operation::Retag << sha256("other") << warn + "Retagged @\n";
        QTest::newRow("retag hex") << Operation::Retag << good.toHex() << warn + "Retagged @\n";
        for (const QByteArray& none : { QByteArray(""), QByteArray() }) {
            const char* kind = none.isNull() ? "none" : "empty";
            QTest::addRow("check %s", kind) << Operation::Check << none << warn + "No digest found for @\n";
            QTest::addRow("retag %s", kind) << Operation::Retag << none << warn + "Tagged @\n";
        }
    }
    void singleFileReports()
    {
        QFETCH(Operation, operation);
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, line);
        QTemporaryDir dir;
        const QString path = dir.filePath("file");
        const QByteArray contents = patternBytes(524288 + 5, 8); // more than one buffer
        stored == "fifo" ? makeFifo(path) : writeFile(path, contents);
        QVERIFY(stored.isNull() || stored == "fifo" || setAttribute(path, stored));
        std::atomic<qint64> bytes { 0 };
        const Report outcome = run(operation, path, Variant::SingleFile, counting(bytes));
        QCOMPARE(outcome.text, line.replace("@", QFile::encodeName(path)));
        QVERIFY(outcome.direct.isEmpty());
        QVERIFY(bytes <= contents.size());
        if (stored == "fifo")
            QVERIFY(attributeNames(path).isEmpty());
        else if (operation != Operation::Check)
            QCOMPARE(attribute(path).value_or("none"), sha256(contents));
        else
            QCOMPARE(attribute(path).value_or("none"), stored.isNull() ? QByteArray("none") : stored);
    }

    // Fault 3: a failed write in a folder Tag is named with its file, ahead of the run's lines.
    void tagFailuresNameTheirFiles_data()
    {
        QTest::addColumn<int>("jobs");
        for (int jobs : { 1, 4 })
            QTest::addRow("%d jobs", jobs) << jobs;
    }
    void tagFailuresNameTheirFiles()
    {
        QFETCH(int, jobs);
        QTemporaryDir dir;
        ScratchMount mount(dir.filePath("volume"));
        if (!mount.valid())
            QSKIP(qPrintable(mount.reason()));
        const QString root = dir.filePath("volume");
        writeFile(root + "/never-tagged", "n");
        writeFile(root + "/changed", "c2");
        QVERIFY(setAttribute(root + "/changed", sha256("c1")));
        writeFile(root + "/unchanged", "u");
        tagCorrectly(root + "/unchanged");
        if (!mount.makeReadOnly())
            QSKIP(qPrintable(mount.reason()));

        QByteArray notices, lines, retagLines;
        for (const QString& path : walkOrder(root)) {
            const QByteArray p = QFile::encodeName(path);
            notices += bad + "Couldn't tag " + p + " (Read-only file system)\n";
            lines += "Digest " + hashNumberOf(path) + " for " + p + "\n";
            retagLines +=
                path.endsWith("/unchanged") ? ok + "Digests for " + p + "\n" : bad + "Couldn't tag " + p + "\n";
        }
        const Report tag = run(Operation::Tag, root, Variant::Folder, parallel(jobs));
        QCOMPARE(tag.direct, notices);
        QCOMPARE(tag.text, lines + tagTotals(root, 3, 3));
        const Report retag = run(Operation::Retag, root, Variant::Folder, parallel(jobs));
        QCOMPARE(retag.text, retagLines + retagTotals(root, 3, 1, 0, 0));
        QVERIFY(retag.direct.isEmpty());
        QCOMPARE(attribute(root + "/changed").value_or("none"), sha256("c1"));

        const QString single = root + "/never-tagged";
        const Report tagOne = run(Operation::Tag, single, Variant::SingleFile);
        QCOMPARE(tagOne.direct + tagOne.text,
            bad + "Couldn't tag " + QFile::encodeName(single) + " (Read-only file system)\n");
    }

    // Fault 1: a file that changes while read, or cannot be read whole, keeps the digest stored before.
    void noDigestOfPartOfAFile_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<QString>("change");
        for (const char* change : { "appended", "truncated", "rewritten", "replaced", "read error" }) {
            QTest::addRow("tag %s", change) << Operation::Tag << QString(change);
            QTest::addRow("retag %s", change) << Operation::Retag << QString(change);
        }
    }
    void noDigestOfPartOfAFile()
    {
        QFETCH(Operation, operation);
        QFETCH(QString, change);
        QTemporaryDir dir;
        const QString path = dir.filePath("sub/video.mkv");
        writeFile(path, patternBytes(3 * 524288, 4));
        tagCorrectly(path);
        const QByteArray good = *attribute(path);
        writeFile(dir.filePath("newcomer.part"), "new contents");
        QThread::msleep(20); // past the file system's timestamp granularity, so a write moves the times
        RunSettings settings;
        int calls = 0;
        settings.read = [&](int fd, void* buffer, std::size_t count) {
            if (++calls == 2) {
                const int writer = ::open(local(path).c_str(), O_WRONLY);
                if (change == "appended")
                    (void)::pwrite(writer, "more", 4, 3 * 524288);
                else if (change == "truncated")
                    (void)::ftruncate(writer, 524288 + 10);
                else if (change == "rewritten")
                    (void)::pwrite(writer, "other", 5, 0); // same size, in the part already read
                else if (change == "replaced")
                    (void)::rename(local(dir.filePath("newcomer.part")).c_str(), local(path).c_str());
                ::close(writer);
                if (change == "read error") {
                    errno = EIO;
                    return ssize_t(-1);
                }
            }
            return ::read(fd, buffer, count);
        };
        const QByteArray line = warn + "Couldn't read " + QFile::encodeName(path)
            + (change == "read error" ? " (Input/output error)\n" : " (changed while being read)\n");
        QCOMPARE(run(operation, path, Variant::SingleFile, settings).text, line);
        QCOMPARE(attribute(path).value_or("none"), change == "replaced" ? QByteArray("none") : good);
    }

    // Fault 7: a proc mount inside the tree, links into /proc and /sys and to a device are named, not read:
    // devices and the files of /proc and /sys never end or change as they are read.
    void pseudoFileSystemsAreNotRead()
    {
        QTemporaryDir dir;
        const QString root = dir.filePath("tree");
        QVERIFY(QDir().mkpath(root + "/proc"));
        makeSymlink("/proc/self/pagemap", root + "/pagemap");
        makeSymlink("/sys/kernel/uevent_seqnum", root + "/sysfs");
        makeSymlink("/dev/zero", root + "/zero"); // never ends, as a FIFO would block
        if (::mount("proc", local(root + "/proc").c_str(), "proc", 0, nullptr) != 0)
            QSKIP("cannot mount proc here (needs root)");
        QByteArray expected;
        for (const QString& path : walkOrder(root))
            expected += path.endsWith('/')
                ? warn + "Couldn't read folder " + QFile::encodeName(path.chopped(1)) + " (on a pseudo file system)\n"
                : warn + "Couldn't read " + QFile::encodeName(path)
                    + (path.endsWith("zero") ? " (not a regular file)\n" : " (on a pseudo file system)\n");
        const Report outcome = run(Operation::Check, root);
        ::umount2(local(root + "/proc").c_str(), MNT_DETACH);
        QCOMPARE(outcome.text, expected + checkTotals(root, 3, 0, 0, 0) + "\t4 couldn't be read.\n");
    }

    // Fault 9: also the C1 controls, and the bidirectional ones that make a name read backwards.
    void controlCharactersInNames_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("forged line") << QByteArray("x\n\u2705 Digests for good")
                                     << QByteArray("x\\x0a\u2705 Digests for good");
        QTest::newRow("escape sequence") << QByteArray("\x1b[2J\x7f\x01\x1f") << QByteArray("\\x1b[2J\\x7f\\x01\\x1f");
        QTest::newRow("tab, not UTF-8") << QByteArray("a\tb\xff") << QByteArray("a\\x09b\xff");
        QTest::newRow("C1 controls") << QByteArray("\xc2\x9b"
                                                   "2J\xc2\x85")
                                     << QByteArray("\\xc2\\x9b2J\\xc2\\x85");
        QTest::newRow("bidi controls") << QByteArray("gpj.\xe2\x80\xae"
                                                     "exe\xe2\x81\xa6")
                                       << QByteArray("gpj.\\xe2\\x80\\xaeexe\\xe2\\x81\\xa6");
    }
    void controlCharactersInNames()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, shown);
        QTemporaryDir dir;
        // Built from bytes, not QStrings: a name that is not UTF-8 would not survive the round trip.
        const std::string folder = local(dir.path()) + "/" + name.toStdString();
        const std::string file = folder + "/" + name.toStdString();
        QVERIFY(::mkdir(folder.c_str(), 0755) == 0 && ::close(::open(file.c_str(), O_CREAT | O_WRONLY, 0644)) == 0);
        const QByteArray shownFolder = QFile::encodeName(dir.path()) + "/" + shown;
        QCOMPARE(engineReport(Operation::Check, Item { folder, true }).text,
            warn + "No digest found for " + shownFolder + "/" + shown + "\nChecked a total of 1 files in " + shownFolder
                + "\n\t0 matched digest correctly\n\t0 didn't match their digest\n\t1 had no digest.\n");
        ::unlink(file.c_str());
        ::rmdir(folder.c_str());
    }

    // The time stored beside a digest tells an edit from a change without one; Retag keeps the evidence of
    // the second. Times are set with utimensat, so that "not modified" is to the nanosecond.
    void timeBesideTheDigest_data()
    {
        QTest::addColumn<QString>("change"); // what happens to the tagged file before the run
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<QByteArray>("line"); // @: the path
        QTest::addColumn<QByteArray>("lastTotals");
        const QByteArray differs = bad + "Digests for @ aren't equal.";
        const QByteArray undamaged = "\t0 had no digest.\n", retagged = "\t0 were tagged for the first time.\n";
        QTest::newRow("edited") << "edited" << Operation::Check << differs + " Modified since it was tagged.\n"
                                << undamaged;
        QTest::newRow("time put back") << "put back" << Operation::Check
                                       << differs + " Not modified since it was tagged: possibly damaged.\n"
                                       << undamaged + "\t1 possibly damaged.\n";
        QTest::newRow("time put back, retag")
            << "put back" << Operation::Retag
            << differs + " Not modified since it was tagged: possibly damaged, not retagged.\n"
            << retagged + "\t1 possibly damaged, not retagged.\n";
        QTest::newRow("edited, retag") << "edited" << Operation::Retag << warn + "Retagged @\n" << retagged;
        QTest::newRow("no time stored") << "no time" << Operation::Check << differs + "\n" << undamaged;
        QTest::newRow("a time of 8 bytes") << "8 bytes" << Operation::Check << differs + "\n" << undamaged;
    }
    void timeBesideTheDigest()
    {
        QFETCH(QString, change);
        QFETCH(Operation, operation);
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, lastTotals);
        QTemporaryDir dir;
        const QString path = dir.filePath("photo.raw");
        writeFile(path, "as it was tagged");
        const auto setTime = [&path](qint64 seconds, long nanoseconds) {
            const timespec times[2] = { { 0, UTIME_OMIT }, { seconds, nanoseconds } };
            QCOMPARE(::utimensat(AT_FDCWD, local(path).c_str(), times, 0), 0);
        };
        const auto storedTime = [&path] { return attribute(path, theTimeXattrName).value_or("none"); };
        setTime(1700000000, 123456789);
        QVERIFY(!run(Operation::Tag, dir.path()).text.isEmpty());
        QCOMPARE(storedTime(),
            QByteArray::fromHex("00f1536500000000"
                                "15cd5b0700000000"));
        const QByteArray digest = *attribute(path);
        writeFile(path, "changed on the disk"); // a new modification time
        if (change == "put back")
            setTime(1700000000, 123456789);
        else if (change == "no time")
            QVERIFY(::removexattr(local(path).c_str(), platformAttributeName(theTimeXattrName).c_str()) == 0);
        else if (change == "8 bytes")
            QVERIFY(setAttribute(path, QByteArray(8, '\0'), theTimeXattrName));
        const QByteArray before = storedTime();
        const QByteArray p = QFile::encodeName(path);
        const QByteArray totals = operation == Operation::Check ? checkTotals(dir.path(), 1, 0, 1, 0)
            : change == "edited"                                ? retagTotals(dir.path(), 1, 0, 1, 0)
                                                                : retagTotals(dir.path(), 1, 0, 0, 0);
        QCOMPARE(run(operation, dir.path()).text,
            QByteArray(line).replace("@", p) + totals.left(totals.lastIndexOf('\t')) + lastTotals);
        if (operation == Operation::Check || change == "put back") {
            QCOMPARE(*attribute(path), digest); // nothing written
            QCOMPARE(storedTime(), before);
        } else {
            QCOMPARE(*attribute(path), digestOfFile(path));
            QCOMPARE(storedTime(), timeValueOf(path));
        }
    }

    // A time that cannot be written leaves no older time beside the new digest: an attribute space filled to
    // the last bytes (ext4 has one block a file) keeps a one-byte time from growing to sixteen.
    void noStaleTime()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("full");
        writeFile(path, "contents");
        tagCorrectly(path);
        QVERIFY(setAttribute(path, "x", theTimeXattrName));
        int fillers = 0; // empty values, then the first one grown four bytes at a time
        while (fillers < 5000 && setAttribute(path, {}, std::to_string(fillers)))
            ++fillers;
        for (int size = 4; fillers < 5000 && setAttribute(path, QByteArray(size, 'f'), "0"); size += 4) { }
        if (fillers >= 5000)
            QSKIP("the temporary folder's file system has room for more attributes than a test can fill");
        QVERIFY(run(Operation::Tag, path, Variant::SingleFile).text.startsWith(ok + "Tagged "));
        QCOMPARE(*attribute(path), digestOfFile(path));
        QVERIFY(!attribute(path, theTimeXattrName));
    }

    // A read-only file of the user's own is tagged with its mode kept, also when the write fails (an attribute
    // space filled up); one of another user is refused as before.
    void readOnlyFilesOfTheUser_data()
    {
        QTest::addColumn<bool>("own");
        QTest::addColumn<bool>("full");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("own") << true << false << ok + "Tagged @\n";
        QTest::newRow("own, attribute space full")
            << true << true << bad + "Couldn't tag @ (No space left on device)\n";
        QTest::newRow("another user's") << false << false << bad + "Couldn't tag @ (Permission denied)\n";
    }
    void readOnlyFilesOfTheUser()
    {
        QFETCH(bool, own);
        QFETCH(bool, full);
        QFETCH(QByteArray, line);
        QTemporaryDir dir;
        const QString path = dir.filePath("archive.tar");
        writeFile(path, "kept read-only on purpose");
        for (int filler = 0; full && filler < 5000 && setAttribute(path, {}, std::to_string(filler)); ++filler) { }
        QVERIFY(::chmod(local(dir.path()).c_str(), 0755) == 0 && ::chmod(local(path).c_str(), 0444) == 0);
        QVERIFY(!own || ::chown(local(path).c_str(), 65534, 65534) == 0);
        AsNobody nobody;
        if (!nobody.valid)
            QSKIP("needs root, to run as an unprivileged user");
        const Report report = run(Operation::Tag, path, Variant::SingleFile);
        struct stat status = {};
        QCOMPARE(::stat(local(path).c_str(), &status), 0);
        QCOMPARE(status.st_mode & 07777, mode_t(0444));
        if (full && report.text.startsWith(ok))
            QSKIP("the temporary folder's file system has room for more attributes than a test can fill");
        QCOMPARE(report.text, QByteArray(line).replace("@", QFile::encodeName(path)));
        QCOMPARE(attribute(path).has_value(), own && !full);
    }

    // The files in hand finish with whole digests, no other starts; the stop line stands for the totals.
    void stopFinishesTheFilesInHand_data()
    {
        tagFailuresNameTheirFiles_data();
    }
    void stopFinishesTheFilesInHand()
    {
        QFETCH(int, jobs);
        QTemporaryDir dir;
        qint64 bytes = 0;
        for (int i = 0; i < 40; ++i) {
            writeFile(dir.filePath("d%1/f%2").arg(i % 3).arg(i), patternBytes(1000 + i, quint32(i)));
            bytes += 1000 + i;
        }
        RunProgress progress;
        RunSettings settings = parallel(jobs);
        settings.progress = &progress;
        std::atomic<int> reading { 0 }; // each file is read in one call
        std::atomic<bool> open { false };
        settings.read = [&](int fd, void* buffer, std::size_t count) {
            ++reading;
            while (!open)
                QThread::usleep(200);
            return ::read(fd, buffer, count);
        };
        Report report;
        std::thread runner([&] { report = run(Operation::Tag, dir.path(), Variant::Folder, settings); });
        QTRY_COMPARE(reading.load(), jobs);
        QTRY_COMPARE(progress.filesTotal.load(), 40);
        QCOMPARE(progress.bytesTotal.load(), bytes);
        progress.stopRequested = true;
        open = true;
        runner.join();

        QByteArray expected;
        for (const QString& path : walkOrder(dir.path())) {
            if (const auto stored = attribute(path)) {
                QCOMPARE(*stored, digestOfFile(path));
                expected += "Digest " + hashNumberOf(path) + " for " + QFile::encodeName(path) + "\n";
            }
        }
        QCOMPARE(reading, jobs);
        QCOMPARE(report.text,
            expected + warn + "Stopped after " + QByteArray::number(jobs) + " files: the run did not finish.\n");
    }

    // Past the window's first turn round its ring, over folders large and small: the same bytes as one job;
    // also with more files in hand while the disk is read, and started in inode order as on a spinning disk.
    // Afterwards the process holds nothing of the tree open (an open folder keeps its file system busy).
    void manyFilesKeepTheirOrder()
    {
        QTemporaryDir dir;
        for (int i = 0; i < 1500; ++i) {
            const QString path = dir.filePath("d%1/e%2/f%3").arg(i % 7).arg(i % 7 == 3 ? i % 40 : 0).arg(i);
            writeFile(path, patternBytes(i % 300, quint32(i)));
            QVERIFY(i % 3 == 0 || setAttribute(path, sha256(i % 3 == 1 ? patternBytes(i % 300, quint32(i)) : "other")));
        }
        const QByteArray one = run(Operation::Check, dir.path(), Variant::Folder, parallel(1)).text;
        QCOMPARE(one.count('\n'), 1500 + 4);
        const QStringList open = openFiles(); // the pool's own, if any, made by the first run
        QCOMPARE(run(Operation::Check, dir.path(), Variant::Folder, parallel(4)).text, one);
        ::sync();
        for (const QString& path : walkOrder(dir.path())) {
            const int fd = ::open(local(path).c_str(), O_RDONLY);
            QVERIFY(fd >= 0 && ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0 && ::close(fd) == 0);
        }
        RunSettings deep = parallel(2);
        deep.read = {}; // reads that may wait for the disk
        deep.ioDepth = 8;
        QCOMPARE(run(Operation::Check, dir.path(), Variant::Folder, deep).text, one);
        struct stat status = {};
        QCOMPARE(::stat(local(dir.path()).c_str(), &status), 0);
        const DiskKind was = diskKind(status.st_dev);
        noteDiskKind(status.st_dev, DiskKind::Rotational);
        const QByteArray swept = run(Operation::Check, dir.path(), Variant::Folder, parallel(4)).text;
        noteDiskKind(status.st_dev, was);
        QCOMPARE(swept, one);
        QCOMPARE(openFiles(), open);
    }

    // A file met again through another name is not read again, and takes the digest of its first name; one
    // changed in between is read again.
    void hardLinksReadOnce_data()
    {
        QTest::addColumn<int>("jobs");
        QTest::addColumn<bool>("change");
        QTest::newRow("1 job") << 1 << false;
        QTest::newRow("4 jobs") << 4 << false;
        QTest::newRow("changed between its names") << 1 << true;
    }
    void hardLinksReadOnce()
    {
        QFETCH(int, jobs);
        QFETCH(bool, change);
        QTemporaryDir dir;
        const QString first = dir.filePath("a/file"), second = dir.filePath("b/link");
        writeFile(first, patternBytes(3 * 524288, 3));
        QVERIFY(QDir().mkpath(dir.filePath("b")) && ::link(local(first).c_str(), local(second).c_str()) == 0);
        std::atomic<qint64> bytes { 0 };
        const RunSettings settings = counting(bytes, parallel(jobs));
        const QStringList order = walkOrder(dir.path());
        const QByteArray before = hashNumberOf(first);
        bool changed = false; // in place: the second name is the same file, with other contents
        const Report tag = run(Operation::Tag, dir.path(), Variant::Folder, settings, [&] {
            if (change && !std::exchange(changed, true))
                writeFile(first, patternBytes(3 * 524288, 4));
        });
        QByteArray expected;
        for (const QString& path : order)
            expected += "Digest " + (path == order.last() ? hashNumberOf(path) : before) + " for "
                + QFile::encodeName(path) + "\n";
        QCOMPARE(tag.text, expected + tagTotals(dir.path(), 2, 0));
        QCOMPARE(bytes.load(), (change ? 2 : 1) * 3 * 524288);
        QCOMPARE(attribute(first).value_or("none"), digestOfFile(first));
    }
};

QTEST_APPLESS_MAIN(TestOperations)
#include "tst_operations.moc"
