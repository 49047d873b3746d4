#include "fixtures.h"
#include "reports.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace fixtures;

namespace {

using Result = ProgramResult;

Result cli(const QStringList& arguments, const QString& workingDir = {}, std::function<void()> setup = {})
{
    return runProgram(CLI_PATH, arguments, workingDir, setup);
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SKIP_WITHOUT_USER_ATTRIBUTES();
    }

    // Fault 4: an empty PATH (an unset variable in a script) is not the current folder.
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
        QTest::newRow("no jobs") << QStringList { "--jobs", "0", "tag", "." };
        QTest::newRow("jobs not a number") << QStringList { "--jobs=many", "tag", "." };
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

    // Fault 5: "l/../x" is the x beside the link's target, as the kernel opens it, not a lexical x.
    void pathResolvedAsTheKernelDoes()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("A/x"), "x in A");
        writeFile(dir.filePath("B/x"), "x in B");
        writeFile(dir.filePath("B/inner/f"), "f");
        makeSymlink(dir.filePath("B/inner"), dir.filePath("A/l"));
        QCOMPARE(cli({ "tag", "A/l/../x" }, dir.path()).exitCode, 0);
        QCOMPARE(attribute(dir.filePath("B/x")).value_or("none"), sha256("x in B"));
        QVERIFY(!attribute(dir.filePath("A/x")));
        QVERIFY(cli({ "retag", "A/l" }, dir.path())
                    .out.startsWith(warnMark + "Tagged " + QFile::encodeName(dir.filePath("A/l/f"))));
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

    // Faults 9, 7 and 11 (an OpenSSL with the base provider alone has no SHA-256: a message, no abort).
    void troubleExitsTwo_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("opensslConf");
        QTest::addColumn<QByteArray>("error");
        QTest::newRow("escaped") << "/tmp/no\x1b[2J\nsuch" << QByteArray()
                                 << QByteArray("/tmp/no\\x1b[2J\\x0asuch: No such file or directory");
        QTest::newRow("proc") << "/proc" << QByteArray() << QByteArray("/proc: on a pseudo file system");
        QTest::newRow("no SHA-256")
            << "file"
            << QByteArray("openssl_conf = init\n[init]\nproviders = providers\n[providers]\nbase = base\n[base]\n"
                          "activate = 1\n")
            << QByteArray("OpenSSL offers no SHA-256");
    }
    void troubleExitsTwo()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, opensslConf);
        QFETCH(QByteArray, error);
        QTemporaryDir dir;
        writeFile(dir.filePath("file"), "f");
        writeFile(dir.filePath("openssl.cnf"), opensslConf);
        if (!opensslConf.isEmpty())
            qputenv("OPENSSL_CONF", QFile::encodeName(dir.filePath("openssl.cnf")));
        const Result result = cli({ "check", path }, dir.path());
        qunsetenv("OPENSSL_CONF");
        QCOMPARE(result.exitCode, 2);
        QVERIFY(result.out.isEmpty());
        QCOMPARE(result.err, "orvane-cli: " + error + "\n");
    }

    // The progress line goes to standard error when it is a terminal, or when asked for; it is erased.
    void progressOnATerminalOnly_data()
    {
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("shown");
        QTest::newRow("terminal") << true << "--jobs=2" << true;
        QTest::newRow("terminal, --no-progress") << true << "--no-progress" << false;
        QTest::newRow("pipe") << false << "--jobs=2" << false;
        QTest::newRow("pipe, --progress") << false << "--progress" << true;
    }
    void progressOnATerminalOnly()
    {
        QFETCH(bool, terminal);
        QFETCH(QString, option);
        QFETCH(bool, shown);
        QTemporaryDir dir;
        writeFile(dir.filePath("a/file"), "f");
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const QByteArray slavePath = ::ptsname(master);
        const Result result = cli({ option, "check", dir.path() }, {}, [terminal, &slavePath] {
            if (terminal)
                ::dup2(::open(slavePath.constData(), O_RDWR | O_NOCTTY), STDERR_FILENO);
        });
        ::fcntl(master, F_SETFL, O_NONBLOCK);
        char buffer[4096];
        const QByteArray err = result.err + QByteArray(buffer, qMax<ssize_t>(::read(master, buffer, 4096), 0));
        ::close(master);
        QCOMPARE(result.exitCode, 1);
        QVERIFY(result.out.endsWith(checkTotals(dir.path(), 1, 0, 0, 1)) && !result.out.contains(" files \u00B7 "));
        QCOMPARE(err.contains(" files \u00B7 "), shown);
        QCOMPARE(err.endsWith("\r\x1b[K"), shown);
    }

    // Any limit of open descriptors from 16 up completes a run with eight jobs on a tree both wide (files in
    // folders of their own, each holding its folder open while in flight) and deep (a walk that would keep
    // a folder open a level); a soft limit alone gives way to the hard one.
    void lowDescriptorLimits_data()
    {
        QTest::addColumn<bool>("hard");
        QTest::addColumn<QString>("progress");
        QTest::newRow("limit 16") << true << "--no-progress";
        QTest::newRow("limit 16, progress") << true << "--progress";
        QTest::newRow("soft limit 16") << false << "--no-progress";
    }
    void lowDescriptorLimits()
    {
        QFETCH(bool, hard);
        QFETCH(QString, progress);
        QTemporaryDir dir;
        for (int i = 0; i < 60; ++i) {
            writeFile(dir.filePath("wide/f%1/file").arg(i), "w");
            writeFile(dir.filePath("deep/" + QString("d/").repeated(i) + "file"), "d");
        }
        const auto limited = [hard] {
            struct rlimit low = {};
            (void)::getrlimit(RLIMIT_NOFILE, &low);
            low.rlim_cur = 16;
            low.rlim_max = hard ? 16 : low.rlim_max;
            (void)::setrlimit(RLIMIT_NOFILE, &low);
        };
        const Result tag = cli({ progress, "--jobs=8", "tag", dir.path() }, {}, limited);
        QCOMPARE(tag.out.count("Digest "), 120);
        QVERIFY(tag.out.endsWith(tagTotals(dir.path(), 120, 0)));
        const Result check = cli({ progress, "--jobs=8", "--backend=classic", "check", dir.path() }, {}, limited);
        QVERIFY(check.exitCode == 0 && check.out.endsWith(checkTotals(dir.path(), 120, 120, 0, 0)));
    }

    // As root, a link that another user planted in the tree is not followed to a file of root's: nothing
    // of it is read, no attribute lands on it and its ctime stays. A link of the file's own owner is.
    void othersLinksNotFollowedAsRoot_data()
    {
        QTest::addColumn<QString>("command");
        for (const char* command : { "check", "tag", "retag", "import" })
            QTest::newRow(command) << command;
    }
    void othersLinksNotFollowedAsRoot()
    {
        QFETCH(QString, command);
        if (::geteuid() != 0)
            QSKIP("needs root, to give a link to another user");
        QTemporaryDir dir;
        const QString tree = dir.filePath("tree"), secret = dir.filePath("secret"), theirs = dir.filePath("theirs");
        writeFile(secret, "secret");
        writeFile(theirs, "theirs");
        writeFile(
            dir.filePath("list"), sha256("secret").toHex() + "  innocent\n" + sha256("theirs").toHex() + "  own\n");
        QDir().mkpath(tree);
        makeSymlink(secret, tree + "/innocent");
        makeSymlink(theirs, tree + "/own");
        for (const QString& path : { tree + "/innocent", tree + "/own", theirs })
            QCOMPARE(::lchown(local(path).c_str(), 65534, 65534), 0);
        struct stat before = {}, after = {};
        QCOMPARE(::stat(local(secret).c_str(), &before), 0);
        const Result result =
            command == "import" ? cli({ "import", dir.filePath("list"), "--base", tree }) : cli({ command, tree });
        QCOMPARE(::stat(local(secret).c_str(), &after), 0);
        QCOMPARE(result.out.count(warnMark + "Couldn't read "), 1);
        QVERIFY2(result.out.contains(warnMark + "Couldn't read " + QFile::encodeName(tree)
                     + "/innocent (link owned by another user, not followed as root)\n"),
            result.out.constData());
        QVERIFY(attributeNames(secret).isEmpty());
        QVERIFY(before.st_ctim.tv_sec == after.st_ctim.tv_sec && before.st_ctim.tv_nsec == after.st_ctim.tv_nsec);
        QCOMPARE(attribute(theirs).has_value(), command != "check");
    }

    // Memory grows with a tree's depth, not with its square: with a path kept for each level, these 2,000
    // levels would take close to 1 GB.
    void deepTreeInBoundedMemory_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("totals");
        QTest::newRow("check") << "check" << okMark + "Digests for " << true;
        QTest::newRow("export") << "export" << sha256("").toHex() + "  " << false;
    }
    void deepTreeInBoundedMemory()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, line);
        QFETCH(bool, totals);
        QTemporaryDir dir;
        makeDeepTree(dir.path(), 2000, 255);
        QProcess run;
        run.start(CLI_PATH, { command, dir.path() });
        // The report comes at the end, and its line of 512 KB fills the pipe: the program waits for the test.
        QVERIFY(run.waitForReadyRead(60000));
        const long peak = peakKiB(run.processId());
        QVERIFY(run.waitForFinished(60000));
        QProcess::execute("rm", { "-rf", dir.path() }); // QDir cannot remove paths this long
        const QByteArray out = run.readAllStandardOutput();
        QCOMPARE(run.exitCode(), 0);
        QVERIFY(out.startsWith(line)
            && out.endsWith("/file\n" + (totals ? checkTotals(dir.path(), 1, 1, 0, 0) : QByteArray())));
        QVERIFY2(peak > 0 && peak < 100 * 1024, qPrintable(QString::number(peak)));
    }

    // The first SIGINT or SIGTERM stops the run after the file in hand; a second ends the program at once.
    // Nothing is timed: with --progress each JSON line goes out as its file is done into a pipe of one
    // page, and the run waits on it until the signals have been sent. A second signal of another kind
    // stays pending beside the first.
    void stopBySignal_data()
    {
        QTest::addColumn<QList<int>>("stops");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("SIGINT") << QList<int> { SIGINT } << 130;
        QTest::newRow("SIGTERM") << QList<int> { SIGTERM } << 143;
        QTest::newRow("SIGINT, then SIGTERM") << QList<int> { SIGINT, SIGTERM } << -1;
    }
    void stopBySignal()
    {
        QFETCH(QList<int>, stops);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        for (int i = 0; i < 200; ++i)
            writeFile(dir.filePath("file-%1").arg(i), "x");
        QProcess run;
        run.setChildProcessModifier([] { ::fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 4096); });
        run.start(CLI_PATH, { "--progress", "--jobs=1", "--format=jsonl", "check", dir.path() });
        QVERIFY(run.waitForReadyRead(60000)); // the run has begun: its signals are caught
        for (const int signal : stops)
            ::kill(pid_t(run.processId()), signal);
        QVERIFY(run.waitForFinished(60000));
        QCOMPARE(run.exitStatus() == QProcess::NormalExit ? run.exitCode() : -1, exitCode);
        QVERIFY(!run.readAllStandardError().contains('\n'));
        if (exitCode < 0)
            return;
        const QList<QByteArray> lines = run.readAllStandardOutput().trimmed().split('\n');
        const QJsonObject totals = QJsonDocument::fromJson(lines.last()).object();
        QVERIFY(totals["stopped"] == true && totals["files"] == lines.size() - 1 && lines.size() - 1 < 200);
        for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            QCOMPARE(QJsonDocument::fromJson(lines[i]).object()["outcome"], "no_digest");
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
