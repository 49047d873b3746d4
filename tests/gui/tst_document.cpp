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

    // Every opener asks the file system and marks folders with a final "/", following links.
    void openerMarksFolders_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("path"); // the URL's path; empty: cannot be opened
        QTest::newRow("folder") << "tree"
                                << "tree/";
        QTest::newRow("dots") << "tree/./sub/../a#1?.txt"
                              << "tree/a#1?.txt";
        QTest::newRow("link to folder") << "folder link"
                                        << "folder link/";
        QTest::newRow("missing") << "missing"
                                 << "";
    }
    void openerMarksFolders()
    {
        QFETCH(QString, given);
        QFETCH(QString, path);
        QTemporaryDir dir;
        writeFile(dir.filePath("tree/a#1?.txt"), "a");
        QVERIFY(QDir().mkpath(dir.filePath("tree/sub")));
        makeSymlink(dir.filePath("tree"), dir.filePath("folder link"));
        QString reason;
        const std::optional<QUrl> url = ItemURL::fromPath(dir.filePath(given), &reason);
        if (path.isEmpty()) {
            QVERIFY(!url);
            QCOMPARE(reason, QStringLiteral("No such file or directory"));
            return;
        }
        QVERIFY(url);
        QCOMPARE(ItemURL::path(*url), dir.filePath(path));
        Document document;
        document.readFromURL(*url, QString());
        QCOMPARE(document.isFile(), !path.endsWith('/'));
        QCOMPARE(document.displayName(), QFileInfo(dir.filePath(path.chopped(path.endsWith('/') ? 1 : 0))).fileName());
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

    // Export proposes "Orvane_" + title + ".text", offers .text then .txt, does not block, and writes the
    // report as it was when the command was given, even if a run ends while the dialog is open, with the lines
    // that Show Problems Only hides.
    void exportWritesTheTextOfTheCommand()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("Holiday photos/a.jpg"), "a");
        std::unique_ptr<Document> document(openDocument(dir.filePath("Holiday photos")));
        ViewController* controller = document->viewController();
        const QString report = QStringLiteral("\u2705 Digests for /b\n\u26A0\uFE0F No digest found for /a\n");
        controller->setReportText(report);
        controller->setProblemsOnly(true);
        controller->exportText();
        QFileDialog* dialog = fileDialog(controller);
        QVERIFY(dialog);
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
        QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(), QStringLiteral("Orvane_Holiday photos.text"));
        QCOMPARE(dialog->nameFilters(), QStringList({ "text (*.text)", "txt (*.txt)" }));

        QSignalSpy ended(controller, &ViewController::runEnded);
        QTest::mouseClick(child<QPushButton>(controller, "theCheckButton"), Qt::LeftButton);
        QVERIFY(ended.wait());
        QVERIFY(controller->reportText().contains(dir.path()));
        confirmSaveDialog(controller, dir.filePath("export.text"));
        QCOMPARE(contentsOf(dir.filePath("export.text")), report.toUtf8());
    }

    void failedExportIsNotSilent()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("file"), "f");
        std::unique_ptr<Document> document(openDocument(dir.path()));
        ViewController* controller = document->viewController();
        controller->setReportText(QStringLiteral("x\n"));
        QSignalSpy failed(document.get(), &Document::errorOccurred);
        controller->exportText();
        const QString target = dir.filePath("file/report.text");
        confirmSaveDialog(controller, target);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(),
            QStringLiteral("The report could not be written to %1: Not a directory.").arg(target));
    }

    // Save writes the report as it is when the user confirms, through the document.
    void saveWritesTheReport()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("item.txt"), "item");
        std::unique_ptr<Document> document(openDocument(dir.filePath("item.txt")));
        ViewController* controller = document->viewController();
        controller->setReportText(QStringLiteral("before\n"));
        document->saveDocument();
        QFileDialog* dialog = fileDialog(controller);
        QVERIFY(dialog);
        QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(), QStringLiteral("Orvane_item.txt.text"));
        QSignalSpy ended(controller, &ViewController::runEnded);
        QTest::mouseClick(child<QPushButton>(controller, "theCheckButton"), Qt::LeftButton);
        QVERIFY(ended.wait());
        const QByteArray report = controller->reportText().toUtf8();
        QVERIFY(report.endsWith(QByteArray(QFile::encodeName(dir.filePath("item.txt")) + "\n")));
        confirmSaveDialog(controller, dir.filePath("saved.txt"));
        QCOMPARE(contentsOf(dir.filePath("saved.txt")), report);

        // Never over the item itself.
        QSignalSpy failed(document.get(), &Document::errorOccurred);
        document->saveDocument();
        confirmSaveDialog(controller, dir.filePath("item.txt"));
        QCOMPARE(failed.count(), 1);
        QCOMPARE(contentsOf(dir.filePath("item.txt")), QByteArray("item"));
    }

    // A window opens where the last one closed, with its size, on screen; the next one cascades from it.
    void windowsRemember_data()
    {
        QTest::addColumn<QRect>("closedAt");
        QTest::newRow("on screen") << QRect(40, 50, 600, 400);
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

        QVERIFY(window->close());
        QVERIFY(!window->isVisible());
        QCoreApplication::processEvents();
        QVERIFY(document); // kept while its runs walk
        QCOMPARE(controller->runsInFlight(), 2);

        gate.open();
        QTRY_VERIFY(!document);
        QVERIFY(!controller);
        QCOMPARE(ended.count(), 2);
        QCOMPARE(spinnerChanges.count(), 0);
        QCOMPARE(reportChanges.count(), 0);
        QCOMPARE(failed.count(), 0);
        for (const QString& file : files) {
            const std::optional<QByteArray> stored = attribute(root + "/" + file);
            QCOMPARE(stored.has_value(), !readOnly);
            if (stored)
                QCOMPARE(*stored, digestOfFile(root + "/" + file));
        }
    }
};

QTEST_MAIN(TestDocument)
#include "tst_document.moc"
