// Documents and their windows: folder or file from the URL, the item handed to the view controller, the
// report given to Save and Export, and a window closed while its folder runs still walk.

#include "document/document.h"
#include "document/documentwindow.h"
#include "guifixtures.h"
#include "readgate.h"
#include "report/reportfile.h"
#include "report/reportview.h"
#include "runner/busyindicator.h"
#include "runner/itemurl.h"
#include "runner/viewcontroller.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace guifixtures;

namespace {

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A document for the item at path with its window on screen, as opening the item makes it.
Document* openDocument(const QString& path)
{
    auto* document = new Document;
    const std::optional<QUrl> url = ItemURL::fromPath(path);
    if (!url)
        return document;
    document->readFromURL(*url, QString());
    document->makeWindowControllers();
    document->windowControllers().first()->show();
    return document;
}

void confirmSaveDialog(QWidget* window, const QString& path)
{
    QFileDialog* dialog = fileDialog(window);
    QVERIFY(dialog);
    confirmFileDialog(dialog, path);
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

    void isFileFromTheURL_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("isFile");
        QTest::newRow("/x/") << "/x/" << false;
        QTest::newRow("/x") << "/x" << true;
        QTest::newRow("root") << "/" << false;
        QTest::newRow("odd characters, folder") << "/a b/c#d?e%20/" << false;
        QTest::newRow("odd characters, file") << "/a b/c#d?e%20" << true;
    }
    void isFileFromTheURL()
    {
        QFETCH(QString, path);
        QFETCH(bool, isFile);
        Document document;
        QVERIFY(!document.url());
        QVERIFY(document.isFile());
        QVERIFY(document.readFromURL(QUrl::fromLocalFile(path), QString()));
        QCOMPARE(document.isFile(), isFile);
        QCOMPARE(ItemURL::path(*document.url()), path);
        // The window gets the item and its title; its spinner hides once it is shown.
        document.makeWindowControllers();
        ViewController* controller = document.viewController();
        QCOMPARE(controller->sourceURL(), document.url());
        QCOMPARE(controller->isFile(), isFile);
        DocumentWindow* window = document.windowControllers().first();
        window->show();
        QVERIFY(child<BusyIndicator>(controller, "progressSpinner")->isHidden());
        QCOMPARE(window->windowTitle(), ItemURL::displayName(*document.url()));
    }

