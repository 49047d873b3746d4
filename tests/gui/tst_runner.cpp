// The window side of a run, driven by clicking the real buttons of a real ViewController over real trees:
// the engine's report reaches the window whole and unchanged, in one piece at the end; the busy indicator,
// the progress row and Stop before, during and after; overlapping runs; Tag's notices first; folders that
// cannot be read. The report's wording itself is the engine's and is tested there.

#include "guifixtures.h"
#include "readgate.h"
#include "runner/busyindicator.h"
#include "runner/viewcontroller.h"

#include <QDir>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cerrno>

using namespace guifixtures;
using orvane::Operation;

Q_DECLARE_METATYPE(Operation)

namespace {

const char* buttonName(Operation operation)
{
    const char* const names[] = { "theCheckButton", "theHashButton", "theRetagButton" };
    return names[int(operation)];
}

void click(ViewController& controller, Operation operation)
{
    QTest::mouseClick(child<QPushButton>(&controller, buttonName(operation)), Qt::LeftButton);
}

QByteArray report(const ViewController& controller)
{
    return controller.reportText().toUtf8();
}

bool busy(const ViewController& controller)
{
    const auto* spinner = child<BusyIndicator>(&controller, "progressSpinner");
    return spinner->isVisible() && spinner->isAnimating();
}

// The progress row shows, and Stop may be pressed, while any run of the window is going.
bool stoppable(const ViewController& controller)
{
    const bool row = child<QWidget>(&controller, "runProgressRow")->isVisible();
    return row && child<QPushButton>(&controller, "theStopButton")->isEnabled();
}

// Files at several depths, one for each outcome Check and Retag tell apart, with names a text view would
// rewrite if it could.
void makeTree(const QString& root)
{
    writeFile(root + "/matched.txt", "kept as it was");
    tagCorrectly(root + "/matched.txt");
    writeFile(root + "/sub/changed.bin", patternBytes(700000));
    QVERIFY(setAttribute(root + "/sub/changed.bin", sha256("what it held before")));
    writeFile(root + "/sub/deeper/never tagged", "n");
    writeFile(root + "/empty value", "e");
    QVERIFY(setAttribute(root + "/empty value", ""));
    writeFile(root + "/odd/carriage\rreturn\u2028", "odd");
    QVERIFY(QDir().mkpath(root + "/only/folders"));
}

} // namespace

