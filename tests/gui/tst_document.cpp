// Documents and their windows: folder or file from the URL, the item handed to the view controller, the
// report given to Save and Export, and a window closed while its folder runs still walk.

#include "document/document.h"
#include "document/documentwindow.h"
#include "guifixtures.h"
#include "readgate.h"
#include "report/reportview.h"
#include "runner/busyindicator.h"
#include "runner/itemurl.h"
#include "runner/viewcontroller.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
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
        QCOMPARE(*document.dataOfType(QString()), text.toUtf8());
    }

    // Export proposes "Orvane_" + title + ".text", offers .text then .txt, does not block, and writes the
    // report as it was when the command was given, even if a run ends while the dialog is open.
    void exportWritesTheTextOfTheCommand()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("Holiday photos/a.jpg"), "a");
        std::unique_ptr<Document> document(openDocument(dir.filePath("Holiday photos")));
        ViewController* controller = document->viewController();
        controller->setReportText(QStringLiteral("\u26A0\uFE0F No digest found for /a\n"));
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
        QCOMPARE(contentsOf(dir.filePath("export.text")), QByteArray("\u26A0\uFE0F No digest found for /a\n"));
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
