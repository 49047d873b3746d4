#include "fixtures.h"
#include "reports.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

using namespace fixtures;

namespace {

ProgramResult cli(const QStringList& arguments, const QByteArray& input = {})
{
    return runProgram(CLI_PATH, arguments, {}, {}, input);
}

QByteArray importTotals(const QString& list, int total, int imported, int mismatched, int unread, int malformed)
{
    const auto n = [](int count) { return QByteArray::number(count); };
    return "Imported a total of " + n(total) + " files listed in " + list.toUtf8() + "\n\t" + n(imported)
        + " matched the list and were tagged\n\t" + n(mismatched) + " didn't match the list\n\t0 couldn't be tagged.\n"
        + (unread ? "\t" + n(unread) + " couldn't be read.\n" : "")
        + (malformed ? "\t" + n(malformed) + " lines of the list weren't checksum lines.\n" : "");
}

} // namespace

class TestCliLists : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SKIP_WITHOUT_USER_ATTRIBUTES();
    }

    // export, the real sha256sum -c in the folder, then import of the list into a copy without attributes.
    void exportThenSha256sumThenImport_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<bool>("fromStdin");
        QTest::newRow("GNU") << "--no-progress" << false;
        QTest::newRow("BSD, standard input") << "--tag" << true;
    }
    void exportThenSha256sumThenImport()
    {
        QFETCH(QString, form);
        QFETCH(bool, fromStdin);
        QTemporaryDir dir;
        const QString tree = dir.filePath("tree"), copy = dir.filePath("copy"), list = dir.filePath("list");
        const QStringList names = { "plain", "with space", "new\nline", "back\\slash", "cr\rname", "sub/deep file" };
        for (int i = 0; i < names.size(); ++i)
            writeFile(tree + "/" + names[i], patternBytes(1000 + i, i + 1));
        QCOMPARE(cli({ "tag", tree }).exitCode, 0);
        const ProgramResult exported = cli({ form, "export", tree });
        QVERIFY(exported.exitCode == 0 && exported.err.isEmpty());
        writeFile(list, exported.out);
        const ProgramResult sums = runProgram("sha256sum", { "--strict", "-c", list }, tree);
        QVERIFY2(sums.exitCode == 0 && sums.out.count(": OK\n") == names.size(), sums.out + sums.err);

        QCOMPARE(runProgram("cp", { "-r", tree, copy }).exitCode, 0); // cp -r copies no attributes
        const ProgramResult imported = fromStdin ? cli({ "import", "-", "--base", copy }, exported.out)
                                                 : cli({ "import", list, "--base=" + copy });
        QVERIFY(imported.exitCode == 0
            && imported.out.count(okMark + "Imported " + QFile::encodeName(copy)) == names.size());
        QVERIFY(imported.out.endsWith(
            importTotals(fromStdin ? "standard input" : list, names.size(), names.size(), 0, 0, 0)));
        const ProgramResult check = cli({ "check", copy });
        QVERIFY(check.exitCode == 0 && check.out.endsWith(checkTotals(copy, names.size(), names.size(), 0, 0)));
    }

    // export lists the stored digest, not the contents', and names files without a digest on stderr.
    void exportReadsOnlyTheAttribute()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("stale"), "before");
        tagCorrectly(dir.filePath("stale"));
        writeFile(dir.filePath("stale"), "after");
        writeFile(dir.filePath("none"), "n");
        writeFile(dir.filePath("short"), "s");
        QVERIFY(setAttribute(dir.filePath("short"), QByteArray(31, 'x')));
        const ProgramResult result = cli({ "export", dir.path() });
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.out, sha256("before").toHex() + "  stale\n");
        QVERIFY(result.err.contains(QFile::encodeName(dir.filePath("none")) + ": no digest stored\n"));
        QVERIFY(result.err.contains(": the stored value is 31 bytes, not a digest\n"));
    }

    // A digest is never stored for contents that do not match the list; bad lines are named by number.
    // In the lines expected, @ stands for the list's folder.
    void importRefusesWhatDoesNotMatch_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QList<int>>("totals"); // total, imported, mismatched, unreadable, malformed
        const QByteArray a = sha256("a").toHex(), b = sha256("b").toHex();
        QTest::newRow("tampered") << "\\" + a + "  a\n" + a + " *b\n"
                                  << okMark + "Imported @a\n" + badMark + "Digest for @b doesn't match the list\n"
                                  << QList<int> { 2, 1, 1, 0, 0 };
        QTest::newRow("missing") << "SHA256 (gone) = " + a + "\n"
                                 << warnMark + "Couldn't read @gone (No such file or directory)\n"
                                 << QList<int> { 1, 0, 0, 1, 0 };
        QByteArray malformed;
        for (const char* line : { "1", "3", "4", "5" })
            malformed += warnMark + "Line " + line + " of the list isn't a checksum line\n";
        QTest::newRow("malformed") << a + " a\n\n" + b.left(63) + "  b\n\\" + b + "  b\\q\nSHA1 (b) = " + b + "\n"
                                   << malformed << QList<int> { 0, 0, 0, 0, 4 };
        QTest::newRow("CRLF") << a + "  a\r\n\r\n" + a + "  b\r\n"
                              << okMark + "Imported @a\n" + badMark + "Digest for @b doesn't match the list\n"
                              << QList<int> { 2, 1, 1, 0, 0 };
        QTest::newRow("NUL") << a + "  a" + QByteArray(1, '\0') + "b\n"
                             << warnMark + "Line 1 of the list isn't a checksum line\n"
                             << QList<int> { 0, 0, 0, 0, 1 };
        // 64 KiB and no more: the line of 65,536 bytes names a file, the next one longer is no line.
        const QByteArray longest = QByteArray(65536 - 66, 'x');
        QTest::newRow("longest line") << a + "  " + longest + "\r\n"
                                      << warnMark + "Couldn't read @" + longest + " (File name too long)\n"
                                      << QList<int> { 1, 0, 0, 1, 0 };
        QTest::newRow("a byte longer") << a + "  x" + longest + "\n"
                                       << warnMark + "Line 1 of the list isn't a checksum line\n"
                                       << QList<int> { 0, 0, 0, 0, 1 };
    }
    void importRefusesWhatDoesNotMatch()
    {
        QFETCH(QByteArray, list);
        QFETCH(QByteArray, lines);
        QFETCH(QList<int>, totals);
        QTemporaryDir dir;
        writeFile(dir.filePath("a"), "a");
        writeFile(dir.filePath("b"), "tampered");
        writeFile(dir.filePath("list"), list);
        const ProgramResult result = cli({ "import", dir.filePath("list") });
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.out,
            lines.replace("@", QFile::encodeName(dir.path()) + "/")
                + importTotals(dir.filePath("list"), totals[0], totals[1], totals[2], totals[3], totals[4]));
        QCOMPARE(attribute(dir.filePath("a")).has_value(), lines.contains("Imported"));
        QVERIFY(attributeNames(dir.filePath("b")).isEmpty());
        QCOMPARE(cli({ "import", dir.filePath("no-list") }).exitCode, 2);
    }

    // The list is read as it comes, in bounded memory: 128 MiB without a line feed are never held, and a
    // stop signal ends an import that waits for the rest of its list, as it ends a run.
    void importReadsAsTheListComes_data()
    {
        QTest::addColumn<int>("signal"); // 0: the list goes on and ends
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<int>("exitCode");
        const QByteArray stopped = warnMark + "Stopped after 1 files: the run did not finish.\n";
        QTest::newRow("NULs, SIGINT") << SIGINT << okMark + "Imported @a\n" + stopped << 130;
        QTest::newRow("a long line") << 0
                                     << okMark + "Imported @a\n" + warnMark
                + "Line 2 of the list isn't a checksum line\n" + okMark + "Imported @b\n"
                + importTotals("standard input", 2, 2, 0, 0, 1)
                                     << 1;
    }
    void importReadsAsTheListComes()
    {
        QFETCH(int, signal);
        QFETCH(QByteArray, lines);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        writeFile(dir.filePath("a"), "a");
        writeFile(dir.filePath("b"), "b");
        QProcess importer;
        importer.setChildProcessModifier([] { ::fcntl(STDIN_FILENO, F_SETPIPE_SZ, 4096); });
        importer.start(CLI_PATH, { "import", "-", "--base", dir.path() });
        importer.write(sha256("a").toHex() + "  a\n" + QByteArray(128 << 20, signal ? '\0' : 'x'));
        // In a pipe of one page: once all is written, the import has read all but a page, so it has taken
        // the first line and reads the second.
        while (importer.bytesToWrite() > 0)
            QVERIFY(importer.waitForBytesWritten(60000));
        const long peak = peakKiB(importer.processId());
        QVERIFY2(peak > 0 && peak < 100 * 1024, qPrintable(QString::number(peak)));
        if (signal)
            ::kill(pid_t(importer.processId()), signal);
        else
            importer.write("\n" + sha256("b").toHex() + "  b\n");
        importer.closeWriteChannel();
        QVERIFY(importer.waitForFinished(60000));
        QCOMPARE(importer.exitCode(), exitCode);
        QCOMPARE(importer.readAllStandardOutput(), lines.replace("@", QFile::encodeName(dir.path()) + "/"));
    }

    // Every JSON line parses, one object per file, and the totals are the text report's; --quiet keeps the
    // text report's problem lines, notices and totals, and nothing else.
    void jsonLinesAndQuiet_data()
    {
        QTest::addColumn<QString>("command");
        for (const char* command : { "check", "tag", "retag", "import" })
            QTest::newRow(command) << command;
    }
    void jsonLinesAndQuiet()
    {
        QFETCH(QString, command);
        QTemporaryDir dir;
        const QString tree = dir.filePath("tree");
        const QByteArray odd = QFile::encodeName(tree) + "/odd\xff";
        const QString subject = command == "import" ? dir.filePath("list") : tree;
        const auto run = [&](const QStringList& options) {
            ::unlink(odd.constData()); // QDir and QTemporaryDir cannot name it
            QDir(tree).removeRecursively();
            writeFile(tree + "/good", "g");
            tagCorrectly(tree + "/good");
            writeFile(tree + "/changed", "c");
            setAttribute(tree + "/changed", sha256("other"));
            writeFile(tree + "/none", "n");
            makeFifo(tree + "/fifo");
            ::close(::open(odd.constData(), O_CREAT | O_WRONLY, 0644));
            writeFile(dir.filePath("list"),
                sha256("g").toHex() + "  good\n" + sha256("x").toHex() + "  none\nno\n" + sha256("x").toHex()
                    + "  fifo\n");
            return cli(options + QStringList { command, subject, command == "import" ? "--base=" + tree : "--" });
        };
        const ProgramResult text = run({});
        const ProgramResult json = run({ "--format=jsonl" }), quiet = run({ "--quiet" });
        ::unlink(odd.constData());
        QVERIFY(json.exitCode == text.exitCode && quiet.exitCode == text.exitCode);
        QByteArray problems;
        for (const QByteArray& line : text.out.split('\n'))
            problems += line.startsWith(okMark) || line.startsWith("Digest ") || line.isEmpty() ? "" : line + "\n";
        QVERIFY(problems.size() < text.out.size() && problems.contains(warnMark + "Couldn't read "));
        QCOMPARE(quiet.out, problems);
        QMap<QString, int> outcomes;
        const QList<QByteArray> lines = json.out.trimmed().split('\n');
        for (const QByteArray& line : lines) {
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            QVERIFY2(object["version"].toInt() == 1, line.constData());
            ++outcomes[object["outcome"].toString()];
            if (object.contains("path_base64"))
                QCOMPARE(QByteArray::fromBase64(object["path_base64"].toString().toLatin1()), odd);
        }
        QCOMPARE(json.out.count("\"path_base64\""), command == "import" ? 0 : 1);
        const QJsonObject totals = QJsonDocument::fromJson(lines.last()).object();
        QVERIFY(totals["type"] == "totals" && totals["stopped"] == false);
        const auto n = [&totals](const char* key) { return totals[key].toInt(); };
        QByteArray expected;
        if (command == "check")
            expected = checkTotals(tree, n("files"), n("matched"), n("mismatched"), n("no_digest"));
        else if (command == "tag")
            expected = tagTotals(tree, n("files"), n("not_tagged"));
        else if (command == "retag")
            expected = retagTotals(tree, n("files"), n("matched"), n("retagged"), n("tagged_first_time"));
        else
            expected =
                importTotals(subject, n("files"), n("imported"), n("mismatched"), n("unreadable"), n("malformed"));
        QVERIFY2(text.out.contains(expected), text.out.constData());
        QCOMPARE(outcomes.value("unreadable"), n("unreadable"));
        QCOMPARE(n("files") + outcomes.value("malformed"), lines.size() - 1);
    }
};

QTEST_GUILESS_MAIN(TestCliLists)
#include "tst_cli_lists.moc"
