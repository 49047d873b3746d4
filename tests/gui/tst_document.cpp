#include "document/document.h"
#include "document/documentwindow.h"
#include "guifixtures.h"
#include "report/reportfile.h"
#include "report/reportpane.h"
#include "report/reportview.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>

using namespace guifixtures;

namespace {

Document* openDocument(const QString& path)
{
    auto* document = new Document(orvane::resolveItem(local(path)).value());
    document->makeWindowControllers();
    document->windowControllers().first()->show();
    return document;
}

} // namespace

class TestDocument : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        useTestSettings();
    }

    // The window gets the item as the opener resolved it, and names it as the report prints names.
    void itemReachesTheWindow_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<bool>("isFolder");
        QTest::addColumn<QString>("title");
        QTest::newRow("root") << QByteArray("/") << true << "/";
        QTest::newRow("a folder") << QByteArray("/a b/c#d?e%20") << true << "c#d?e%20";
        QTest::newRow("a file, not UTF-8") << QByteArray("/x/caf\xe9\x01.txt") << false << "caf\\xe9\\x01.txt";
    }
    void itemReachesTheWindow()
    {
        QFETCH(QByteArray, path);
        QFETCH(bool, isFolder);
        QFETCH(QString, title);
        Document document(orvane::Item { path.toStdString(), isFolder });
        QCOMPARE(document.isFile(), !isFolder);
        QVERIFY(document.reportData().isEmpty());
        document.makeWindowControllers();
        QCOMPARE(document.viewController()->item()->path, path.toStdString());
        QCOMPARE(document.viewController()->isFile(), !isFolder);
        QCOMPARE(document.windowControllers().first()->windowTitle(), title);
    }

    // Export writes the report as it was when given, Save as it is when the user confirms.
    void saveAndExport_data()
    {
        QTest::addColumn<bool>("save");
        QTest::newRow("export") << false;
        QTest::newRow("save") << true;
    }
    void saveAndExport()
    {
        QFETCH(bool, save);
        QTemporaryDir dir;
        const QString item = dir.filePath("Holiday photos.txt");
        writeFile(item, "item");
        std::unique_ptr<Document> document(openDocument(item));
        ViewController* controller = document->viewController();
        const auto command = [&] { save ? document->saveDocument() : controller->exportText(); };
        const QString before = QStringLiteral("\u2705 Digests for /a\u00A0b\r\n\u26A0\uFE0F No digest found for /a\n");
        controller->setReportText(before);
        controller->reportPane()->setProblemsOnly(true);
        command();
        QFileDialog* dialog = fileDialog(controller);
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
        QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(),
            save ? QStringLiteral("Orvane_Holiday photos.txt.text") : QStringLiteral("Orvane_Holiday photos.txt.txt"));
        QCOMPARE(dialog->nameFilters(),
            save ? QStringList({ "text (*.text)", "txt (*.txt)" })
                 : QStringList({ "Report (*.txt)", "JSON Lines (*.jsonl)", "Checksum list (*.sha256)" }));
        QSignalSpy ended(controller, &ViewController::runEnded);
        press(controller, "theCheckButton");
        QVERIFY(ended.wait());
        const QByteArray after = controller->reportBytes();
        writeFile(dir.filePath("report.text"), QByteArray(5000, 'o')); // longer than the report: no tail is left
        confirmFileDialog(controller, dir.filePath("report.text"));
        QCOMPARE(contentsOf(dir.filePath("report.text")), save ? after : before.toUtf8());

        QSignalSpy failed(document.get(), &Document::errorOccurred);
        command();
        confirmFileDialog(controller, item);
        QTRY_COMPARE(failed.count(), 1);
        QCOMPARE(contentsOf(item), QByteArray("item"));
    }

    // A window opens exactly where the last one closed, restart after restart, on screen; the next cascades.
    void windowsRemember_data()
    {
        QTest::addColumn<QRect>("closedAt");
        QTest::newRow("on screen") << QRect(40, 50, 640, 400);
        QTest::newRow("off screen, wider than the screen") << QRect(3000, 2000, 5000, 400);
    }
    void windowsRemember()
    {
        QFETCH(QRect, closedAt);
        QTemporaryDir dir;
        DocumentWindow* closed = openDocument(dir.path())->windowControllers().first(); // goes once closed
        closed->setGeometry(closedAt);
        QVERIFY(closed->close());
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        for (int restart = 0; restart < 2; ++restart) {
            std::unique_ptr<Document> first(openDocument(dir.path()));
            std::unique_ptr<Document> second(openDocument(dir.path()));
            DocumentWindow* window = first->windowControllers().first();
            QVERIFY(screen.contains(window->frameGeometry()));
            if (screen.contains(closedAt)) {
                QCOMPARE(window->geometry(), closedAt);
                QCOMPARE(second->windowControllers().first()->geometry(), closedAt.translated(28, 28));
            }
            QVERIFY(second->windowControllers().first()->close());
            QVERIFY(window->close());
        }
    }

    // Tab goes through the controls in the order they are read, and each has a name to be read by.
    void keyboardReachesEveryControl()
    {
        QTemporaryDir dir;
        std::unique_ptr<Document> document(openDocument(dir.path()));
        DocumentWindow* window = document->windowControllers().first();
        QVERIFY(QTest::qWaitForWindowActive(window));
        document->viewController()->reportPane()->find();
        child<QWidget>(window, "theCheckButton")->setFocus();
        QStringList names;
        for (int i = 0; i < 11; ++i, QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab))
            names << QApplication::focusWidget()->accessibleName();
        QCOMPARE(names.join(u'|'),
            "Check|Tag|Retag|Show Problems Only|Report|Find|Previous Match|Next Match|Match Case|Close Find Bar|Check");
    }

    void writeFailures_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char* name, const char* where, const char* reason) {
            QTest::newRow(name) << QString::fromUtf8(where) << QString::fromUtf8(reason);
        };
        const char* opened = "it is the item this window checks, and Orvane never writes over it";
        row("missing folder", "missing/report.text", "No such file or directory");
        row("a FIFO", "fifo", "No such device or address");
        row("the opened item", "item", opened);
        row("a link to the opened item", "link", opened);
        row("read-only volume", "volume/report.text", "Read-only file system");
        row("full volume", "volume/report.text", "No space left on device");
    }
    void writeFailures()
    {
        QFETCH(QString, where);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        makeFifo(dir.filePath("fifo"));
        writeFile(dir.filePath("item"), "the user's own file");
        makeSymlink(dir.filePath("item"), dir.filePath("link"));
        std::optional<ScratchMount> mount;
        QByteArray report = "\u274C Couldn't tag /x\n";
        if (where.startsWith("volume/")) {
            mount.emplace(dir.filePath("volume"));
            if (!mount->valid() || (reason.startsWith("Read-only") && !mount->makeReadOnly()))
                QSKIP(qPrintable(mount->reason()));
            if (reason.startsWith("No space"))
                report = QByteArray(9 * 1024 * 1024, 'x'); // more than the 8 MiB volume holds
        }
        const QString path = dir.filePath(where);
        QCOMPARE(ReportFile::write(path, report, QFile::encodeName(dir.filePath("item"))),
            QStringLiteral("The report could not be written to %1: %2.").arg(path, reason));
        QCOMPARE(contentsOf(dir.filePath("item")), QByteArray("the user's own file"));
    }

    // The closed window is left alone, also by notices of failed writes, until the last run has ended.
    void closingWhileRunsWalk_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("writable") << false;
        QTest::newRow("read-only volume") << true;
    }
    void closingWhileRunsWalk()
    {
        QFETCH(bool, readOnly);
        QTemporaryDir dir;
        const QString root = dir.filePath("volume");
        ScratchMount mount(root);
        QStringList files; // more than the 8 files a run may hash at once
        for (int i = 0; i < 10; ++i)
            writeFile(files.emplace_back(root + QStringLiteral("/b%1/f").arg(i % 3) + QString::number(i)), "x");
        if (!mount.valid() || (readOnly && !mount.makeReadOnly()))
            QSKIP(qPrintable(mount.reason()));
        if (!readOnly && !supportsUserAttributes(root))
            QSKIP("this kernel's tmpfs takes no user.* attributes");
        QPointer<Document> document = openDocument(root);
        DocumentWindow* window = document->windowControllers().first();
        QPointer<ViewController> controller = document->viewController();
        ReadGate gate;
        controller->setReadFunction(gate.reader());
        press(controller, "theHashButton");
        press(controller, "theCheckButton");
        QTRY_VERIFY(gate.waiting() >= 2);
        QSignalSpy progress(child<QProgressBar>(controller, "progressBar"), &QProgressBar::valueChanged);
        QSignalSpy report(child<ReportView>(controller, "outputTextbox"), &ReportView::textChanged);
        QSignalSpy failed(document.data(), &Document::errorOccurred);
        QSignalSpy ended(controller, &ViewController::runEnded);

        QVERIFY(!window->close());
        QCOMPARE(answer("stopQuestion", QStringLiteral("Cancel")), QStringLiteral("Stop the run and close?"));
        QVERIFY(window->isVisible());
        QVERIFY(!window->close());
        answer("stopQuestion", QStringLiteral("Stop and Close"));
        QTRY_VERIFY(!window->isVisible());
        QVERIFY(document); // kept while its runs finish the files in hand
        QCOMPARE(controller->runsInFlight(), 2);

        gate.open();
        QTRY_VERIFY(!document);
        QVERIFY(!controller);
        QCOMPARE(ended.count(), 2);
        QCOMPARE(progress.count() + report.count() + failed.count(), 0);
        int tagged = 0;
        for (const QString& file : files)
            if (const std::optional<QByteArray> stored = attribute(file); stored && ++tagged)
                QCOMPARE(*stored, digestOfFile(file));
        QVERIFY(readOnly ? tagged == 0 : tagged < files.size());
    }
};

QTEST_MAIN(TestDocument)
#include "tst_document.moc"
