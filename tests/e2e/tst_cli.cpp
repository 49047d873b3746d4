// orvane-cli as a user runs it: the built binary in a real process. What only the command line does: its
// arguments, standard output against standard error, the exit status, and a few lines end to end.

#include "fixtures.h"
#include "reports.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using namespace fixtures;

namespace {

struct Result
{
    int exitCode = -1; // -1 also when the program crashed or hung
    QByteArray out;
    QByteArray err;
};

// Runs orvane-cli; setup, if given, runs in the child before it starts (to redirect standard output).
Result cli(const QStringList& arguments,
    const QString& workingDir = {},
    std::function<void()> setup = {},
    const QString& opensslConf = {})
{
    QProcess process;
    process.setWorkingDirectory(workingDir);
    if (setup)
        process.setChildProcessModifier(setup);
    if (!opensslConf.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("OPENSSL_CONF", opensslConf);
        process.setProcessEnvironment(environment);
    }
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
        if (!supportsUserAttributes(probe.path()))
            QSKIP("the temporary folder's file system takes no user.* attributes");
    }

    void helpAndVersion()
    {
        const Result help = cli({ "--help" });
        QVERIFY(help.exitCode == 0 && help.out.startsWith("Usage: orvane-cli ") && help.err.isEmpty());
        QCOMPARE(cli({ "--version" }).out, QByteArray("orvane-cli " ORVANE_TEST_VERSION "\n"));
    }