class TestRunner : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        useTestSettings();
        QTemporaryDir probe;
        if (!supportsUserAttributes(probe.path()))
            QSKIP("the temporary folder's file system takes no user.* attributes");
    }

    void noItemChangesNothing()
    {
        ViewController controller;
        controller.show();
        controller.setReportText(QStringLiteral("earlier\n"));
        for (Operation operation : { Operation::Check, Operation::Tag, Operation::Retag })
            click(controller, operation);
        QCOMPARE(controller.reportText(), QStringLiteral("earlier\n"));
        QVERIFY(!busy(controller));
    }

    // The window shows exactly what the engine reports, for a folder and for a single file, in one piece once
    // the run has ended.
    void reportsReachTheWindow_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<QString>("item");
        for (Operation operation : { Operation::Check, Operation::Tag, Operation::Retag }) {
            QTest::addRow("%s folder", buttonName(operation)) << operation << QString();
            QTest::addRow("%s file", buttonName(operation)) << operation << QStringLiteral("sub/changed.bin");
        }
    }
    void reportsReachTheWindow()
    {
        QFETCH(Operation, operation);
        QFETCH(QString, item);
        QTemporaryDir dir;
        makeTree(dir.path());
        const QString path = item.isEmpty() ? dir.path() : dir.filePath(item);
        ViewController controller;
        setItem(controller, path);
        controller.show();
        QSignalSpy ended(&controller, &ViewController::runEnded);
        click(controller, operation);
        QVERIFY(ended.wait());
        QVERIFY(!report(controller).isEmpty());
        QVERIFY(!busy(controller));
        // Run again behind the window's back: Tag and Retag have stored every digest by now, so the second
        // run reports what the window's run did only for Check; compare that, and the others' second run.
        if (operation != Operation::Check) {
            click(controller, operation);
            QVERIFY(ended.wait());
        }
        QCOMPARE(report(controller), engineReport(operation, path));
    }

    // Folder or single file, the run reads off the GUI thread: while a read is held, the window answers.
    void spinnerBeforeDuringAfter_data()
    {
        QTest::addColumn<QString>("item");
        QTest::newRow("folder") << QString();
        QTest::newRow("single file") << QStringLiteral("a");
    }
    void spinnerBeforeDuringAfter()
    {
        QFETCH(QString, item);
        QTemporaryDir dir;
        writeFile(dir.filePath("a"), "a");
        ViewController controller;
        ReadGate gate;
        controller.setReadFunction(gate.reader());
        const QString path = item.isEmpty() ? dir.path() : dir.filePath(item);
        setItem(controller, path);
        controller.show();
        QVERIFY(QTest::qWaitForWindowExposed(&controller));
        controller.setReportText(QStringLiteral("earlier\n"));
        QVERIFY(!busy(controller));

        QSignalSpy ended(&controller, &ViewController::runEnded);
        click(controller, Operation::Check);
        QTRY_COMPARE(gate.waiting(), 1);
        QVERIFY(busy(controller) && stoppable(controller));
        QCOMPARE(controller.reportText(), QString()); // cleared; nothing of the run shows before its end
        QCOMPARE(controller.runsInFlight(), 1);
        // The event loop turns while the read is held.
        bool turned = false;
        QTimer::singleShot(0, &controller, [&turned] { turned = true; });
        QTRY_VERIFY(turned);
        gate.open();
        QVERIFY(ended.wait());
        QVERIFY(!busy(controller) && !stoppable(controller));
        QCOMPARE(report(controller), engineReport(Operation::Check, path));
    }

    // Quick clicks: runs of their own, up to 8 walking at once. Each text appears whole, in the order the
    // runs end, and the first end stops the spinner although others still walk.
    void overlappingRuns()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("a"), "a");
        tagCorrectly(dir.filePath("a"));
        ViewController controller;
        setItem(controller, dir.path());
        controller.show();
        QSignalSpy ended(&controller, &ViewController::runEnded);
        ReadGate gate;
        controller.setReadFunction(gate.reader());
        click(controller, Operation::Check);
        QTRY_COMPARE(gate.waiting(), 1);

        // A run that reads nothing ends first, while the other waits at the gate.
        controller.setReadFunction([](int, void*, std::size_t) -> ssize_t {
            errno = EIO;
            return -1;
        });
        click(controller, Operation::Check);
        QVERIFY(ended.wait());
        QVERIFY(!report(controller).isEmpty());
        QVERIFY(!busy(controller) && stoppable(controller)); // the first end stops the spinner

        controller.setReadFunction(gate.reader());
        for (int i = 0; i < 8; ++i)
            click(controller, Operation::Check);
        QTRY_COMPARE(gate.waiting(), 8);
        QCOMPARE(controller.runsInFlight(), 9);
        gate.open();
        QTRY_COMPARE(ended.count(), 10);
        QCOMPARE(gate.peak(), 8);
        // Every click cleared the report, so only the nine gated runs' texts are left.
        QCOMPARE(report(controller), engineReport(Operation::Check, dir.path()).repeated(9));
    }

    // On a read-only volume every write fails: Tag's notices reach the window at once, ahead of the run's
    // own text, in a folder run as in a single-file one.
    void tagNoticesComeFirst()
    {
        QTemporaryDir dir;
        ScratchMount mount(dir.filePath("volume"));
        if (!mount.valid())
            QSKIP(qPrintable(mount.reason()));
        const QString root = dir.filePath("volume");
        writeFile(root + "/a.txt", "a");
        writeFile(root + "/b.txt", "b");
        if (!mount.makeReadOnly())
            QSKIP(qPrintable(mount.reason()));

        ViewController controller;
        controller.show();
        QSignalSpy ended(&controller, &ViewController::runEnded);
        for (const QString& item : QStringList { root, root + "/a.txt" }) {
            setItem(controller, item);
            click(controller, Operation::Tag);
            QVERIFY(ended.wait());
            const QByteArray expected = engineReport(Operation::Tag, item);
            QCOMPARE(report(controller), expected);
            QVERIFY(!busy(controller));
        }
    }

    // Stop (the button, or Escape) lets the file in hand finish and starts no other; the report ends with the
    // engine's line that says so, and no totals.
    void stop_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Stop") << false;
        QTest::newRow("Escape") << true;
    }
    void stop()
    {
        QFETCH(bool, escape);
        QTemporaryDir dir;
        for (const char* name : { "a", "b", "c" })
            writeFile(dir.filePath(name), name);
        ViewController controller;
        ReadGate gate;
        controller.setReadFunction(gate.reader());
        setItem(controller, dir.path());
        controller.show();
        QVERIFY(QTest::qWaitForWindowActive(&controller));
        QSignalSpy ended(&controller, &ViewController::runEnded);
        click(controller, Operation::Tag);
        QTRY_COMPARE(gate.waiting(), 1);
        if (escape)
            QTest::keyClick(&controller, Qt::Key_Escape);
        else
            QTest::mouseClick(child<QPushButton>(&controller, "theStopButton"), Qt::LeftButton);
        gate.open();
        QVERIFY(ended.wait());
        QVERIFY(!busy(controller));
        QVERIFY(report(controller).endsWith(QByteArray(warnMark + "Stopped after 1 files: the run did not finish.\n")));
        int tagged = 0;
        for (const char* name : { "a", "b", "c" })
            tagged += attribute(dir.filePath(name)) ? 1 : 0;
        QCOMPARE(tagged, 1); // the file in hand
    }

    // A folder that cannot be listed: no report, the spinner stops, and the failure names folder and reason.
    void folderThatCannotBeRead_data()
    {
        QTest::addColumn<bool>("replaceByFile");
        QTest::addColumn<QString>("reason");
        QTest::newRow("removed") << false << QStringLiteral("No such file or directory");
        QTest::newRow("replaced by a file") << true << QStringLiteral("Not a directory");
    }
    void folderThatCannotBeRead()
    {
        QFETCH(bool, replaceByFile);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString folder = dir.filePath("photos");
        writeFile(folder + "/a.jpg", "a");
        ViewController controller;
        setItem(controller, folder);
        controller.show();
        QVERIFY(QDir(folder).removeRecursively());
        if (replaceByFile)
            writeFile(folder, "now a file");

        QSignalSpy failed(&controller, &ViewController::errorOccurred);
        click(controller, Operation::Check);
        QVERIFY(failed.wait());
        QCOMPARE(failed.takeFirst().at(0).toString(),
            QStringLiteral("The folder %1 could not be read: %2.").arg(folder, reason));
        QVERIFY(!busy(controller));
        QCOMPARE(controller.reportText(), QString());
    }
};

QTEST_MAIN(TestRunner)
#include "tst_runner.moc"
