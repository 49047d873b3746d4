// orvane-cli as a user runs it: the built binary in a real process, its standard output compared byte for
// byte, its diagnostics and exit status, on trees with the troubles real disks have.

#include "fixtures.h"
#include "operations/walk.h"
#include "reports.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using fixtures::local;
using fixtures::sha256;
using fixtures::writeFile;
using namespace fixtures;

namespace {

const QByteArray& ok = fixtures::okMark;
const QByteArray& bad = fixtures::badMark;
const QByteArray& warn = fixtures::warnMark;

struct Result
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs orvane-cli; with asNobody, as the unprivileged user (through setpriv) when the test runs as root.
Result cli(const QStringList& arguments, const QString& workingDir = {}, bool asNobody = false)
{
    QProcess process;
    if (!workingDir.isEmpty())
        process.setWorkingDirectory(workingDir);
    if (asNobody && fixtures::isRoot())
        process.start(
            "setpriv", QStringList { "--reuid=65534", "--regid=65534", "--clear-groups", "--", CLI_PATH } + arguments);
    else
        process.start(CLI_PATH, arguments);
    Result result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        qWarning("orvane-cli did not finish: it hung");
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QTemporaryDir probe;
        if (!fixtures::supportsUserAttributes(probe.path()))
            QSKIP("the temporary folder's file system takes no user.* attributes");
    }

