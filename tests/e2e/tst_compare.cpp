// orvane-cli compare: two trees told apart by their stored digests alone.

#include "fixtures.h"
#include "reports.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

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
        QVERIFY(!json.out.contains("\"same\"}") && json.out.endsWith("\"unreadable_folders\":0}\n"));
        QCOMPARE(cli({ "compare", a, a }).exitCode, 1); // the untagged file has no digest on either side
        QCOMPARE(cli({ "compare", a, a + "/same.jpg" }).exitCode, 2);
    }
};

QTEST_APPLESS_MAIN(TestCompare)
#include "tst_compare.moc"
