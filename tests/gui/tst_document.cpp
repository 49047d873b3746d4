// Documents and their windows: folder or file from the URL, the hand-over to the view controller, the
// report given to Save and Export, and a window closed while its folder runs still walk.

#include "document/document.h"
#include "document/documentwindow.h"
#include "document/itemurl.h"
#include "fixtures.h"
#include "guifixtures.h"
#include "operations/busyindicator.h"
#include "operations/viewcontroller.h"
#include "readgate.h"
#include "report/reportview.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

using namespace guifixtures;
using fixtures::writeFile;

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

// Confirms the save dialog that the window shows with the file at path.
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

    void cleanup()
    {
        dismissAlerts();
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
        QVERIFY(!Document::autosavesInPlace());
        QVERIFY(!document.theURL);
        QVERIFY(document.isFile);
        QVERIFY(document.readFromURL(QUrl::fromLocalFile(path), QString()));
        QCOMPARE(document.isFile, isFile);
        QCOMPARE(ItemURL::path(*document.theURL), path);
    }

    // Every opener asks the file system and marks folders with a final "/", following links.
    void openerMarksFolders_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("path"); // the URL's path; empty: cannot be opened
        QTest::newRow("folder") << "tree"
                                << "tree/";
        QTest::newRow("folder with slash") << "tree/"
                                           << "tree/";
        QTest::newRow("file") << "tree/a#1?.txt"
                              << "tree/a#1?.txt";
        QTest::newRow("dots") << "tree/./sub/../a#1?.txt"
                              << "tree/a#1?.txt";
        QTest::newRow("link to folder") << "folder link"
                                        << "folder link/";
        QTest::newRow("link to file") << "file link"
                                      << "file link";
        QTest::newRow("dangling link") << "dangling"
                                       << "";
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
        fixtures::makeSymlink(dir.filePath("tree"), dir.filePath("folder link"));
        fixtures::makeSymlink(dir.filePath("tree/a#1?.txt"), dir.filePath("file link"));
        fixtures::makeSymlink(dir.filePath("nowhere"), dir.filePath("dangling"));
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
        QCOMPARE(document.isFile, !path.endsWith('/'));
        QCOMPARE(document.displayName(), QFileInfo(dir.filePath(path.chopped(path.endsWith('/') ? 1 : 0))).fileName());
    }

    void openingTouchesNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("precious.raw");
        writeFile(path, fixtures::patternBytes(100000));
        QVERIFY(fixtures::setAttribute(path, "stored value"));
        const fixtures::Stamp stamp = fixtures::stamp(path);
        QScopedPointer<Document> document(openDocument(path));
        QVERIFY(QTest::qWaitForWindowExposed(document->windowControllers().first()));
        QCOMPARE(fixtures::stamp(path), stamp);
        QCOMPARE(
            fixtures::attributeNames(path), QStringList { "user." + QString::fromStdString(orvane::theXattrName) });
        QCOMPARE(*fixtures::attribute(path), QByteArray("stored value"));
    }

    void viewDidAppearCopiesTheItem_data()
    {
        QTest::addColumn<QString>("item"); // empty: a document without URL
        QTest::newRow("folder") << "tree";
        QTest::newRow("file") << "tree/a";
        QTest::newRow("no URL") << "";
    }
    void viewDidAppearCopiesTheItem()
    {
        QFETCH(QString, item);
        QTemporaryDir dir;
        writeFile(dir.filePath("tree/a"), "a");
        Document document;
        if (!item.isEmpty())
            document.readFromURL(*ItemURL::fromPath(dir.filePath(item)), QString());
        document.makeWindowControllers();
        ViewController* controller = document.viewController();
        QVERIFY(controller);
        QVERIFY(!controller->theSourceURL);
        QVERIFY(!controller->progressSpinner->isHidden());
        document.windowControllers().first()->show();
        QCOMPARE(controller->theSourceURL, document.theURL);
        QCOMPARE(controller->isFile, document.isFile);
        QCOMPARE(controller->isFile, item != "tree");
        QVERIFY(controller->progressSpinner->isHidden());
        QCOMPARE(
            document.windowControllers().first()->windowTitle(), item.isEmpty() ? "Untitled" : item.section('/', -1));
    }

    void dataOfType()
    {
        Document windowless;
        int error = 0;
        QVERIFY(!windowless.dataOfType(QStringLiteral("public.plain-text"), &error));
        QCOMPARE(error, Document::unimplementedError);
        QCOMPARE(error, -4);

        Document document;
        document.makeWindowControllers();
        QCOMPARE(*document.dataOfType(QString()), QByteArray());
        const QString text = QStringLiteral("\u2705 Digests for /a\u00A0b\r\n\t1 matched digest correctly\n");
        document.viewController()->setReportText(text);
        QCOMPARE(*document.dataOfType(QString()), text.toUtf8());
    }

    // Export proposes "Orvane_" + title + ".text", offers .text then .txt, does not block, and writes the
    // report as it was when the command was given, even if a run ends while the dialog is open.
    void exportWritesTheTextOfTheCommand()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("Holiday photos/a.jpg"), "a");
        QScopedPointer<Document> document(openDocument(dir.filePath("Holiday photos")));
        ViewController* controller = document->viewController();
        controller->setReportText(QStringLiteral("\u26A0\uFE0F No digest found for /a\n"));
        controller->exportText();
        QFileDialog* dialog = fileDialog(controller);
        QVERIFY(dialog);
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
        QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(), QStringLiteral("Orvane_Holiday photos.text"));
        QCOMPARE(dialog->nameFilters(), QStringList({ "text (*.text)", "txt (*.txt)" }));

        QSignalSpy ended(controller, &ViewController::folderRunEnded);
        QTest::mouseClick(controller->theCheckButton, Qt::LeftButton);
        QVERIFY(ended.wait());
        QVERIFY(controller->reportText().startsWith(QStringLiteral("\u26A0\uFE0F No digest found for ") + dir.path()));
        confirmSaveDialog(controller, dir.filePath("export.text"));
        QCOMPARE(contentsOf(dir.filePath("export.text")), QByteArray("\u26A0\uFE0F No digest found for /a\n"));
        QVERIFY(!errorAlert());
    }

    void exportCancelledWritesNothing()
    {
        QTemporaryDir dir;
        QScopedPointer<Document> document(openDocument(dir.path()));
        ViewController* controller = document->viewController();
        controller->setReportText(QStringLiteral("x\n"));
        controller->exportText();
        QFileDialog* dialog = fileDialog(controller);
        QVERIFY(dialog);
        dialog->selectFile(dir.filePath("not written.text"));
        dialog->reject();
        QVERIFY(!QFileInfo::exists(dir.filePath("not written.text")));
        QCOMPARE(controller->reportText(), QStringLiteral("x\n"));
        QVERIFY(!errorAlert());
    }

    void failedExportIsNotSilent()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("file"), "f");
        QScopedPointer<Document> document(openDocument(dir.path()));
        ViewController* controller = document->viewController();
        controller->setReportText(QStringLiteral("x\n"));
        controller->exportText();
        const QString target = dir.filePath("file/report.text");
        confirmSaveDialog(controller, target);
        QMessageBox* alert = errorAlert();
        QVERIFY(alert);
        QCOMPARE(alert->text(), QStringLiteral("An error occurred:"));
        QCOMPARE(alert->informativeText(),
            QStringLiteral("The report could not be written to %1: Not a directory.").arg(target));
    }

    // Save writes the report as it is when the user confirms, through the document.
    void saveWritesTheReport()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("item.txt"), "item");
        QScopedPointer<Document> document(openDocument(dir.filePath("item.txt")));
        ViewController* controller = document->viewController();
        controller->setReportText(QStringLiteral("before\n"));
        document->saveDocument();
        QFileDialog* dialog = fileDialog(controller);
        QVERIFY(dialog);
        QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(), QStringLiteral("Orvane_item.txt.text"));
        QTest::mouseClick(controller->theCheckButton, Qt::LeftButton);
        const QByteArray report = controller->reportText().toUtf8();
        QCOMPARE(report, warn + "No digest found for " + QFile::encodeName(dir.filePath("item.txt")) + "\n");
        confirmSaveDialog(controller, dir.filePath("saved.txt"));
        QCOMPARE(contentsOf(dir.filePath("saved.txt")), report);

        // Never over the item itself.
        document->saveDocument();
        confirmSaveDialog(controller, dir.filePath("item.txt"));
        QTRY_VERIFY(errorAlert());
        QCOMPARE(contentsOf(dir.filePath("item.txt")), QByteArray("item"));
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
        fixtures::ScratchMount mount(dir.filePath("volume"));
        if (!mount.valid())
            QSKIP(qPrintable(mount.reason()));
        const QString root = dir.filePath("volume");
        const QStringList files = { "a", "b/c", "b/d/e" };
        for (const QString& file : files)
            writeFile(root + "/" + file, file.toUtf8());
        if (!readOnly && !fixtures::supportsUserAttributes(root))
            QSKIP("this kernel's tmpfs takes no user.* attributes");
        if (readOnly && !mount.makeReadOnly())
            QSKIP(qPrintable(mount.reason()));
        QPointer<Document> document = openDocument(root);
        DocumentWindow* window = document->windowControllers().first();
        QPointer<ViewController> controller = document->viewController();
        ReadGate gate;
        controller->theReadFunction = gate.reader();
        QTest::mouseClick(controller->theHashButton, Qt::LeftButton);
        QTest::mouseClick(controller->theCheckButton, Qt::LeftButton);
        QTRY_COMPARE(gate.waiting(), 2);
        QSignalSpy reportChanges(controller->outputTextbox, &ReportView::textChanged);
        QSignalSpy spinnerChanges(controller->progressSpinner, &QProgressBar::valueChanged);
        QSignalSpy ended(controller, &ViewController::folderRunEnded);

        QVERIFY(window->close());
        QVERIFY(!window->isVisible());
        QCoreApplication::processEvents();
        QVERIFY(document); // kept while its runs walk
        QCOMPARE(controller->runsInFlight(), 2);

        gate.open();
        QTRY_VERIFY(!document);
        QVERIFY(!controller);
        QCOMPARE(ended.count(), 2);
        QCOMPARE(reportChanges.count(), 0);
        QCOMPARE(spinnerChanges.count(), 0);
        QVERIFY(!errorAlert());
        for (const QString& file : files) {
            const std::optional<QByteArray> stored = fixtures::attribute(root + "/" + file);
            QCOMPARE(stored.has_value(), !readOnly);
            if (stored)
                QCOMPARE(*stored, digestOfFile(root + "/" + file));
        }
    }
};

QTEST_MAIN(TestDocument)
#include "tst_document.moc"
