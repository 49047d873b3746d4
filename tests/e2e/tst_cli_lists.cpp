#include "fixtures.h"
#include "programrun.h"
#include "reports.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using namespace fixtures;

namespace {

ProgramResult cli(const QStringList& arguments, const QByteArray& input = {})
{
    return runProgram(CLI_PATH, arguments, {}, {}, input);
}

// Names sha256sum must escape or that a shell would split, below a folder of their own.
const QStringList awkwardNames = { "plain", "with space", "new\nline", "back\\slash", "cr\rname", "sub/deep file" };

QString awkwardTree(const QTemporaryDir& dir)
{
    const QString tree = dir.filePath("tree");
    for (int i = 0; i < awkwardNames.size(); ++i)
        writeFile(tree + "/" + awkwardNames[i], patternBytes(1000 + i, i + 1));
    return tree;
}

QByteArray importTotals(const QString& list, int total, int imported, int mismatched, int unread, int malformed)
{
    QByteArray text = "Imported a total of " + QByteArray::number(total) + " files listed in " + list.toUtf8() + "\n\t"
        + QByteArray::number(imported) + " matched the list and were tagged\n\t" + QByteArray::number(mismatched)
        + " didn't match the list\n\t0 couldn't be tagged.\n";
    if (unread)
        text += "\t" + QByteArray::number(unread) + " couldn't be read.\n";
    if (malformed)
        text += "\t" + QByteArray::number(malformed) + " lines of the list weren't checksum lines.\n";
    return text;
}

} // namespace

