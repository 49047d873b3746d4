// The runner, driven by clicking the real buttons of a real ViewController over real trees on a real file
// system: the report byte for byte, the busy indicator before, during and after a run, which attributes
// are written, runs that overlap, and folders that cannot be read.

#include "document/itemurl.h"
#include "fixtures.h"
#include "guifixtures.h"
#include "operations/busyindicator.h"
#include "operations/viewcontroller.h"
#include "readgate.h"

#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <unistd.h>

using namespace guifixtures;
using fixtures::attribute;
using fixtures::sha256;
using fixtures::writeFile;

namespace {

enum class Button
{
    Check,
    Tag,
    Retag,
};

} // namespace

Q_DECLARE_METATYPE(Button)

namespace {

QPushButton* buttonOf(ViewController& controller, Button button)
{
    switch (button) {
    case Button::Check:
        return controller.theCheckButton;
    case Button::Tag:
        return controller.theHashButton;
    case Button::Retag:
        return controller.theRetagButton;
    }
    return nullptr;
}

// What the document hands over when the window is shown.
void openItem(ViewController& controller, const QString& path)
{
    const std::optional<QUrl> url = ItemURL::fromPath(path);
    QVERIFY(url);
    controller.theSourceURL = url;
    controller.isFile = !ItemURL::isDirectory(*url);
}

QByteArray report(const ViewController& controller)
{
    return controller.reportText().toUtf8();
}

bool spinnerIdle(const ViewController& controller)
{
    return controller.progressSpinner->isHidden() && !controller.progressSpinner->isAnimating();
}

bool spinnerBusy(const ViewController& controller)
{
    return controller.progressSpinner->isVisible() && controller.progressSpinner->isAnimating();
}

// A tree of files at several depths, one for each thing Check and Retag tell apart.
struct Tree
{
    QTemporaryDir dir;
    QString root = dir.path();

    Tree()
    {
        writeFile(root + "/matched.txt", "kept as it was");
        tagCorrectly(root + "/matched.txt");
        writeFile(root + "/sub/changed.bin", fixtures::patternBytes(700000));
        QVERIFY(fixtures::setAttribute(root + "/sub/changed.bin", sha256("what it held before")));
        writeFile(root + "/sub/deeper/never tagged", "n");
        writeFile(root + "/.hidden", "h");
        tagCorrectly(root + "/.hidden");
        writeFile(root + "/empty value", "e");
        QVERIFY(fixtures::setAttribute(root + "/empty value", ""));
        QVERIFY(QDir().mkpath(root + "/only/folders"));
    }
};

} // namespace