    // Usage errors touch nothing. Fault 4: an empty PATH (an unset variable in a script) is not the
    // current folder, and a trailing slash does not make a file a folder.
    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("nothing") << QStringList {};
        QTest::newRow("no path") << QStringList { "tag" };
        QTest::newRow("unknown command") << QStringList { "verify", "." };
        QTest::newRow("two paths") << QStringList { "tag", ".", "file" };
        QTest::newRow("unknown option") << QStringList { "--fast", "tag", "." };
        QTest::newRow("unknown back-end") << QStringList { "--backend=sha1", "tag", "." };
        QTest::newRow("empty PATH") << QStringList { "tag", "" };
        QTest::newRow("file/") << QStringList { "tag", "file/" };
    }
    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QTemporaryDir dir;
        writeFile(dir.filePath("file"), "f");
        const Result result = cli(arguments, dir.path());
        QCOMPARE(result.exitCode, 2);
        QVERIFY(result.out.isEmpty());
        QVERIFY2(result.err.startsWith("orvane-cli: ") && result.err.endsWith("Try 'orvane-cli --help'.\n"),
            result.err.constData());
        QVERIFY(attributeNames(dir.filePath("file")).isEmpty());
    }

    // Fault 5: "l/../x" is the x beside the link's target, as the kernel opens it, not a lexical x; a link
    // named as PATH keeps its own name.
    void pathResolvedAsTheKernelDoes()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("A/x"), "x in A");
        writeFile(dir.filePath("B/x"), "x in B");
        writeFile(dir.filePath("B/inner/f"), "f");
        makeSymlink(dir.filePath("B/inner"), dir.filePath("A/l"));
        const Result tag = cli({ "tag", "A/l/../x" }, dir.path());
        QCOMPARE(tag.out, okMark + "Tagged " + QFile::encodeName(dir.filePath("B/x")) + "\n");
        QCOMPARE(attribute(dir.filePath("B/x")).value_or("none"), sha256("x in B"));
        QVERIFY(!attribute(dir.filePath("A/x")));
        const Result viaLink = cli({ "retag", "A/l" }, dir.path());
        QCOMPARE(viaLink.out,
            warnMark + "Tagged " + QFile::encodeName(dir.filePath("A/l/f")) + "\n"
                + retagTotals(dir.filePath("A/l"), 1, 0, 0, 1));
    }

    // Tag, then Check clean (0), then a changed and an untagged file make Check report them (1); the
    // report goes to standard output alone.
    void tagThenCheckFolder()
    {
        QTemporaryDir dir;
        const QString root = dir.filePath("photos");
        writeFile(root + "/2024/img_0001.jpg", patternBytes(900000, 1));
        writeFile(root + "/notes.txt", "notes");
        const Result tag = cli({ "tag", root });
        QCOMPARE(tag.exitCode, 0);
        QVERIFY(tag.err.isEmpty());
        QVERIFY(tag.out.endsWith(tagTotals(root, 2, 0)));
        QCOMPARE(cli({ "--backend=classic", "check", root }).exitCode, 0);

        writeFile(root + "/notes.txt", "notes, edited");
        const Result found = cli({ "check", root });
        QCOMPARE(found.exitCode, 1);
        QVERIFY(found.err.isEmpty());
        QVERIFY(
            found.out.contains(badMark + "Digests for " + QFile::encodeName(root + "/notes.txt") + " aren't equal.\n"));
        QVERIFY(found.out.endsWith(checkTotals(root, 2, 1, 1, 0)));
    }

    // Fault 8: a report that cannot be written whole is a failure of the run, said on standard error.
    void lostReportExitsTwo_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QByteArray>("reason");
        QTest::newRow("full disk") << "full" << QByteArray("No space left on device");
        QTest::newRow("reader gone") << "pipe" << QByteArray("Broken pipe");
        QTest::newRow("closed") << "closed" << QByteArray("Bad file descriptor");
    }
    void lostReportExitsTwo()
    {
        QFETCH(QString, output);
        QFETCH(QByteArray, reason);
        QTemporaryDir dir;
        for (int i = 0; i < 300; ++i) // more report than one stdio buffer holds
            writeFile(dir.filePath("file-with-a-longish-name-%1").arg(i), "x");
        int pipeEnds[2] = { -1, -1 };
        QVERIFY(::pipe(pipeEnds) == 0);
        ::close(pipeEnds[0]); // nobody will ever read
        const Result result = cli({ "check", dir.path() }, {}, [&output, &pipeEnds] {
            if (output == "full")
                ::dup2(::open("/dev/full", O_WRONLY), STDOUT_FILENO);
            else if (output == "pipe")
                ::dup2(pipeEnds[1], STDOUT_FILENO);
            else
                ::close(STDOUT_FILENO);
        });
        ::close(pipeEnds[1]);
        QCOMPARE(result.exitCode, 2);
        QCOMPARE(result.err, "orvane-cli: standard output: " + reason + "\n");
    }

    // Fault 9: control characters of a path are escaped in diagnostics as in report lines.
    void diagnosticsEscapeControlCharacters()
    {
        QTemporaryDir dir;
        const Result result = cli({ "check", dir.filePath("no\x1b[2J\nsuch") });
        QCOMPARE(result.exitCode, 2);
        QCOMPARE(result.err,
            "orvane-cli: " + QFile::encodeName(dir.path()) + "/no\\x1b[2J\\x0asuch: No such file or directory\n");
    }

    // Fault 7: /proc is not walked, so the run ends at once.
    void procIsNotWalked()
    {
        const Result result = cli({ "check", "/proc" });
        QCOMPARE(result.exitCode, 2);
        QCOMPARE(result.err, QByteArray("orvane-cli: /proc: on a pseudo file system\n"));
    }

    // Fault 11: an OpenSSL configured with the base provider alone has no SHA-256: a message, exit 2, no abort.
    void opensslWithoutSha256()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("base-only.cnf"),
            "openssl_conf = init\n[init]\nproviders = providers\n[providers]\nbase = base\n[base]\nactivate = 1\n");
        writeFile(dir.filePath("file"), "f");
        const Result result = cli({ "tag", dir.filePath("file") }, {}, {}, dir.filePath("base-only.cnf"));
        QCOMPARE(result.exitCode, 2);
        QVERIFY(result.out.isEmpty());
        QCOMPARE(result.err, QByteArray("orvane-cli: OpenSSL offers no SHA-256\n"));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