    void helpAndVersion()
    {
        const Result help = cli({ "--help" });
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.startsWith("Usage: orvane-cli "));
        QVERIFY(help.err.isEmpty());
        const Result version = cli({ "--version" });
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out, QByteArray("orvane-cli " ORVANE_TEST_VERSION "\n"));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("nothing") << QStringList {};
        QTest::newRow("no path") << QStringList { "check" };
        QTest::newRow("unknown command") << QStringList { "verify", "/tmp" };
        QTest::newRow("two paths") << QStringList { "check", "/tmp", "/var" };
        QTest::newRow("unknown option") << QStringList { "--fast", "check", "/tmp" };
        QTest::newRow("unknown back-end") << QStringList { "--backend=sha1", "check", "/tmp" };
    }
    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        const Result result = cli(arguments);
        QCOMPARE(result.exitCode, 2);
        QVERIFY(result.out.isEmpty());
        QVERIFY(result.err.startsWith("orvane-cli: "));
    }

    void missingPath()
    {
        QTemporaryDir dir;
        const Result result = cli({ "check", dir.filePath("not-there") });
        QCOMPARE(result.exitCode, 2);
        QVERIFY(result.out.isEmpty());
        QCOMPARE(result.err,
            "orvane-cli: " + QFile::encodeName(dir.filePath("not-there")) + ": No such file or directory\n");
    }

    // Tag, then Check clean (0), then a changed and an untagged file make Check report them (1).
    void tagThenCheckFolder()
    {
        QTemporaryDir dir;
        const QString root = dir.filePath("photos");
        writeFile(root + "/2024/img_0001.jpg", fixtures::patternBytes(900000, 1));
        writeFile(root + "/2024/img_0002.jpg", fixtures::patternBytes(1000, 2));
        writeFile(root + "/notes.txt", "notes");

        const Result tag = cli({ "tag", root });
        QCOMPARE(tag.exitCode, 0);
        QVERIFY(tag.err.isEmpty());
        QVERIFY(tag.out.endsWith("Tagged a total of 3 files in " + QFile::encodeName(root) + " with 0 errors.\n"));
        QCOMPARE(tag.out.count("Digest "), 3);

        QByteArray expected;
        for (const QString& path : walkOrder(root))
            expected += ok + "Digests for " + QFile::encodeName(path) + "\n";
        const Result clean = cli({ "check", root });
        QCOMPARE(clean.out, expected + checkTotals(root, 3, 3, 0, 0));
        QCOMPARE(clean.exitCode, 0);

        writeFile(root + "/notes.txt", "notes, edited");
        writeFile(root + "/2024/new.jpg", "new");
        const Result found = cli({ "check", root });
        QCOMPARE(found.exitCode, 1);
        QVERIFY(found.out.contains(bad + "Digests for " + QFile::encodeName(root + "/notes.txt") + " aren't equal.\n"));
        QVERIFY(found.out.contains(warn + "No digest found for " + QFile::encodeName(root + "/2024/new.jpg") + "\n"));
        QVERIFY(found.out.endsWith(checkTotals(root, 4, 2, 1, 1)));
    }

    void singleFileLines()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("letter.pdf");
        writeFile(file, "letter");
        const QByteArray p = QFile::encodeName(file);
        Result result = cli({ "check", file });
        QCOMPARE(result.out, warn + "No digest found for " + p + "\n");
        QCOMPARE(result.exitCode, 1);
        result = cli({ "tag", file });
        QCOMPARE(result.out, ok + "Tagged " + p + "\n");
        QCOMPARE(result.exitCode, 0);
        result = cli({ "retag", file });
        QCOMPARE(result.out, ok + "Digest for " + p + "\n");
        QCOMPARE(result.exitCode, 0);
        result = cli({ "check", "--backend=classic", file });
        QCOMPARE(result.out, ok + "Digest for " + p + "\n");
        QCOMPARE(result.exitCode, 0);
    }

    // PATH is made absolute and lexically normal; a link to a folder is walked under the link's own name.
    void pathsAsGiven()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("tree/a"), "a");
        fixtures::makeSymlink(dir.filePath("tree"), dir.filePath("shortcut"));
        const QByteArray root = QFile::encodeName(dir.filePath("tree"));
        const Result relative = cli({ "tag", "./tree//../tree/." }, dir.path());
        QVERIFY(relative.out.endsWith("Tagged a total of 1 files in " + root + " with 0 errors.\n"));
        QVERIFY(relative.out.contains(" for " + root + "/a\n"));
        const Result trailing = cli({ "check", "tree/" }, dir.path());
        QCOMPARE(trailing.out, ok + "Digests for " + root + "/a\n" + checkTotals(dir.filePath("tree"), 1, 1, 0, 0));
        const Result viaLink = cli({ "check", dir.filePath("shortcut") });
        QCOMPARE(viaLink.out,
            ok + "Digests for " + QFile::encodeName(dir.filePath("shortcut")) + "/a\n"
                + checkTotals(dir.filePath("shortcut"), 1, 1, 0, 0));
    }

    // Special files never block the run: a FIFO as PATH or in the tree gets no line and a diagnostic.
    void fifos()
    {
        QTemporaryDir dir;
        fixtures::makeFifo(dir.filePath("tree/pipe"));
        writeFile(dir.filePath("tree/file"), "f");
        const Result single = cli({ "tag", dir.filePath("tree/pipe") });
        QCOMPARE(single.exitCode, 1);
        QVERIFY(single.out.isEmpty());
        QCOMPARE(single.err, "orvane-cli: " + QFile::encodeName(dir.filePath("tree/pipe")) + ": not a regular file\n");
        const Result tree = cli({ "tag", dir.filePath("tree") });
        QCOMPARE(tree.exitCode, 1);
        QVERIFY(tree.out.endsWith(
            "Tagged a total of 2 files in " + QFile::encodeName(dir.filePath("tree")) + " with 0 errors.\n"));
        QVERIFY(tree.err.contains("pipe: not a regular file\n"));
        QVERIFY(fixtures::attributeNames(dir.filePath("tree/pipe")).isEmpty());
    }

    // Failed writes: the system's text comes first, ahead of the run's lines, as in the window.
    void tagOnReadOnlyVolume()
    {
        QTemporaryDir dir;
        const QString root = dir.filePath("volume");
        fixtures::ScratchMount mount(root);
        if (!mount.valid())
            QSKIP(qPrintable(mount.reason()));
        writeFile(root + "/one", "1");
        writeFile(root + "/two", "2");
        if (!mount.makeReadOnly())
            QSKIP(qPrintable(mount.reason()));
        const Result folder = cli({ "tag", root });
        QCOMPARE(folder.exitCode, 1);
        QVERIFY(folder.out.startsWith("Read-only file systemRead-only file systemDigest "));
        QVERIFY(folder.out.endsWith("Tagged a total of 2 files in " + QFile::encodeName(root) + " with 2 errors.\n"));
        const Result single = cli({ "tag", root + "/one" });
        QCOMPARE(single.out, "Read-only file system" + bad + "Couldn't tag " + QFile::encodeName(root + "/one") + "\n");
        QCOMPARE(single.exitCode, 1);
    }

    void fileSystemWithoutAttributes()
    {
        if (!QFile::exists("/proc/version"))
            QSKIP("no /proc on this machine");
        const Result tag = cli({ "tag", "/proc/version" });
        QCOMPARE(tag.out, "Operation not supported" + bad + "Couldn't tag /proc/version\n");
        QCOMPARE(tag.exitCode, 1);
        const Result retag = cli({ "retag", "/proc/version" });
        QCOMPARE(retag.out, bad + "Couldn't tag /proc/version\n");
        QCOMPARE(retag.exitCode, 1);
    }

    // Unreadable files and folders are named on standard error and make the run unclean.
    void permissionDenied()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::setPermissions(dir.path(),
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                | QFileDevice::ExeOther));
        const QString root = dir.filePath("tree");
        writeFile(root + "/readable", "r");
        writeFile(root + "/locked", "l");
        writeFile(root + "/closed/inside", "i");
        writeFile(root + "/read-only", "o");
        for (const QString& path : { root + "/readable", root + "/locked", root + "/closed/inside" })
            QVERIFY(::chmod(local(path).c_str(), 0666) == 0);
        QVERIFY(::chmod(local(root + "/read-only").c_str(), 0444) == 0);
        QVERIFY(::chmod(local(root).c_str(), 0777) == 0);
        QVERIFY(::chmod(local(root + "/locked").c_str(), 0) == 0);
        QVERIFY(::chmod(local(root + "/closed").c_str(), 0) == 0);

        const Result result = cli({ "tag", root }, {}, true);
        ::chmod(local(root + "/closed").c_str(), 0755);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains("orvane-cli: " + QFile::encodeName(root + "/locked") + ": Permission denied\n"),
            result.err.constData());
        QVERIFY(result.err.contains("orvane-cli: " + QFile::encodeName(root + "/closed") + ": Permission denied\n"));
        // The read-only file is read, but its attribute may not be written: the system's text comes first.
        QVERIFY(result.out.startsWith("Permission deniedDigest "));
        QCOMPARE(result.out.count("Digest "), 2);
        QVERIFY(result.out.endsWith("Tagged a total of 3 files in " + QFile::encodeName(root) + " with 1 errors.\n"));
        QCOMPARE(*fixtures::attribute(root + "/readable"), sha256("r"));
        QVERIFY(!fixtures::attribute(root + "/locked"));
        QVERIFY(!fixtures::attribute(root + "/read-only"));
    }

    // A name that is not UTF-8 passes through to standard output as its own bytes.
    void nonUtf8Name()
    {
        QTemporaryDir dir;
        const std::string name = local(dir.path()) + "/na\xefve.txt";
        FILE* file = std::fopen(name.c_str(), "w");
        QVERIFY(file);
        std::fclose(file);
        QCOMPARE(cli({ "tag", dir.path() }).exitCode, 0);
        const Result check = cli({ "check", dir.path() });
        QCOMPARE(check.out,
            ok + "Digests for " + QByteArray::fromStdString(name) + "\n" + checkTotals(dir.path(), 1, 1, 0, 0));
        QCOMPARE(check.exitCode, 0);
        std::remove(name.c_str()); // QTemporaryDir cannot name it to remove it
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