class TestRunner : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        useTestSettings();
        QTemporaryDir probe;
        if (!fixtures::supportsUserAttributes(probe.path()))
            QSKIP("the temporary folder's file system takes no user.* attributes");
    }

    void cleanup()
    {
        dismissAlerts();
    }

    void noItemChangesNothing_data()
    {
        QTest::addColumn<Button>("button");
        QTest::newRow("check") << Button::Check;
        QTest::newRow("tag") << Button::Tag;
        QTest::newRow("retag") << Button::Retag;
    }
    void noItemChangesNothing()
    {
        QFETCH(Button, button);
        ViewController controller;
        controller.show();
        QVERIFY(QTest::qWaitForWindowExposed(&controller));
        controller.setReportText(QStringLiteral("the report of an earlier run\n"));
        QTest::mouseClick(buttonOf(controller, button), Qt::LeftButton);
        QCOMPARE(controller.reportText(), QStringLiteral("the report of an earlier run\n"));
        QVERIFY(spinnerIdle(controller));
        QCOMPARE(controller.runsInFlight(), 0);
        QCOMPARE(controller.processingQueue.activeThreadCount(), 0);
    }

    // Each operation over the tree: its lines in the walk's order, then its totals; what it writes.
    void folderReports_data()
    {
        QTest::addColumn<Button>("button");
        QTest::newRow("check") << Button::Check;
        QTest::newRow("tag") << Button::Tag;
        QTest::newRow("retag") << Button::Retag;
    }
    void folderReports()
    {
        QFETCH(Button, button);
        Tree tree;
        const fixtures::Stamp stamp = fixtures::stamp(tree.root + "/sub/changed.bin");
        QByteArray expected;
        const QStringList files = walkOrder(tree.root);
        for (const QString& path : files) {
            const QByteArray p = QFile::encodeName(path);
            const bool matches = path.endsWith("matched.txt") || path.endsWith(".hidden");
            const bool changed = path.endsWith("changed.bin");
            if (button == Button::Tag)
                expected += "Digest " + hashNumberOf(path) + " for " + p + "\n";
            else if (matches)
                expected += ok + "Digests for " + p + "\n";
            else if (button == Button::Check && changed)
                expected += bad + "Digests for " + p + " aren't equal.\n";
            else if (button == Button::Check)
                expected += warn + "No digest found for " + p + "\n";
            else
                expected += warn + QByteArray(changed ? "Retagged " : "Tagged ") + p + "\n";
        }
        expected += button == Button::Check ? checkTotals(tree.root, 5, 2, 1, 2)
            : button == Button::Tag         ? tagTotals(tree.root, 5, 0)
                                            : retagTotals(tree.root, 5, 2, 1, 2);

        ViewController controller;
        openItem(controller, tree.root);
        controller.show();
        QSignalSpy ended(&controller, &ViewController::folderRunEnded);
        QTest::mouseClick(buttonOf(controller, button), Qt::LeftButton);
        QVERIFY(ended.wait());
        QCOMPARE(report(controller), expected);
        QVERIFY(spinnerIdle(controller));
        for (const QString& path : files) {
            // Check writes nothing; Tag and Retag leave every file with its digest, and nothing else.
            const bool carriesDigest =
                button != Button::Check || path.endsWith("matched.txt") || path.endsWith(".hidden");
            QCOMPARE(fixtures::attribute(path) == digestOfFile(path), carriesDigest);
            QVERIFY(!fixtures::attribute(path, orvane::theTimeXattrName));
        }
        QCOMPARE(fixtures::stamp(tree.root + "/sub/changed.bin"), stamp);

        // A second Check finds what the first run left.
        if (button == Button::Check) {
            QTest::mouseClick(controller.theCheckButton, Qt::LeftButton);
            QVERIFY(ended.wait());
            QCOMPARE(report(controller), expected);
        }
    }

    void singleFile_data()
    {
        QTest::addColumn<Button>("button");
        QTest::addColumn<QByteArray>("stored"); // null: no attribute
        QTest::addColumn<QByteArray>("lead");
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<bool>("digestAfter"); // whether the file carries its digest afterwards

        const QByteArray right = sha256("contents");
        const QByteArray wrong = sha256("other contents");
        const QByteArray nl("\n");
        const QByteArray none;
        QTest::newRow("check matched") << Button::Check << right << ok + "Digest for " << nl << true;
        QTest::newRow("check mismatched")
            << Button::Check << wrong << bad + "Digest for " << QByteArray(" aren't equal.\n") << false;
        QTest::newRow("check no digest") << Button::Check << none << warn + "No digest found for " << nl << false;
        QTest::newRow("tag") << Button::Tag << wrong << ok + "Tagged " << nl << true;
        QTest::newRow("retag matched") << Button::Retag << right << ok + "Digest for " << nl << true;
        QTest::newRow("retag changed") << Button::Retag << wrong << warn + "Retagged " << nl << true;
        QTest::newRow("retag hex text") << Button::Retag << right.toHex() << warn + "Retagged " << nl << true;
        QTest::newRow("retag empty") << Button::Retag << QByteArray("") << warn + "Tagged " << nl << true;
        QTest::newRow("retag none") << Button::Retag << none << warn + "Tagged " << nl << true;
    }
    void singleFile()
    {
        QFETCH(Button, button);
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, lead);
        QFETCH(QByteArray, tail);
        QFETCH(bool, digestAfter);
        QTemporaryDir dir;
        const QString path = dir.filePath("photo #1.jpg");
        writeFile(path, "contents");
        if (!stored.isNull())
            QVERIFY(fixtures::setAttribute(path, stored));

        ViewController controller;
        openItem(controller, path);
        controller.show();
        controller.setReportText(QStringLiteral("earlier\n"));
        QTest::mouseClick(buttonOf(controller, button), Qt::LeftButton);
        // Done inside the click: no waiting, no totals.
        QCOMPARE(report(controller), lead + QFile::encodeName(path) + tail);
        QVERIFY(spinnerIdle(controller));
        QCOMPARE(controller.runsInFlight(), 0);
        QCOMPARE(attribute(path) == sha256("contents"), digestAfter);
    }

    // A file that cannot be read gives no line; the report is left empty and the spinner stopped.
    void singleFileWithoutDigest()
    {
        QTemporaryDir dir;
        fixtures::makeFifo(dir.filePath("fifo"));
        ViewController controller;
        openItem(controller, dir.filePath("fifo"));
        controller.show();
        controller.setReportText(QStringLiteral("earlier\n"));
        QTest::mouseClick(controller.theHashButton, Qt::LeftButton);
        QCOMPARE(controller.reportText(), QString());
        QVERIFY(spinnerIdle(controller));
        QVERIFY(fixtures::attributeNames(dir.filePath("fifo")).isEmpty());
    }

    void spinnerBeforeDuringAfter()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("a"), "a");
        ViewController controller;
        ReadGate gate;
        controller.theReadFunction = gate.reader();
        openItem(controller, dir.path());
        controller.show();
        QVERIFY(QTest::qWaitForWindowExposed(&controller));
        controller.setReportText(QStringLiteral("earlier\n"));
        QVERIFY(spinnerIdle(controller));

        QSignalSpy ended(&controller, &ViewController::folderRunEnded);
        QTest::mouseClick(controller.theCheckButton, Qt::LeftButton);
        QTRY_COMPARE(gate.waiting(), 1);
        QVERIFY(spinnerBusy(controller));
        QCOMPARE(controller.reportText(), QString()); // cleared; nothing of the run shows before its end
        QCOMPARE(controller.runsInFlight(), 1);

        gate.open();
        QVERIFY(ended.wait());
        QVERIFY(spinnerIdle(controller));
        QCOMPARE(report(controller),
            warn + "No digest found for " + QFile::encodeName(dir.filePath("a")) + "\n"
                + checkTotals(dir.path(), 1, 0, 0, 1));
    }

    // Two quick clicks: two runs with their own state. Each text appears whole, in the order the runs end,
    // and the first end stops the spinner although the other run is still walking.
    void twoQuickClicks()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("a"), "a");
        tagCorrectly(dir.filePath("a"));
        writeFile(dir.filePath("b/c"), "c");
        tagCorrectly(dir.filePath("b/c"));
        ViewController controller;
        openItem(controller, dir.path());
        controller.show();
        QSignalSpy ended(&controller, &ViewController::folderRunEnded);

        ReadGate gate;
        controller.theReadFunction = gate.reader();
        QTest::mouseClick(controller.theCheckButton, Qt::LeftButton);
        QTRY_COMPARE(gate.waiting(), 1);
        // The second run cannot read any file: it counts them but writes no line for them.
        controller.theReadFunction = [](int, void*, std::size_t) -> ssize_t {
            errno = EIO;
            return -1;
        };
        QTest::mouseClick(controller.theCheckButton, Qt::LeftButton);
        QVERIFY(ended.wait());
        const QByteArray second = checkTotals(dir.path(), 2, 0, 0, 0);
        QCOMPARE(report(controller), second);
        QVERIFY(spinnerIdle(controller));
        QCOMPARE(controller.runsInFlight(), 1);

        gate.open();
        QTRY_COMPARE(ended.count(), 2);
        QByteArray first;
        for (const QString& path : walkOrder(dir.path()))
            first += ok + "Digests for " + QFile::encodeName(path) + "\n";
        QCOMPARE(report(controller), second + first + checkTotals(dir.path(), 2, 2, 0, 0));
    }

    void eightRunsWalkAtOnce()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("only"), "x");
        tagCorrectly(dir.filePath("only"));
        ViewController controller;
        ReadGate gate;
        controller.theReadFunction = gate.reader();
        openItem(controller, dir.path());
        controller.show();
        QSignalSpy ended(&controller, &ViewController::folderRunEnded);
        for (int i = 0; i < 9; ++i)
            QTest::mouseClick(controller.theCheckButton, Qt::LeftButton);
        QTRY_COMPARE(gate.waiting(), 8);
        QCOMPARE(controller.processingQueue.activeThreadCount(), 8);
        QCOMPARE(controller.runsInFlight(), 9);
        QCOMPARE(controller.reportText(), QString());

        gate.open();
        QTRY_COMPARE(ended.count(), 9);
        QCOMPARE(gate.peak(), 8);
        const QByteArray one =
            ok + "Digests for " + QFile::encodeName(dir.filePath("only")) + "\n" + checkTotals(dir.path(), 1, 1, 0, 0);
        QCOMPARE(report(controller), one.repeated(9));
        QVERIFY(spinnerIdle(controller));
    }

    // On a read-only volume every write fails: the system's reason comes first, ahead of the run's text.
    void tagFailuresComeFirst()
    {
        QTemporaryDir dir;
        fixtures::ScratchMount mount(dir.filePath("volume"));
        if (!mount.valid())
            QSKIP(qPrintable(mount.reason()));
        const QString root = dir.filePath("volume");
        writeFile(root + "/a.txt", "a");
        writeFile(root + "/b.txt", "b");
        if (!mount.makeReadOnly())
            QSKIP(qPrintable(mount.reason()));

        ViewController controller;
        openItem(controller, root);
        controller.show();
        QSignalSpy ended(&controller, &ViewController::folderRunEnded);
        QTest::mouseClick(controller.theHashButton, Qt::LeftButton);
        QVERIFY(ended.wait());
        QByteArray expected = QByteArray("Read-only file system").repeated(2);
        for (const QString& path : walkOrder(root))
            expected += "Digest " + hashNumberOf(path) + " for " + QFile::encodeName(path) + "\n";
        QCOMPARE(report(controller), expected + tagTotals(root, 2, 2));

        openItem(controller, root + "/a.txt");
        QTest::mouseClick(controller.theHashButton, Qt::LeftButton);
        QCOMPARE(report(controller),
            "Read-only file system" + bad + "Couldn't tag " + QFile::encodeName(root + "/a.txt") + "\n");
        QVERIFY(spinnerIdle(controller));
    }

    // A folder that cannot be listed: the spinner stops and the user is told which folder and why.
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
        openItem(controller, folder);
        controller.show();
        QVERIFY(QDir(folder).removeRecursively());
        if (replaceByFile)
            writeFile(folder, "now a file");

        QSignalSpy ended(&controller, &ViewController::folderRunEnded);
        QTest::mouseClick(controller.theCheckButton, Qt::LeftButton);
        QVERIFY(ended.wait());
        QVERIFY(spinnerIdle(controller));
        QCOMPARE(controller.reportText(), QString());
        QMessageBox* alert = errorAlert();
        QVERIFY(alert);
        QCOMPARE(alert->text(), QStringLiteral("An error occurred:"));
        QCOMPARE(alert->informativeText(), QStringLiteral("The folder %1 could not be read: %2.").arg(folder, reason));
        QCOMPARE(alert->icon(), QMessageBox::Critical);
        QCOMPARE(alert->buttons().size(), 1);
    }

    // Paths may hold characters a text view would rewrite; the report keeps them as they are.
    void unusualNamesKeptExactly()
    {
        QTemporaryDir dir;
        const QStringList names = { QStringLiteral("no\u00A0break"),
            QStringLiteral("carriage\rreturn"),
            QStringLiteral("line\u2028separator"),
            QStringLiteral("new\nline"),
            QStringLiteral("tab\there"),
            QStringLiteral("\u2705 already marked") };
        for (const QString& name : names) {
            writeFile(dir.filePath(name), name.toUtf8());
            tagCorrectly(dir.filePath(name));
        }
        ViewController controller;
        openItem(controller, dir.path());
        controller.show();
        QSignalSpy ended(&controller, &ViewController::folderRunEnded);
        QTest::mouseClick(controller.theCheckButton, Qt::LeftButton);
        QVERIFY(ended.wait());
        QByteArray expected;
        for (const QString& path : walkOrder(dir.path()))
            expected += ok + "Digests for " + QFile::encodeName(path) + "\n";
        QCOMPARE(report(controller), expected + checkTotals(dir.path(), 6, 6, 0, 0));
    }
};

QTEST_MAIN(TestRunner)
#include "tst_runner.moc"