class TestCliLists : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QTemporaryDir probe;
        if (!supportsUserAttributes(probe.path()))
            QSKIP("the temporary folder's file system takes no user.* attributes");
    }

    // export, then the real sha256sum -c in the folder; import of the list into a copy without attributes.
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
        const QString tree = awkwardTree(dir);
        QCOMPARE(cli({ "tag", tree }).exitCode, 0);
        const ProgramResult exported = cli({ form == "--tag" ? form : "--", "export", tree });
        QVERIFY(exported.exitCode == 0 && exported.err.isEmpty());
        writeFile(dir.filePath("list"), exported.out);
        const ProgramResult sums = runProgram("sha256sum", { "--strict", "-c", dir.filePath("list") }, tree);
        QVERIFY2(sums.exitCode == 0 && sums.out.count(": OK\n") == awkwardNames.size(), sums.out + sums.err);

        // cp -r copies no attributes.
        QCOMPARE(runProgram("cp", { "-r", tree, dir.filePath("copy") }).exitCode, 0);
        const QString copy = dir.filePath("copy");
        const ProgramResult imported = fromStdin ? cli({ "import", "-", "--base", copy }, exported.out)
                                                 : cli({ "import", dir.filePath("list"), "--base=" + copy });
        const QString listName = fromStdin ? "standard input" : dir.filePath("list");
        QCOMPARE(imported.exitCode, 0);
        QCOMPARE(imported.out.count(okMark + "Imported " + QFile::encodeName(copy)), awkwardNames.size());
        QVERIFY(imported.out.endsWith(importTotals(listName, awkwardNames.size(), awkwardNames.size(), 0, 0, 0)));
        const ProgramResult check = cli({ "check", copy });
        QCOMPARE(check.exitCode, 0);
        QVERIFY(check.out.endsWith(checkTotals(copy, awkwardNames.size(), awkwardNames.size(), 0, 0)));
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
    void importRefusesWhatDoesNotMatch_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QList<int>>("totals"); // total, imported, mismatched, unreadable, malformed
        const QByteArray a = sha256("a").toHex(), b = sha256("b").toHex();
        QTest::newRow("tampered") << "\\" + a + "  a\n" + a + " *b\n"
                                  << QByteArray("+a-b") << QList<int> { 2, 1, 1, 0, 0 };
        QTest::newRow("missing") << "SHA256 (gone) = " + a + "\n"
                                 << QByteArray("?gone") << QList<int> { 1, 0, 0, 1, 0 };
        QTest::newRow("malformed") << a + " a\n\n" + b.left(63) + "  b\n\\" + b + "  b\\q\nSHA1 (b) = " + b + "\n"
                                   << QByteArray("#1#3#4#5") << QList<int> { 0, 0, 0, 0, 4 };
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
        QByteArray expected;
        const QByteArray folder = QFile::encodeName(dir.path()) + "/";
        for (qsizetype i = 0; i < lines.size(); i += 2) {
            const QByteArray name = lines.mid(i + 1, 1) == "g" ? "gone" : lines.mid(i + 1, 1);
            if (lines[i] == '+')
                expected += okMark + "Imported " + folder + name + "\n";
            else if (lines[i] == '-')
                expected += badMark + "Digest for " + folder + name + " doesn't match the list\n";
            else if (lines[i] == '?')
                expected += warnMark + "Couldn't read " + folder + name + " (No such file or directory)\n";
            else
                expected += warnMark + "Line " + name + " of the list isn't a checksum line\n";
            i += name.size() - 1;
        }
        const ProgramResult result = cli({ "import", dir.filePath("list") });
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.out,
            expected + importTotals(dir.filePath("list"), totals[0], totals[1], totals[2], totals[3], totals[4]));
        QCOMPARE(attribute(dir.filePath("a")).has_value(), lines.contains("+a"));
        QVERIFY(attributeNames(dir.filePath("b")).isEmpty());
        QCOMPARE(cli({ "import", dir.filePath("no-list") }).exitCode, 2);
    }

    // Every JSON line parses, one object per file, and the totals are the text report's.
    void jsonLinesCountAsTheTextReport_data()
    {
        QTest::addColumn<QString>("command");
        for (const char* command : { "check", "tag", "retag", "import" })
            QTest::newRow(command) << command;
    }
    void jsonLinesCountAsTheTextReport()
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
            writeFile(dir.filePath("list"), sha256("g").toHex() + "  good\n" + sha256("x").toHex() + "  none\nno\n");
            return cli(options + QStringList { command, subject, command == "import" ? "--base=" + tree : "--" });
        };
        const ProgramResult text = run({});
        const ProgramResult json = run({ "--format=jsonl" });
        ::unlink(odd.constData());
        QCOMPARE(json.exitCode, text.exitCode);
        QMap<QString, int> outcomes;
        QJsonObject totals;
        for (const QByteArray& line : json.out.split('\n')) {
            const QJsonDocument document = QJsonDocument::fromJson(line);
            QVERIFY2(line.isEmpty() || document.isObject(), line.constData());
            totals = document.object();
            QVERIFY(line.isEmpty() || totals["version"].toInt() == 1);
            ++outcomes[totals["outcome"].toString()];
            if (totals["path"].toString().endsWith("odd\uFFFD"))
                QCOMPARE(QByteArray::fromBase64(totals["path_base64"].toString().toLatin1()), odd);
        }
        totals = QJsonDocument::fromJson(json.out.split('\n').at(json.out.count('\n') - 1)).object();
        QCOMPARE(totals["type"].toString(), "totals");
        QCOMPARE(totals["stopped"], false);
        const auto n = [&totals](const char* key) { return totals[key].toInt(); };
        QByteArray expected;
        if (command == "check")
            expected = checkTotals(tree, n("files"), n("matched"), n("mismatched"), n("no_digest"));
        else if (command == "tag")
            expected = tagTotals(tree, n("files"), n("not_tagged"));
        else if (command == "retag")
            expected = retagTotals(tree, n("files"), n("matched"), n("retagged"), n("tagged_first_time"));
        else
            expected = importTotals(subject, n("files"), n("imported"), n("mismatched"), 0, n("malformed"));
        QVERIFY2(text.out.contains(expected), text.out.constData());
        QCOMPARE(json.out.count("\"path_base64\""), command == "import" ? 0 : 1);
        QCOMPARE(outcomes.value("unreadable"), n("unreadable"));
        QCOMPARE(n("files") + outcomes.value("malformed"), json.out.count('\n') - 1);
        QCOMPARE(text.out.count('\n'), expected.count('\n') + json.out.count('\n') - 1 + (n("unreadable") > 0));
    }

    // --quiet keeps the problem lines, the notices and the totals, and nothing else.
    void quietKeepsProblemsOnly_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("problem");
        QTest::newRow("check") << "check" << badMark + "Digests for ";
        QTest::newRow("tag") << "tag" << warnMark + "Couldn't read ";
        QTest::newRow("retag") << "retag" << warnMark + "Retagged ";
    }
    void quietKeepsProblemsOnly()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, problem);
        QTemporaryDir dir;
        const auto run = [&dir, &command](const QStringList& options) {
            for (const char* name : { "a", "b", "c" }) {
                writeFile(dir.filePath(name), name);
                tagCorrectly(dir.filePath(name));
            }
            writeFile(dir.filePath("c"), "changed");
            return cli(options + QStringList { command, dir.path() });
        };
        makeFifo(dir.filePath("fifo"));
        const ProgramResult full = run({});
        const ProgramResult quiet = run({ "--quiet" });
        QCOMPARE(quiet.exitCode, full.exitCode);
        QByteArray problems;
        for (const QByteArray& line : full.out.split('\n'))
            if (!line.startsWith(okMark) && !line.startsWith("Digest ") && !line.isEmpty())
                problems += line + "\n";
        QVERIFY(problems.size() < full.out.size() && problems.contains(problem));
        QCOMPARE(quiet.out, problems);
    }
};

QTEST_GUILESS_MAIN(TestCliLists)
#include "tst_cli_lists.moc"