    // Every opener asks the file system and marks folders with a final "/", links to folders included.
    void openerMarksFolders()
    {
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath("tree")));
        makeSymlink(dir.filePath("tree"), dir.filePath("folder link"));
        QCOMPARE(ItemURL::path(*ItemURL::fromPath(dir.filePath("folder link"))), dir.filePath("folder link/"));
        QString reason;
        QVERIFY(!ItemURL::fromPath(dir.filePath("missing"), &reason));
        QCOMPARE(reason, QStringLiteral("No such file or directory"));
    }

    void dataOfType()
    {
        Document windowless;
        int error = 0;
        QVERIFY(!windowless.dataOfType(QStringLiteral("public.plain-text"), &error));
        QCOMPARE(error, -4);

        Document document;
        document.makeWindowControllers();
        QCOMPARE(*document.dataOfType(QString()), QByteArray());
        const QString text = QStringLiteral("\u2705 Digests for /a\u00A0b\r\n\t1 matched digest correctly\n");
        document.viewController()->setReportText(text);
        document.viewController()->setProblemsOnly(true); // Save gives every line, also those hidden
        QCOMPARE(*document.dataOfType(QString()), text.toUtf8());
    }

    // Save and Export propose "Orvane_" + title + ".text", offer .text then .txt, and do not block. Export
    // writes the report of the moment the command was given, Save that of the moment the user confirms, also
    // when a run ends in between; both write every line, also those Show Problems Only hides. The item itself
    // is never written over, and the user is told so.
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
        const QString before = QStringLiteral("\u2705 Digests for /b\n\u26A0\uFE0F No digest found for /a\n");
        controller->setReportText(before);
        controller->setProblemsOnly(true);
        command();
        QFileDialog* dialog = fileDialog(controller);
        QVERIFY(dialog);
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
        QCOMPARE(
            QFileInfo(dialog->selectedFiles().value(0)).fileName(), QStringLiteral("Orvane_Holiday photos.txt.text"));
        QCOMPARE(dialog->nameFilters(), QStringList({ "text (*.text)", "txt (*.txt)" }));
        QSignalSpy ended(controller, &ViewController::runEnded);
        QTest::mouseClick(child<QPushButton>(controller, "theCheckButton"), Qt::LeftButton);
        QVERIFY(ended.wait());
        const QByteArray after = controller->reportText().toUtf8();
        confirmSaveDialog(controller, dir.filePath("report.text"));
        QCOMPARE(contentsOf(dir.filePath("report.text")), save ? after : before.toUtf8());

        QSignalSpy failed(document.get(), &Document::errorOccurred);
        command();
        confirmSaveDialog(controller, item);
        QTRY_COMPARE(failed.count(), 1);
        QCOMPARE(contentsOf(item), QByteArray("item"));
    }

    // A window opens where the last one closed, with its size, on screen; the next one cascades from it.
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
        std::unique_ptr<Document> first(openDocument(dir.path()));
        std::unique_ptr<Document> second(openDocument(dir.path()));
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect place = first->windowControllers().first()->geometry();
        const QRect frame = first->windowControllers().first()->frameGeometry();
        QCOMPARE(place.width(), qMin(closedAt.width(), screen.width() - (frame.width() - place.width())));
        QVERIFY(screen.contains(frame));
        if (screen.contains(closedAt)) {
            // Restored before the frame is known, the frame takes the place the window had.
            QCOMPARE(place.size(), closedAt.size());
            QVERIFY((place.topLeft() - closedAt.topLeft()).manhattanLength() <= 4);
            QCOMPARE(second->windowControllers().first()->geometry(), place.translated(28, 28));
        }
    }

    // Writing a report fails with the reason the system gives, and never over the opened item.
    void writeFailures_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char* name, const char* where, const char* reason) {
            QTest::newRow(name) << QString::fromUtf8(where) << QString::fromUtf8(reason);
        };
        const char* opened = "it is the item this window checks, and Orvane never writes over it";
        row("missing folder", "missing/report.text", "No such file or directory");
        row("below a file", "file/report.text", "Not a directory");
        row("a folder", "folder", "Is a directory");
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
        fixtures::writeFile(dir.filePath("file"), "f");
        QVERIFY(QDir(dir.path()).mkdir("folder"));
        fixtures::makeFifo(dir.filePath("fifo"));
        fixtures::writeFile(dir.filePath("item"), "the user's own file");
        fixtures::makeSymlink(dir.filePath("item"), dir.filePath("link"));
        std::optional<fixtures::ScratchMount> mount;
        QByteArray report = "\u274C Couldn't tag /x\n";
        if (where.startsWith("volume/")) {
            mount.emplace(dir.filePath("volume"));
            if (!mount->valid())
                QSKIP(qPrintable(mount->reason()));
            if (reason.startsWith("Read-only") && !mount->makeReadOnly())
                QSKIP(qPrintable(mount->reason()));
            if (reason.startsWith("No space"))
                report = QByteArray(9 * 1024 * 1024, 'x'); // more than the 8 MiB volume holds
        }
        const QString path = dir.filePath(where);
        QCOMPARE(ReportFile::write(path, report, dir.filePath("item")),
            QStringLiteral("The report could not be written to %1: %2.").arg(path, reason));
        QCOMPARE(contentsOf(dir.filePath("item")), QByteArray("the user's own file"));
    }

    // Closing the window while runs walk: the runs go on to the end and write every attribute; the closed
    // window's report and spinner are left alone, also by the reasons of failed writes that arrive later;
    // the document goes once the last run has ended.
    // Closing the window while runs walk asks first. Cancel keeps everything going; Stop and Close hides the
    // window at once, and the runs finish the files in hand (each attribute write completes) and start no
    // other. The closed window's report and spinner are left alone, also by notices of failed writes that
    // arrive later; the document goes once the last run has ended.
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
        ScratchMount mount(dir.filePath("volume"));
        if (!mount.valid())
            QSKIP(qPrintable(mount.reason()));
        const QString root = dir.filePath("volume");
        const QStringList files = { "a", "b/c", "b/d/e" };
        for (const QString& file : files)
            writeFile(root + "/" + file, file.toUtf8());
        if (!readOnly && !supportsUserAttributes(root))
            QSKIP("this kernel's tmpfs takes no user.* attributes");
        if (readOnly && !mount.makeReadOnly())
            QSKIP(qPrintable(mount.reason()));
        QPointer<Document> document = openDocument(root);
        DocumentWindow* window = document->windowControllers().first();
        QPointer<ViewController> controller = document->viewController();
        ReadGate gate;
        controller->setReadFunction(gate.reader());
        QTest::mouseClick(child<QPushButton>(controller, "theHashButton"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(controller, "theCheckButton"), Qt::LeftButton);
        QTRY_COMPARE(gate.waiting(), 2);
        QSignalSpy spinnerChanges(child<BusyIndicator>(controller, "progressSpinner"), &QProgressBar::valueChanged);
        QSignalSpy reportChanges(child<ReportView>(controller, "outputTextbox"), &ReportView::textChanged);
        QSignalSpy failed(document.data(), &Document::errorOccurred);
        QSignalSpy ended(controller, &ViewController::runEnded);

        const auto answer = [window](const QString& button) {
            for (QMessageBox* question : window->findChildren<QMessageBox*>(QStringLiteral("stopQuestion"))) {
                if (!question->isVisible())
                    continue; // one answered before, not yet deleted
                QCOMPARE(question->text(), QStringLiteral("Stop the run and close?"));
                for (QAbstractButton* choice : question->buttons())
                    if (choice->text() == button)
                        choice->click();
            }
        };
        QVERIFY(!window->close());
        answer(QStringLiteral("Cancel"));
        QVERIFY(window->isVisible());
        QVERIFY(!window->close());
        answer(QStringLiteral("Stop and Close"));
        QTRY_VERIFY(!window->isVisible());
        QVERIFY(document); // kept while its runs finish the files in hand
        QCOMPARE(controller->runsInFlight(), 2);

        gate.open();
        QTRY_VERIFY(!document);
        QVERIFY(!controller);
        QCOMPARE(ended.count(), 2);
        QCOMPARE(spinnerChanges.count(), 0);
        QCOMPARE(reportChanges.count(), 0);
        QCOMPARE(failed.count(), 0);
        int tagged = 0;
        for (const QString& file : files) {
            const std::optional<QByteArray> stored = attribute(root + "/" + file);
            if (stored)
                QCOMPARE(*stored, digestOfFile(root + "/" + file));
            tagged += stored ? 1 : 0;
        }
        QCOMPARE(tagged, readOnly ? 0 : 1); // the file in hand, and no other
    }
};

QTEST_MAIN(TestDocument)
#include "tst_document.moc"
