#include "guifixtures.h"
#include "report/reportpane.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QSettings>
#include <QTimer>

#include <cerrno>

using namespace guifixtures;
using orvane::Operation;

Q_DECLARE_METATYPE(Operation)

namespace {

const Operation operations[] = { Operation::Check, Operation::Tag, Operation::Retag };

struct Window
{
    explicit Window(const QString& path, bool gated = false)
    {
        if (gated)
            controller.setReadFunction(gate.reader());
        if (!path.isEmpty())
            setItem(controller, path);
        controller.show();
    }
    void click(Operation operation)
    {
        press(&controller, std::array { "theCheckButton", "theHashButton", "theRetagButton" }[int(operation)]);
    }
    [[nodiscard]] QByteArray report() const
    {
        return controller.reportBytes();
    }
    [[nodiscard]] bool stoppable() const
    {
        return child<QWidget>(&controller, "progressRow")->isVisible()
            && child<QPushButton>(&controller, "stopButton")->isEnabled();
    }

    ViewController controller;
    ReadGate gate; // goes first, letting held reads finish before the window goes
    QSignalSpy ended { &controller, &ViewController::runEnded };
    QSignalSpy told { &controller, &ViewController::folderRunEnded };
};

} // namespace

class TestRunner : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        useTestSettings();
        SKIP_WITHOUT_USER_ATTRIBUTES();
    }
    void cleanup()
    {
        QSettings().setValue(QLatin1String(ViewController::askBeforeTagKey), false);
    }

    // Files for each outcome Check and Retag tell apart, with names a text view would rewrite.
    void reportsReachTheWindow_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QStringList>("told"); // each folder run's line for a notification; %1: the folder's name
        const QStringList folderLines[] = { { "Check of %1: 1 possibly damaged, 1 didn't match, 3 had no digest" },
            { "Tag of %1: 6 files tagged", "Tag of %1: 6 files tagged" },
            { "Retag of %1: 1 possibly damaged, not retagged, 1 retagged, 3 tagged for the first time",
                "Retag of %1: 1 possibly damaged, not retagged" } };
        for (Operation operation : operations) {
            const char* name = std::array { "Check", "Tag", "Retag" }[int(operation)];
            QTest::addRow("%s folder", name) << operation << QString() << folderLines[int(operation)];
            QTest::addRow("%s file", name) << operation << QStringLiteral("sub/changed.bin") << QStringList();
        }
    }
    void reportsReachTheWindow()
    {
        QFETCH(Operation, operation);
        QFETCH(QString, item);
        QFETCH(QStringList, told);
        QTemporaryDir dir;
        writeFile(dir.filePath("matched.txt"), "kept as it was");
        tagCorrectly(dir.filePath("matched.txt"));
        writeFile(dir.filePath("sub/changed.bin"), patternBytes(700000));
        QVERIFY(setAttribute(dir.filePath("sub/changed.bin"), sha256("what it held before")));
        writeFile(dir.filePath("sub/deeper/never tagged"), "n");
        writeFile(dir.filePath("empty value"), "e");
        QVERIFY(setAttribute(dir.filePath("empty value"), ""));
        writeFile(dir.filePath("odd/carriage\rreturn\u2028"), "odd");
        writeFile(dir.filePath("damaged.jpg"), "changed, its time kept"); // as if tagged with other contents
        QVERIFY(setAttribute(dir.filePath("damaged.jpg"), sha256("as tagged")));
        QVERIFY(setAttribute(
            dir.filePath("damaged.jpg"), timeValueOf(dir.filePath("damaged.jpg")), orvane::theTimeXattrName));
        QVERIFY(QDir().mkpath(dir.filePath("only/folders")));
        const QString path = item.isEmpty() ? dir.path() : dir.filePath(item);
        Window window(path);
        // After a first Tag or Retag the engine's own run reports the same as the window's second.
        for (int run = operation == Operation::Check ? 1 : 0; run < 2; ++run) {
            window.click(operation);
            QVERIFY(window.ended.wait());
        }
        QCOMPARE(window.report(), engineReport(operation, path));
        QStringList lines;
        for (const QList<QVariant>& line : std::as_const(window.told))
            lines << line.first().toString();
        QCOMPARE(lines, told.replaceInStrings(QStringLiteral("%1"), QDir(dir.path()).dirName()));
        if (operation == Operation::Check && item.isEmpty())
            QVERIFY(
                child<QLabel>(&window.controller, "problemsLine")->text().startsWith("1 file is possibly damaged; "));
    }

    // Lines reach the window as files are done: while the read of the file walked last is held, the problems
    // before it are shown and counted; the totals come when it ends.
    void linesAsFilesAreDone()
    {
        QTemporaryDir dir;
        for (int i = 0; i < 6; ++i) {
            const QString file = dir.filePath(QString::number(i));
            writeFile(file, "tagged");
            tagCorrectly(file);
            writeFile(file, "changed");
        }
        const QByteArray report = engineReport(Operation::Check, dir.path());
        const QString held = walkOrder(dir.path()).last();
        const QByteArray last = report.split('\n').at(5);
        Window window(dir.path());
        window.controller.setReadFunction(window.gate.reader(QFile::encodeName(held).constData()));
        window.click(Operation::Check);
        QTRY_COMPARE(window.gate.waiting(), 1);
        QTRY_COMPARE(window.report(), report.left(report.indexOf(last)));
        QVERIFY(child<QLabel>(&window.controller, "problemsLine")->text().startsWith("5 lines are warnings"));
        window.gate.open();
        QVERIFY(window.ended.wait());
        QCOMPARE(window.report(), report);
    }

    // The run reads off the GUI thread: while a read is held, the window answers.
    void runBeforeDuringAfter_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("stop"); // 0: none, 1: the Stop button, 2: Escape, 3: Escape in the find bar
        QTest::addColumn<int>("tagged"); // -1: the files in hand, fewer than all
        QTest::newRow("folder") << QString() << 0 << 10;
        QTest::newRow("single file") << QStringLiteral("a0") << 0 << 1;
        QTest::newRow("Stop") << QString() << 1 << -1;
        QTest::newRow("Escape") << QString() << 2 << -1;
        QTest::newRow("Escape closes the find bar, the run goes on") << QString() << 3 << 10;
    }
    void runBeforeDuringAfter()
    {
        QFETCH(QString, item);
        QFETCH(int, stop);
        QFETCH(int, tagged);
        QTemporaryDir dir;
        QStringList files; // more than the 8 files a run may hash at once
        for (int i = 0; i < 10; ++i)
            writeFile(files.emplace_back(dir.filePath(QStringLiteral("a%1").arg(i))), "x");
        Window window({}, true);
        QVERIFY(QTest::qWaitForWindowActive(&window.controller));
        window.controller.setReportText(QStringLiteral("earlier\n"));
        for (Operation operation : operations)
            window.click(operation);
        QCOMPARE(window.report(), QByteArray("earlier\n"));
        QVERIFY(!window.stoppable());

        setItem(window.controller, item.isEmpty() ? dir.path() : dir.filePath(item));
        window.click(Operation::Tag);
        QTRY_VERIFY(window.gate.waiting() >= 1);
        QVERIFY(window.stoppable());
        QCOMPARE(window.report(), QByteArray());
        bool turned = false;
        QTimer::singleShot(0, &window.controller, [&turned] { turned = true; });
        QTRY_VERIFY(turned);
        if (stop == 1)
            press(&window.controller, "stopButton");
        if (stop == 2)
            QTest::keyClick(&window.controller, Qt::Key_Escape);
        if (stop == 3) {
            window.controller.reportPane()->find();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            QVERIFY(child<QWidget>(&window.controller, "findBar")->isHidden());
        }
        window.gate.open();
        QVERIFY(window.ended.wait());
        QVERIFY(!window.stoppable());
        stop = stop == 3 ? 0 : stop;
        const auto stored = std::count_if(files.begin(), files.end(), [](const QString& file) {
            return attribute(file) == std::optional(digestOfFile(file));
        });
        const auto written =
            std::count_if(files.begin(), files.end(), [](const QString& file) { return attribute(file); });
        QCOMPARE(written, stored); // nothing half written
        if (stop) {
            QVERIFY(stored >= 1 && stored < files.size());
            QVERIFY(window.report().endsWith(QByteArray(
                warnMark + "Stopped after " + QByteArray::number(stored) + " files: the run did not finish.\n")));
            QCOMPARE(window.told.takeFirst().first(),
                QStringLiteral("Tag of %1: stopped after %2 files").arg(QDir(dir.path()).dirName()).arg(stored));
        } else {
            QCOMPARE(stored, tagged);
        }
    }

    // Quick clicks: up to 8 runs at once; the progress row stays while any still walks.
    void overlappingRuns()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("a"), "a");
        tagCorrectly(dir.filePath("a"));
        Window window(dir.path(), true);
        window.click(Operation::Check);
        QTRY_COMPARE(window.gate.waiting(), 1);
        window.controller.setReadFunction([](int, void*, std::size_t) -> ssize_t {
            errno = EIO;
            return -1;
        });
        window.click(Operation::Check); // keeps the held run's part of the report
        QVERIFY(window.ended.wait());
        const QByteArray failed = window.report();
        QVERIFY(!failed.isEmpty());
        QVERIFY(window.stoppable()); // the other runs go on

        window.controller.setReadFunction(window.gate.reader());
        for (int i = 0; i < 8; ++i)
            window.click(Operation::Check);
        QTRY_COMPARE(window.gate.waiting(), 8);
        window.gate.open();
        QTRY_COMPARE(window.ended.count(), 10);
        QCOMPARE(window.gate.peak(), 8);
        const QByteArray report = engineReport(Operation::Check, dir.path());
        QCOMPARE(window.report(), report + failed + report.repeated(8));
    }

    // Tag asks first, over its window; Cancel, the default, writes nothing, and "Don't ask again" is kept.
    void tagAsksFirst_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("tag"); // else Cancel
        QTest::addColumn<bool>("dontAsk");
        QTest::newRow("Cancel") << QString() << false << true;
        QTest::newRow("Tag") << QString() << true << false;
        QTest::newRow("Tag, don't ask again") << QString() << true << true;
        QTest::newRow("a single file") << QStringLiteral("a") << true << false;
    }
    void tagAsksFirst()
    {
        QFETCH(QString, item);
        QFETCH(bool, tag);
        QFETCH(bool, dontAsk);
        QSettings().setValue(QLatin1String(ViewController::askBeforeTagKey), true);
        QTemporaryDir dir;
        writeFile(dir.filePath("a"), "a");
        const QString path = item.isEmpty() ? dir.path() : dir.filePath(item);
        Window window(path);
        window.controller.setReportText(QStringLiteral("earlier\n"));
        window.click(Operation::Tag);
        window.click(Operation::Tag); // brings the same question forward
        QTRY_VERIFY(messageBox("tagQuestion"));
        QMessageBox* question = messageBox("tagQuestion");
        QCOMPARE(question->defaultButton()->text(), QStringLiteral("Cancel"));
        QTRY_VERIFY((question->geometry().center() - window.controller.geometry().center()).manhattanLength() < 8);
        question->checkBox()->setChecked(dontAsk);
        QCOMPARE(answer("tagQuestion", tag ? "Tag" : "Cancel"),
            QStringLiteral("Replace the stored digests in %1?").arg(QFileInfo(path).fileName()));
        QVERIFY(!tag || window.ended.wait());
        QCOMPARE(attribute(dir.filePath("a")).has_value(), tag);
        QCOMPARE(window.report().startsWith("earlier"), !tag);
        const bool asks = !(tag && dontAsk);
        QCOMPARE(QSettings().value(QLatin1String(ViewController::askBeforeTagKey)).toBool(), asks);
        window.click(Operation::Tag);
        QVERIFY(asks ? !answer("tagQuestion", "Cancel").isEmpty() : window.ended.wait());
    }

    // On a read-only volume Tag's notices reach the window ahead of the run's own text.
    void failuresReachTheWindow()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath("photos");
        writeFile(folder + "/a.jpg", "a");
        Window window(folder);
        QSignalSpy failed(&window.controller, &ViewController::errorOccurred);
        QVERIFY(QDir(folder).removeRecursively());
        for (const QString reason : { "No such file or directory", "Not a directory" }) {
            window.click(Operation::Check);
            QVERIFY(failed.wait());
            QCOMPARE(failed.takeFirst().at(0).toString(),
                QStringLiteral("The folder %1 could not be read: %2.").arg(folder, reason));
            QVERIFY(!window.stoppable());
            QCOMPARE(window.report(), QByteArray());
            writeFile(folder, "now a file");
        }

        const QString root = dir.filePath("volume");
        ScratchMount mount(root);
        writeFile(root + "/a.txt", "a");
        writeFile(root + "/b.txt", "b");
        if (!mount.valid() || !mount.makeReadOnly())
            QSKIP(qPrintable(mount.reason()));
        for (const QString& item : QStringList { root, root + "/a.txt" }) {
            setItem(window.controller, item);
            window.click(Operation::Tag);
            QVERIFY(window.ended.wait());
            QCOMPARE(window.report(), engineReport(Operation::Tag, item));
        }
    }
};

QTEST_MAIN(TestRunner)
#include "tst_runner.moc"
