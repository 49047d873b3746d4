// Check, Tag and Retag over real trees: every report line and totals text byte for byte, the counters,
// what is written (only the digest attribute, only where it must be) and what is left alone.

#include "fixtures.h"
#include "operations/hashnumber.h"
#include "operations/integrityrun.h"
#include "operations/walk.h"
#include "reports.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace orvane;
using fixtures::attribute;
using fixtures::local;
using fixtures::sha256;
using fixtures::writeFile;
using namespace fixtures;

Q_DECLARE_METATYPE(orvane::Operation)

namespace {

const QByteArray& ok = fixtures::okMark;
const QByteArray& bad = fixtures::badMark;
const QByteArray& warn = fixtures::warnMark;

struct Outcome
{
    QByteArray text; // the run's report text, totals included for a folder
    QByteArray direct; // texts put straight into the report during the run
    RunCounters counters;
};

Outcome runOn(Operation operation, const QString& item, Variant variant, RunSettings settings = {})
{
    Outcome outcome;
    RunState state;
    RunObserver observer;
    observer.directText = [&outcome](const std::string& text) { outcome.direct += QByteArray::fromStdString(text); };
    if (variant == Variant::Folder) {
        if (runFolder(operation, local(item), settings, state, observer))
            appendTotals(operation, local(item), state);
    } else {
        runSingleFile(operation, local(item), settings, state, observer);
    }
    outcome.text = QByteArray::fromStdString(state.reportText);
    outcome.counters = state.counters;
    return outcome;
}

Outcome runFolderOf(Operation operation, const QString& folder, Backend backend = Backend::Modern)
{
    RunSettings settings;
    settings.backend = backend;
    return runOn(operation, folder, Variant::Folder, settings);
}

Outcome runFileOf(Operation operation, const QString& file)
{
    return runOn(operation, file, Variant::SingleFile);
}

qint64 ctimeNs(const QString& path)
{
    struct stat status = {};
    ::stat(local(path).c_str(), &status);
    return qint64(status.st_ctim.tv_sec) * 1000000000 + status.st_ctim.tv_nsec;
}

} // namespace

