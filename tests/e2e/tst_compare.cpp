// orvane-cli compare: two trees told apart by their stored digests alone; what runs leave out of a tree.

#include "fixtures.h"
#include "reports.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace fixtures;

namespace {

ProgramResult cli(const QStringList& arguments, const QString& workingDir = {})
{
    return runProgram(CLI_PATH, arguments, workingDir);
}

} // namespace

class TestCompare : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SKIP_WITHOUT_USER_ATTRIBUTES();
    }

    // A copy made with cp -a, then one file changed and retagged, one removed, one added, one moved into a
    // subfolder, one untagged: each gets its line, and not one byte of contents is read.
    void backupAgainstOriginal()
    {
        QTemporaryDir dir;
        const QString a = dir.filePath("original"), b = dir.filePath("backup");
        for (const char* name : { "same.jpg", "edited.txt", "removed.raw", "moving.png", "sub/kept" })
            writeFile(a + "/" + name, name);
        QCOMPARE(cli({ "tag", a }).exitCode, 0);
        writeFile(a + "/untagged", "u");
        QCOMPARE(QProcess::execute("cp", { "-a", a, b }), 0);
        writeFile(b + "/edited.txt", "edited in the backup");
        QCOMPARE(cli({ "retag", b + "/edited.txt" }).exitCode, 0);
        QVERIFY(QFile::remove(b + "/removed.raw"));
        QVERIFY(QFile::rename(b + "/moving.png", b + "/sub/moving.png"));
        writeFile(b + "/added", "new");
        QCOMPARE(cli({ "tag", b + "/added" }).exitCode, 0);

        QByteArray expected;
        for (const QString& path : walkOrder(a)) {
            const QByteArray name = QFile::encodeName(path.mid(a.size() + 1));
            expected += name == "same.jpg" || name == "sub/kept" ? okMark + "Digests for " + name + "\n"
                : name == "edited.txt"                           ? badMark + "Digests for " + name + " differ.\n"
                : name == "removed.raw" ? warnMark + "Only in " + QFile::encodeName(a) + ": removed.raw\n"
                : name == "moving.png"  ? "\u21AA\uFE0F moving.png moved to sub/moving.png\n"
                                        : warnMark + "No digest found for untagged in " + QFile::encodeName(a) + "\n";
        }
        expected += warnMark + "Only in " + QFile::encodeName(b) + ": added\nCompared 7 files in "
            + QFile::encodeName(a) + " with " + QFile::encodeName(b)
            + "\n\t2 were the same\n\t1 differed\n\t1 moved\n\t1 only in the first\n\t1 only in the second\n"
              "\t1 had no digest.\n";
        const QString log = dir.filePath("calls");
        QProcess traced;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("ASAN_OPTIONS", "detect_leaks=0"); // LeakSanitizer does not run under ptrace
        traced.setProcessEnvironment(environment);
        traced.start("strace",
            { "-f", "-o", log, "-e", "trace=openat,read,pread64,readv,preadv,preadv2", CLI_PATH, "compare", a, b });
        QVERIFY(traced.waitForFinished(60000));
        QCOMPARE(traced.exitCode(), 1);
        QCOMPARE(traced.readAllStandardOutput(), expected);
        const QByteArray calls = contentsOf(log);
        const qsizetype treeOpened = calls.indexOf(QFile::encodeName(a));
        QVERIFY(treeOpened > 0);
        QVERIFY2(!QString::fromUtf8(calls.mid(treeOpened)).contains(QRegularExpression("\\bp?readv?2?\\(")),
            "a file's contents were read");

        const ProgramResult json = cli({ "--quiet", "--format=jsonl", "compare", b, a });
        QVERIFY(json.out.contains("{\"version\":1,\"type\":\"file\",\"path\":\"sub/moving.png\",\"outcome\":\"moved\","
                                  "\"to\":\"moving.png\"}\n"));
        QVERIFY(!json.out.contains("\"same\"}") && json.out.endsWith("\"unreadable_folders\":0,\"excluded\":0}\n"));
        QCOMPARE(cli({ "compare", a, a }).exitCode, 1); // the untagged file has no digest on either side
        QCOMPARE(cli({ "compare", a, a + "/same.jpg" }).exitCode, 2);
    }

    // Patterns from --exclude and from .orvane-ignore: a name at any depth, anchored at the top, folders only,
    // across folders. A folder left out is not entered, and counts once.
    void exclusions_data()
    {
        QTest::addColumn<QStringList>("excludes");
        QTest::addColumn<QByteArray>("ignoreFile");
        QTest::addColumn<QStringList>("left"); // the files still checked, .orvane-ignore aside
        QTest::addColumn<int>("excluded");
        const QStringList all { "top.tmp", "keep.txt", "cache/c", "sub/cache/f", "sub/x.tmp", "sub/notes/cache" };
        const auto without = [&all](const QStringList& out) {
            QStringList left = all;
            for (const QString& file : out)
                left.removeAll(file);
            return left;
        };
        QTest::newRow("name at any depth")
            << QStringList { "*.tmp" } << QByteArray() << without({ "top.tmp", "sub/x.tmp" }) << 2;
        QTest::newRow("folders only") << QStringList { "cache/" } << QByteArray()
                                      << without({ "cache/c", "sub/cache/f" }) << 2;
        QTest::newRow("anchored") << QStringList { "/cache" } << QByteArray() << without({ "cache/c" }) << 1;
        QTest::newRow("across folders") << QStringList { "sub/**/cache" } << QByteArray()
                                        << without({ "sub/cache/f", "sub/notes/cache" }) << 2;
        QTest::newRow("ignore file") << QStringList() << QByteArray("# scratch\n\n*.tmp\r\n/sub/\n")
                                     << without({ "top.tmp", "sub/cache/f", "sub/x.tmp", "sub/notes/cache" }) << 2;
        // Root takes no list of what to leave out from another user who may write in the folder.
        QTest::newRow("another user's ignore file, as root") << QStringList() << QByteArray("*\n") << all << 0;
    }
    void exclusions()
    {
        QFETCH(QStringList, excludes);
        QFETCH(QByteArray, ignoreFile);
        QFETCH(QStringList, left);
        QFETCH(int, excluded);
        QTemporaryDir dir;
        for (const char* name : { "top.tmp", "keep.txt", "cache/c", "sub/cache/f", "sub/x.tmp", "sub/notes/cache" })
            writeFile(dir.filePath(name), name);
        if (!ignoreFile.isEmpty())
            writeFile(dir.filePath(".orvane-ignore"), ignoreFile);
        if (QByteArray(QTest::currentDataTag()).contains("as root")
            && ::chown(QFile::encodeName(dir.filePath(".orvane-ignore")).constData(), 65534, 65534) != 0)
            QSKIP("needs root, to give the file to another user");
        QStringList arguments;
        for (const QString& pattern : excludes)
            arguments << "--exclude" << pattern;
        const ProgramResult result = cli(arguments << "check" << dir.path());
        QStringList checked;
        for (const QByteArray& line : result.out.split('\n'))
            if (line.startsWith(warnMark + "No digest found for "))
                checked << QFile::decodeName(line.mid(warnMark.size() + 20 + dir.path().size() + 1));
        checked.removeAll(".orvane-ignore");
        checked.sort();
        left.sort();
        QCOMPARE(checked, left);
        QVERIFY(excluded
                ? result.out.endsWith("had no digest.\n\t" + QByteArray::number(excluded) + " were excluded.\n")
                : result.out.endsWith("had no digest.\n") && result.err.contains("not taken as root"));
    }
};

QTEST_APPLESS_MAIN(TestCompare)
#include "tst_compare.moc"