class TestOperations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QTemporaryDir probe;
        if (!fixtures::supportsUserAttributes(probe.path()))
            QSKIP("the temporary folder's file system takes no user.* attributes");
    }

    void checkFolder()
    {
        QTemporaryDir dir;
        const QString root = dir.path();
        writeFile(root + "/matched", "m");
        tagCorrectly(root + "/matched");
        writeFile(root + "/changed", "new contents");
        QVERIFY(fixtures::setAttribute(root + "/changed", sha256("old contents")));
        writeFile(root + "/untagged", "u");
        writeFile(root + "/empty-value", "e");
        QVERIFY(fixtures::setAttribute(root + "/empty-value", ""));
        writeFile(root + "/hex-value", "h");
        QVERIFY(fixtures::setAttribute(root + "/hex-value", sha256("h").toHex()));
        writeFile(root + "/sub/deeper/also-matched", "d");
        tagCorrectly(root + "/sub/deeper/also-matched");
        fixtures::makeFifo(root + "/fifo");

        QByteArray expected;
        for (const QString& path : walkOrder(root)) {
            const QByteArray p = QFile::encodeName(path);
            const QString name = path.section('/', -1);
            if (name.contains("matched"))
                expected += ok + "Digests for " + p + "\n";
            else if (name == "changed" || name == "hex-value")
                expected += bad + "Digests for " + p + " aren't equal.\n";
            else if (name != "fifo")
                expected += warn + "No digest found for " + p + "\n";
        }
        // The FIFO gets no line but counts in the total, so the three categories sum to one less.
        expected += checkTotals(root, 7, 2, 2, 2);
        const Outcome outcome = runFolderOf(Operation::Check, root);
        QCOMPARE(outcome.text, expected);
        QVERIFY(outcome.direct.isEmpty());
    }

    void checkSingleFile_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("lead");
        QTest::addColumn<QByteArray>("tail");
        QTest::newRow("matched") << sha256("contents") << ok + "Digest for " << QByteArray("\n");
        QTest::newRow("mismatched") << sha256("other") << bad + "Digest for " << QByteArray(" aren't equal.\n");
        QTest::newRow("31 bytes") << sha256("contents").left(31) << bad + "Digest for "
                                  << QByteArray(" aren't equal.\n");
        QTest::newRow("33 bytes") << sha256("contents") + 'x' << bad + "Digest for " << QByteArray(" aren't equal.\n");
        QTest::newRow("empty value") << QByteArray("") << warn + "No digest found for " << QByteArray("\n");
        QTest::newRow("no attribute") << QByteArray() << warn + "No digest found for " << QByteArray("\n");
    }
    void checkSingleFile()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, lead);
        QFETCH(QByteArray, tail);
        QTemporaryDir dir;
        const QString path = dir.filePath("file");
        writeFile(path, "contents");
        if (!stored.isNull())
            QVERIFY(fixtures::setAttribute(path, stored));
        const Outcome outcome = runFileOf(Operation::Check, path);
        QCOMPARE(outcome.text, lead + QFile::encodeName(path) + tail);
    }

    // A file whose digest cannot be computed gives no line in any operation, and nothing is written to it.
    void singleFileWithoutDigest_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::newRow("check") << Operation::Check;
        QTest::newRow("tag") << Operation::Tag;
        QTest::newRow("retag") << Operation::Retag;
    }
    void singleFileWithoutDigest()
    {
        QFETCH(Operation, operation);
        QTemporaryDir dir;
        fixtures::makeFifo(dir.filePath("fifo"));
        const Outcome outcome = runFileOf(operation, dir.filePath("fifo"));
        QVERIFY(outcome.text.isEmpty());
        QVERIFY(outcome.direct.isEmpty());
        QCOMPARE(outcome.counters.unreadable, 1);
        QVERIFY(fixtures::attributeNames(dir.filePath("fifo")).isEmpty());
    }

    void emptyFolderTotals_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<QByteArray>("totalsTemplate");
        QTest::newRow("check") << Operation::Check
                               << QByteArray("Checked a total of 0 files in F\n\t0 matched digest correctly\n"
                                             "\t0 didn't match their digest\n\t0 had no digest.\n");
        QTest::newRow("tag") << Operation::Tag << QByteArray("Tagged a total of 0 files in F with 0 errors.\n");
        QTest::newRow("retag") << Operation::Retag
                               << QByteArray("Retagged a total of 0 files in F\n\t0 matched digest correctly\n"
                                             "\t0 were retagged\n\t0 were tagged for the first time.\n");
    }
    void emptyFolderTotals()
    {
        QFETCH(Operation, operation);
        QFETCH(QByteArray, totalsTemplate);
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath("only/folders")));
        const Outcome outcome = runFolderOf(operation, dir.path());
        QCOMPARE(outcome.text, QByteArray(totalsTemplate).replace("F", QFile::encodeName(dir.path())));
    }

    void oneFileFolder()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("only"), "x");
        const QByteArray p = QFile::encodeName(dir.filePath("only"));
        Outcome tag = runFolderOf(Operation::Tag, dir.path());
        QVERIFY(tag.text.endsWith(tagTotals(dir.path(), 1, 0)));
        QCOMPARE(runFolderOf(Operation::Check, dir.path()).text,
            ok + "Digests for " + p + "\n" + checkTotals(dir.path(), 1, 1, 0, 0));
        QCOMPARE(runFolderOf(Operation::Retag, dir.path()).text,
            ok + "Digests for " + p + "\n" + retagTotals(dir.path(), 1, 1, 0, 0));
    }

    void tagFolder()
    {
        QTemporaryDir dir;
        const QString root = dir.path();
        writeFile(root + "/untagged", "same");
        writeFile(root + "/twin", "same");
        writeFile(root + "/old-digest", "o");
        QVERIFY(fixtures::setAttribute(root + "/old-digest", sha256("previous")));
        writeFile(root + "/hex", "h");
        QVERIFY(fixtures::setAttribute(root + "/hex", sha256("h").toHex()));
        writeFile(root + "/empty-value", "e");
        QVERIFY(fixtures::setAttribute(root + "/empty-value", ""));
        writeFile(root + "/sub/short-value", "s");
        QVERIFY(fixtures::setAttribute(root + "/sub/short-value", "31 bytes of something, roughly."));
        fixtures::makeFifo(root + "/sub/fifo");

        const Outcome outcome = runFolderOf(Operation::Tag, root);
        QVERIFY(outcome.direct.isEmpty());
        const QList<QByteArray> lines = outcome.text.split('\n');
        QCOMPARE(lines.size(), 8); // six files, the totals, and the empty piece after the last line feed
        QCOMPARE(lines.at(6) + "\n", tagTotals(root, 7, 0));
        QVERIFY(lines.last().isEmpty());

        const QRegularExpression line("^Digest (-?[0-9]+) for (.+)$");
        QMap<QString, qint64> numbers;
        for (int i = 0; i < 6; ++i) {
            const auto match = line.match(QString::fromUtf8(lines.at(i)));
            QVERIFY2(match.hasMatch(), lines.at(i).constData());
            numbers[match.captured(2)] = match.captured(1).toLongLong();
            QCOMPARE(match.captured(1), QString::number(match.captured(1).toLongLong())); // no padding or sign for +
        }
        QCOMPARE(numbers.keys(),
            (QStringList { root + "/empty-value",
                root + "/hex",
                root + "/old-digest",
                root + "/sub/short-value",
                root + "/twin",
                root + "/untagged" }));
        // The same contents give the same number within one process, the number of that digest.
        QCOMPARE(numbers[root + "/twin"], numbers[root + "/untagged"]);
        Digest digest {};
        const QByteArray same = sha256("same");
        std::copy(same.begin(), same.end(), digest.begin());
        QCOMPARE(numbers[root + "/twin"], hashNumber(digest));

        // Whatever was stored is now the 32-byte digest, and nothing but the digest attribute exists.
        for (const QString& path : numbers.keys()) {
            QCOMPARE(*attribute(path), digestOfFile(path));
            QCOMPARE(fixtures::attributeNames(path), QStringList { "user.co.sablewickfern.kelmor.hash#S" });
        }
        QVERIFY(fixtures::attributeNames(root + "/sub/fifo").isEmpty());

        const Outcome check = runFolderOf(Operation::Check, root);
        QCOMPARE(check.counters.matched, 6);
        QCOMPARE(check.counters.total, 7);
    }

    void tagSingleFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("photo.jpg");
        writeFile(path, fixtures::patternBytes(700000));
        QVERIFY(fixtures::setAttribute(path, "stale"));
        const Outcome outcome = runFileOf(Operation::Tag, path);
        QCOMPARE(outcome.text, ok + "Tagged " + QFile::encodeName(path) + "\n");
        QVERIFY(outcome.direct.isEmpty());
        QCOMPARE(*attribute(path), digestOfFile(path));
    }

    // A read-only volume refuses every write: Tag shows the system's text first and counts the errors;
    // Retag says "Couldn't tag" for files it had to write and still recognises matching ones.
    void readOnlyVolume()
    {
        QTemporaryDir dir;
        fixtures::ScratchMount mount(dir.filePath("volume"));
        if (!mount.valid())
            QSKIP(qPrintable(mount.reason()));
        const QString root = dir.filePath("volume");
        writeFile(root + "/never-tagged", "n");
        writeFile(root + "/changed", "c2");
        QVERIFY(fixtures::setAttribute(root + "/changed", sha256("c1")));
        writeFile(root + "/unchanged", "u");
        tagCorrectly(root + "/unchanged");
        if (!mount.makeReadOnly())
            QSKIP(qPrintable(mount.reason()));

        const Outcome tag = runFolderOf(Operation::Tag, root);
        QCOMPARE(tag.direct, QByteArray("Read-only file system").repeated(3));
        QCOMPARE(tag.counters.errors, 3);
        QCOMPARE(tag.text.count("\nDigest ") + int(tag.text.startsWith("Digest ")), 3);
        QVERIFY(tag.text.endsWith(tagTotals(root, 3, 3)));

        QByteArray expected;
        for (const QString& path : walkOrder(root)) {
            const QByteArray p = QFile::encodeName(path);
            expected += path.endsWith("/unchanged") ? ok + "Digests for " + p + "\n" : bad + "Couldn't tag " + p + "\n";
        }
        const Outcome retag = runFolderOf(Operation::Retag, root);
        QCOMPARE(retag.text, expected + retagTotals(root, 3, 1, 0, 0));
        QVERIFY(retag.direct.isEmpty());
        QCOMPARE(*attribute(root + "/changed"), sha256("c1"));

        const QString single = root + "/never-tagged";
        const Outcome tagOne = runFileOf(Operation::Tag, single);
        QCOMPARE(tagOne.direct + tagOne.text,
            "Read-only file system" + bad + "Couldn't tag " + QFile::encodeName(single) + "\n");
        QCOMPARE(runFileOf(Operation::Retag, single).text, bad + "Couldn't tag " + QFile::encodeName(single) + "\n");
    }

    void retagFolder()
    {
        QTemporaryDir dir;
        const QString root = dir.path();
        writeFile(root + "/a.txt", "a");
        writeFile(root + "/b.txt", "b");
        writeFile(root + "/c.txt", "c");
        writeFile(root + "/d.txt", "d");
        writeFile(root + "/e.txt", "e");
        (void)runFolderOf(Operation::Tag, root);
        writeFile(root + "/b.txt", "b, changed since");
        QVERIFY(::removexattr(local(root + "/c.txt").c_str(), "user.co.sablewickfern.kelmor.hash#S") == 0);
        QVERIFY(fixtures::setAttribute(root + "/d.txt", ""));
        QVERIFY(fixtures::setAttribute(root + "/e.txt", sha256("e").toHex()));

        QByteArray expected;
        for (const QString& path : walkOrder(root)) {
            const QByteArray p = QFile::encodeName(path);
            const QString name = path.section('/', -1);
            if (name == "a.txt")
                expected += ok + "Digests for " + p + "\n";
            else if (name == "b.txt" || name == "e.txt")
                expected += warn + "Retagged " + p + "\n";
            else
                expected += warn + "Tagged " + p + "\n";
        }
        const Outcome first = runFolderOf(Operation::Retag, root);
        QCOMPARE(first.text, expected + retagTotals(root, 5, 1, 2, 2));
        for (const char* name : { "a.txt", "b.txt", "c.txt", "d.txt", "e.txt" })
            QCOMPARE(*attribute(root + "/" + name), digestOfFile(root + "/" + name));

        const Outcome second = runFolderOf(Operation::Retag, root);
        QCOMPARE(second.counters.matched, 5);
        QVERIFY(second.text.endsWith(retagTotals(root, 5, 5, 0, 0)));
    }

    void retagSingleFile_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("lead");
        QTest::newRow("matched") << sha256("contents") << ok + "Digest for ";
        QTest::newRow("differs") << sha256("other") << warn + "Retagged ";
        QTest::newRow("64 bytes") << sha256("contents").toHex() << warn + "Retagged ";
        QTest::newRow("empty value") << QByteArray("") << warn + "Tagged ";
        QTest::newRow("no attribute") << QByteArray() << warn + "Tagged ";
    }
    void retagSingleFile()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, lead);
        QTemporaryDir dir;
        const QString path = dir.filePath("file");
        writeFile(path, "contents");
        if (!stored.isNull())
            QVERIFY(fixtures::setAttribute(path, stored));
        const Outcome outcome = runFileOf(Operation::Retag, path);
        QCOMPARE(outcome.text, lead + QFile::encodeName(path) + "\n");
        QCOMPARE(*attribute(path), sha256("contents"));
    }

    // Check never writes, and Retag leaves a matching file entirely alone: a write would move the ctime.
    void nothingWrittenWhereNothingMayBe()
    {
        QTemporaryDir dir;
        const QString root = dir.path();
        writeFile(root + "/tagged", "t");
        tagCorrectly(root + "/tagged");
        writeFile(root + "/changed", "c");
        QVERIFY(fixtures::setAttribute(root + "/changed", sha256("before")));
        writeFile(root + "/untagged", "u");
        QMap<QString, qint64> before;
        for (const QString& path : walkOrder(root))
            before[path] = ctimeNs(path);
        QThread::msleep(20); // so that any write would show in the ctime

        (void)runFolderOf(Operation::Check, root);
        (void)runFolderOf(Operation::Check, root, Backend::Classic);
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QCOMPARE(ctimeNs(it.key()), it.value());
        QVERIFY(!attribute(root + "/untagged"));
        QCOMPARE(*attribute(root + "/changed"), sha256("before"));

        (void)runFolderOf(Operation::Retag, root);
        QCOMPARE(ctimeNs(root + "/tagged"), before[root + "/tagged"]);
    }

    // Tag and Retag write the attribute only: contents, size and modification time stay as they were.
    void contentsNeverChange()
    {
        QTemporaryDir dir;
        const QString root = dir.path();
        writeFile(root + "/big", fixtures::patternBytes(1 << 20));
        writeFile(root + "/small", "s");
        const fixtures::Stamp big = fixtures::stamp(root + "/big");
        const fixtures::Stamp small = fixtures::stamp(root + "/small");
        (void)runFolderOf(Operation::Tag, root);
        writeFile(root + "/small", "t");
        const fixtures::Stamp smallChanged = fixtures::stamp(root + "/small");
        (void)runFolderOf(Operation::Retag, root);
        QVERIFY(fixtures::stamp(root + "/big") == big);
        QVERIFY(fixtures::stamp(root + "/small") == smallChanged);
        QVERIFY(!(smallChanged == small) || smallChanged.size == small.size);
        QCOMPARE(digestOfFile(root + "/big"), sha256(fixtures::patternBytes(1 << 20)));
        QVERIFY(!fixtures::attributeNames(root + "/big").contains("user.co.sablewickfern.kelmor.time#S"));
    }

    // A read error mid-file must never replace a good stored digest with one of the bytes read so far.
    void readErrorKeepsTheStoredDigest_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::newRow("tag") << Operation::Tag;
        QTest::newRow("retag") << Operation::Retag;
    }
    void readErrorKeepsTheStoredDigest()
    {
        QFETCH(Operation, operation);
        QTemporaryDir dir;
        const QString path = dir.filePath("sub/archive.bin");
        writeFile(path, fixtures::patternBytes(2 * 524288 + 5));
        tagCorrectly(path);
        const QByteArray good = *attribute(path);

        RunSettings settings;
        bool first = true;
        settings.read = [&first](int fd, void* buffer, std::size_t count) {
            if (!first) {
                errno = EIO;
                return ssize_t(-1);
            }
            first = false;
            return ::read(fd, buffer, count);
        };
        const Outcome folder = runOn(operation, dir.path(), Variant::Folder, settings);
        QCOMPARE(*attribute(path), good);
        QCOMPARE(folder.counters.total, 1);
        QCOMPARE(folder.counters.unreadable, 1);
        QVERIFY(!folder.text.contains(local(path).c_str()));

        first = true;
        const Outcome single = runOn(operation, path, Variant::SingleFile, settings);
        QVERIFY(single.text.isEmpty());
        QCOMPARE(*attribute(path), good);
    }

    // A file deleted between the listing and its turn gives no line and still counts in the total.
    void fileVanishingDuringTheWalk()
    {
        QTemporaryDir dir;
        for (const char* name : { "1", "2", "3", "4" })
            writeFile(dir.filePath(name), name);
        const QStringList order = walkOrder(dir.path());
        const QString victim = order.last();
        RunSettings settings;
        settings.read = [&victim](int fd, void* buffer, std::size_t count) {
            QFile::remove(victim);
            return ::read(fd, buffer, count);
        };
        const Outcome outcome = runOn(Operation::Tag, dir.path(), Variant::Folder, settings);
        QCOMPARE(outcome.counters.total, 4);
        QCOMPARE(outcome.counters.unreadable, 1);
        QVERIFY(!outcome.text.contains(local(victim).c_str()));
        QVERIFY(outcome.text.endsWith(tagTotals(dir.path(), 4, 0)));
    }

    // A file replaced (renamed over) while it is being hashed: the digest goes to the file that was read,
    // never to the newcomer whose contents were not hashed.
    void fileReplacedWhileHashed()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("document.odt");
        writeFile(path, "original contents");
        writeFile(dir.filePath("newcomer.part"), "new contents");
        RunSettings settings;
        bool replaced = false;
        settings.read = [&](int fd, void* buffer, std::size_t count) {
            if (!replaced) {
                replaced = true;
                ::rename(local(dir.filePath("newcomer.part")).c_str(), local(path).c_str());
            }
            return ::read(fd, buffer, count);
        };
        const Outcome outcome = runOn(Operation::Tag, path, Variant::SingleFile, settings);
        QVERIFY(replaced);
        QCOMPARE(outcome.text, ok + "Tagged " + QFile::encodeName(path) + "\n");
        QVERIFY(!attribute(path)); // the newcomer carries no digest of contents it does not have
        QCOMPARE(
            runFileOf(Operation::Check, path).text, warn + "No digest found for " + QFile::encodeName(path) + "\n");
    }

    // Digests stored through one back-end match the other's, and both give the same reports.
    void backendsAgree()
    {
        QTemporaryDir dir;
        const QString root = dir.path();
        for (int i = 0; i < 6; ++i)
            writeFile(root + "/f" + QString::number(i), fixtures::patternBytes(i * 200000 + i, quint32(i)));
        (void)runFolderOf(Operation::Tag, root, Backend::Classic);
        writeFile(root + "/f5", "changed");
        const Outcome modern = runFolderOf(Operation::Check, root, Backend::Modern);
        const Outcome classic = runFolderOf(Operation::Check, root, Backend::Classic);
        QCOMPARE(modern.text, classic.text);
        QCOMPARE(modern.counters.matched, 5);
        QCOMPARE(modern.counters.mismatched, 1);
        const Outcome retag = runFolderOf(Operation::Retag, root, Backend::Modern);
        QCOMPARE(retag.counters.retagged, 1);
        QCOMPARE(runFolderOf(Operation::Retag, root, Backend::Classic).counters.matched, 6);
    }

    // File names are bytes: a name that is not UTF-8 is tagged and checked, and reported in its own bytes.
    void nonUtf8Names()
    {
        QTemporaryDir dir;
        const std::string name = local(dir.path()) + "/caf\xe9.jpg";
        FILE* file = std::fopen(name.c_str(), "w");
        QVERIFY(file);
        std::fputs("latin-1 name", file);
        std::fclose(file);
        (void)runFolderOf(Operation::Tag, dir.path());
        const Outcome check = runFolderOf(Operation::Check, dir.path());
        QCOMPARE(check.text,
            ok + "Digests for " + QByteArray::fromStdString(name) + "\n" + checkTotals(dir.path(), 1, 1, 0, 0));
        std::remove(name.c_str()); // QTemporaryDir cannot name it to remove it
    }
};

QTEST_APPLESS_MAIN(TestOperations)
#include "tst_operations.moc"
