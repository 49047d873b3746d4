// The application: launching with and without items, the ways of opening items, one window per item,
// recent items, the menus of every window, help windows and the manual, the maker's pages, and quitting
// only once the folder runs of closed windows have ended.

#include "app/appdelegate.h"
#include "app/helpviewcontroller.h"
#include "app/helpwindow.h"
#include "app/mainmenu.h"
#include "app/recentitems.h"
#include "app/startwindow.h"
#include "cannedhttpserver.h"
#include "document/document.h"
#include "document/documentwindow.h"
#include "guifixtures.h"
#include "manifestfixtures.h"
#include "readgate.h"
#include "runner/itemurl.h"
#include "runner/viewcontroller.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPdfDocument>
#include <QPdfView>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace guifixtures;

namespace {

QAction* action(QWidget* window, const char* name)
{
    return window->findChild<QAction*>(QString::fromLatin1(name));
}

QStringList menuTitles(QMainWindow* window)
{
    QStringList titles;
    const QList<QAction*> menus = window->menuBar()->actions();
    for (const QAction* menu : menus)
        titles << menu->text();
    return titles;
}

// Drags paths over window and drops them there, as a file manager does.
bool dropOn(QWidget* window, const QList<QUrl>& urls)
{
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
    return drop.isAccepted();
}

DocumentWindow* windowOf(const Document* document)
{
    return document->windowControllers().first();
}

} // namespace

// Takes the addresses Orvane asks the desktop to open, instead of starting a browser.
class PageCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void openPage(const QUrl& url)
    {
        opened.append(url);
    }
};

class TestAppDelegate : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        useTestSettings();
    }

    void cleanup()
    {
        dismissAlerts();
    }

    void launchWithoutItems()
    {
        AppDelegate app;
        app.applicationDidFinishLaunching({});
        QVERIFY(app.documents().isEmpty());
        QVERIFY(app.startWindow());
        QVERIFY(app.startWindow()->isVisible());
        QCOMPARE(menuTitles(app.startWindow()), QStringList({ "&File", "&View", "&Help" }));
    }

    void launchWithItems()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("Photos/a.jpg"), "a");
        writeFile(dir.filePath("thesis.pdf"), "t");
        AppDelegate app;
        app.applicationDidFinishLaunching({ dir.filePath("Photos"), dir.filePath("thesis.pdf"), dir.filePath("gone") });
        QCOMPARE(app.documents().size(), 2);
        QVERIFY(!app.startWindow());
        const Document* folder = app.documents().at(0);
        const Document* file = app.documents().at(1);
        QVERIFY(!folder->isFile());
        QVERIFY(file->isFile());
        QCOMPARE(windowOf(folder)->windowTitle(), QStringLiteral("Photos"));
        QCOMPARE(windowOf(file)->windowTitle(), QStringLiteral("thesis.pdf"));
        QVERIFY(windowOf(folder)->isVisible());
        QCOMPARE(folder->viewController()->sourceURL(), folder->url());
        QMessageBox* alert = errorAlert();
        QVERIFY(alert);
        QCOMPARE(alert->text(), QStringLiteral("An error occurred:"));
        QCOMPARE(alert->icon(), QMessageBox::Critical);
        QCOMPARE(alert->buttons().size(), 1);
        QCOMPARE(alert->informativeText(),
            QStringLiteral("%1 could not be opened: No such file or directory.").arg(dir.filePath("gone")));
    }

    void oneWindowPerItem()
    {
        QTemporaryDir dir;
        AppDelegate app;
        Document* first = app.openItem(dir.path());
        QCOMPARE(app.openItem(dir.path() + "/"), first);
        QCOMPARE(app.openItem(dir.path() + "/./"), first);
        QCOMPARE(app.documents().size(), 1);
    }

    void drops_data()
    {
        QTest::addColumn<bool>("onStartWindow");
        QTest::newRow("on the start window") << true;
        QTest::newRow("on a document window") << false;
    }
    void drops()
    {
        QFETCH(bool, onStartWindow);
        QTemporaryDir dir;
        writeFile(dir.filePath("tree/file"), "f");
        AppDelegate app;
        QWidget* target = nullptr;
        if (onStartWindow) {
            app.showStartWindow();
            target = app.startWindow();
        } else {
            target = windowOf(app.openItem(dir.filePath("tree/file")));
        }
        const int before = int(app.documents().size());
        QVERIFY(!dropOn(target, { QUrl(QStringLiteral("https://example.org/page")) }));
        QVERIFY(dropOn(
            target, { QUrl::fromLocalFile(dir.filePath("tree")), QUrl::fromLocalFile(dir.filePath("tree/file")) }));
        // The file was open already; the folder is new and is marked as a folder although the drop said nothing.
        QTRY_COMPARE(int(app.documents().size()), onStartWindow ? before + 2 : before + 1);
        QStringList opened;
        for (const Document* document : app.documents())
            opened << ItemURL::path(*document->url()) + (document->isFile() ? " (file)" : " (folder)");
        QVERIFY(opened.contains(dir.filePath("tree/") + " (folder)"));
        QVERIFY(opened.contains(dir.filePath("tree/file") + " (file)"));
    }

    void openFolderDialog()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("tree/notes.txt"), "n");
        AppDelegate app;
        app.applicationDidFinishLaunching({});
        StartWindow* start = app.startWindow();
        action(start, "openFolderAction")->trigger();
        QFileDialog* dialog = fileDialog(start);
        QVERIFY(dialog);
        QCOMPARE(dialog->fileMode(), QFileDialog::Directory);
        confirmFileDialog(dialog, dir.filePath("tree"));
        QTRY_COMPARE(app.documents().size(), 1);
        QVERIFY(!app.documents().first()->isFile());
        QTRY_VERIFY(!start->isVisible());
    }

    void recentItems()
    {
        QTemporaryDir dir;
        AppDelegate app;
        app.showStartWindow(); // hidden, not gone, once an item opens: its menu serves below
        for (const char* name : { "a", "b&c", "d", "a" }) {
            writeFile(dir.filePath(name), "x");
            app.openItem(dir.filePath(name));
        }
        QVERIFY(QFile::remove(dir.filePath("d"))); // items that have gone are left out
        auto* menu = app.startWindow()->findChild<QMenu*>(QStringLiteral("recentMenu"));
        emit menu->aboutToShow();
        const QList<QAction*> entries = menu->actions();
        QCOMPARE(entries.at(0)->text(), dir.filePath("a"));
        QCOMPARE(entries.at(1)->text(), dir.filePath("b&&c"));
        QCOMPARE(entries.at(2)->isSeparator(), true);
        // Chosen once its window has gone, the item opens again.
        for (Document* document : app.documents())
            QVERIFY(windowOf(document)->close());
        QTRY_VERIFY(app.documents().isEmpty());
        entries.at(1)->trigger();
        QCOMPARE(windowOf(app.documents().first())->windowTitle(), QStringLiteral("b&c"));
    }

    // Every window carries the same menus; commands that need a report are off where there is none.
    void menusOfEveryWindow()
    {
        QTemporaryDir dir;
        AppDelegate app;
        app.showStartWindow();
        app.openHelp();
        QMainWindow* document = windowOf(app.openItem(dir.path()));
        const QList<QMainWindow*> windows = { app.startWindow(), app.helpWindows().first(), document };
        QCOMPARE(app.helpMenus().size(), 3);

        const QList<QPair<const char*, QKeySequence>> shortcuts = {
            { "openFileAction", QKeySequence("Ctrl+O") },
            { "openFolderAction", QKeySequence("Ctrl+Shift+O") },
            { "saveAction", QKeySequence("Ctrl+S") },
            { "exportAction", QKeySequence("Ctrl+E") },
            { "closeAction", QKeySequence("Ctrl+W") },
            { "quitAction", QKeySequence("Ctrl+Q") },
            { "biggerAction", QKeySequence("Ctrl++") },
            { "smallerAction", QKeySequence("Ctrl+-") },
            { "actualSizeAction", QKeySequence("Ctrl+0") },
            { "findAction", QKeySequence("Ctrl+F") },
            { "findNextAction", QKeySequence("F3") },
            { "findPreviousAction", QKeySequence("Shift+F3") },
            { "problemsOnlyAction", QKeySequence("Ctrl+Shift+P") },
            { "helpAction", QKeySequence(Qt::Key_F1) },
        };
        for (QMainWindow* window : windows) {
            QCOMPARE(menuTitles(window), QStringList({ "&File", "&View", "&Help" }));
            for (const auto& [name, keys] : shortcuts) {
                QVERIFY2(action(window, name), name);
                QCOMPARE(action(window, name)->shortcut(), keys);
            }
            QVERIFY(action(window, "supportAction"));
            QVERIFY(action(window, "updatesAction"));
            QAction* status = action(window, MainMenu::updateStatusName);
            QVERIFY(status);
            QCOMPARE(status->text(), QStringLiteral("Update not checked"));
            QVERIFY(app.helpMenus().contains(qobject_cast<QMenu*>(status->parent())));
            const bool hasReport = window == document;
            for (const char* name : { "saveAction", "exportAction", "findAction", "problemsOnlyAction" })
                QCOMPARE(action(window, name)->isEnabled(), hasReport);
            QCOMPARE(action(window, "biggerAction")->isEnabled(), window != app.startWindow()); // help zooms
        }

        // Bigger and Smaller are off at the bounds, 60 and 4 points; Actual Size goes back to 12.
        auto* controller = static_cast<DocumentWindow*>(document)->viewController();
        for (const auto& [name, bound] : { std::pair("biggerAction", 60.0), std::pair("smallerAction", 4.0) }) {
            for (int step = 0; step < 100 && action(document, name)->isEnabled(); ++step)
                action(document, name)->trigger();
            QCOMPARE(controller->fontSize(), bound);
            QVERIFY(!action(document, name)->isEnabled());
            action(document, "actualSizeAction")->trigger();
            QCOMPARE(controller->fontSize(), 12.0);
            QVERIFY(action(document, name)->isEnabled());
        }
    }

    // Launching runs the update check. Every Help menu, also that of a window opened afterwards, turns
    // "Update not checked" into the checked "Checked for update"; each offered version gets a box of its
    // own, one after another, none blocking; Download opens the address in the browser.
    void updateCheckAtLaunch()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("a/x"), "x");
        CannedHttpServer server;
        const QByteArray download = server.url("/downloads/orvane-9.9.tar.gz").toEncoded();
        CannedHttpServer::Response manifest;
        manifest.body = manifests::xml({ manifests::entry("Orvane", "9.9", download),
            manifests::entry("Orvane", "0.9", server.url("/downloads/old.tar.gz").toEncoded()) });
        server.serve("/update.plist", manifest);

        orvane::UpdateCheckHooks hooks;
        hooks.manifestUrl = server.url("/update.plist");
        hooks.downloadBase = server.url("/downloads/").toString();
        hooks.runningVersion = [] { return QStringLiteral("1.0.0"); };
        AppDelegate app(nullptr, hooks);
        QSignalSpy finished(app.updateCheck(), &orvane::UpdateCheck::updateCheckFinished);
        app.applicationDidFinishLaunching({ dir.filePath("a") });
        QVERIFY(finished.wait());

        const auto offerBox = [] {
            for (QWidget* window : QApplication::topLevelWidgets())
                if (window->objectName() == QStringLiteral("updateOffer") && window->isVisible())
                    return qobject_cast<QMessageBox*>(window);
            return static_cast<QMessageBox*>(nullptr);
        };
        QMessageBox* first = offerBox();
        QVERIFY(first);
        QCOMPARE(first->text(), QStringLiteral("An update to this app to version 9.9 is available."));
        QCOMPARE(first->informativeText(),
            QStringLiteral("You are currently running Orvane version 1.0.0.\nPlease choose whether to download "
                           "this update now in your default browser."));
        QCOMPARE(first->defaultButton()->text(), QStringLiteral("Ignore"));
        PageCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "openPage");
        for (QAbstractButton* button : first->buttons())
            if (button->text() == QStringLiteral("Download"))
                button->click();
        QTRY_COMPARE(offerBox() ? offerBox()->text() : QString(),
            QStringLiteral("An update to this app to version 0.9 is available."));
        offerBox()->defaultButton()->click(); // Ignore
        QTRY_VERIFY(!offerBox());
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QCOMPARE(catcher.opened, QList<QUrl> { QUrl(QString::fromLatin1(download)) });

        app.openItem(dir.filePath("a/x"));
        QCOMPARE(app.helpMenus().size(), 2);
        for (const Document* document : app.documents()) {
            const QAction* status = action(windowOf(document), MainMenu::updateStatusName);
            QCOMPARE(status->text(), QStringLiteral("Checked for update"));
            QVERIFY(status->isChecked());
        }
    }

    // Alt+C, Alt+T and Alt+R press the buttons.
    // Alt+T presses Tag: a mnemonic presses the button visibly, and the click comes a moment later.
    void mnemonic()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("f"), "f");
        AppDelegate app;
        DocumentWindow* window = windowOf(app.openItem(dir.filePath("f")));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window->windowHandle(), Qt::Key_T, Qt::AltModifier);
        QTRY_COMPARE(window->viewController()->reportText().toUtf8(),
            okMark + "Tagged " + QFile::encodeName(dir.filePath("f")) + "\n");
    }

    // A folder checked from its window: Tag, a file changes, Check. With ORVANE_SCREENSHOT set to a file
    // name, the window is saved there as a picture (the README shows it).
    void checkFromTheWindow()
    {
        QTemporaryDir dir(QDir::tempPath() + "/orvane-demo-XXXXXX");
        const QString root = dir.filePath("Holiday photos");
        const QStringList files = { "beach.jpg", "sunset.jpg", "album/cover.png", "notes.txt" };
        for (const QString& file : files)
            writeFile(root + "/" + file, patternBytes(20000 + int(file.size()), uint(file.size())));
        AppDelegate app;
        DocumentWindow* window = windowOf(app.openItem(root));
        ViewController* controller = window->viewController();
        QSignalSpy ended(controller, &ViewController::runEnded);
        QTest::mouseClick(child<QPushButton>(controller, "theHashButton"), Qt::LeftButton);
        QVERIFY(ended.wait());
        writeFile(root + "/notes.txt", "changed after tagging");
        writeFile(root + "/new.jpg", "never tagged");
        QTest::mouseClick(child<QPushButton>(controller, "theCheckButton"), Qt::LeftButton);
        QVERIFY(ended.wait());
        QCOMPARE(controller->reportText().toUtf8(), engineReport(orvane::Operation::Check, root));
        QCOMPARE(window->windowTitle(), QStringLiteral("Holiday photos"));
        QCOMPARE(child<QLabel>(controller, "problemsLine")->text(),
            "2 lines are warnings or errors. <a href=\"toggle\">Show Problems Only</a>");
        action(window, "findAction")->trigger();
        QTest::keyClicks(child<QLineEdit>(controller, "findField"), "notes");

        const QString screenshot = qEnvironmentVariable("ORVANE_SCREENSHOT");
        if (!screenshot.isEmpty()) {
            QCoreApplication::processEvents(); // the find bar's layout, after its count has grown
            QVERIFY(window->grab().save(screenshot));
        }
    }

    void helpWindowsAccumulate()
    {
        AppDelegate app;
        app.openHelp();
        app.openHelp();
        QCOMPARE(app.helpWindows().size(), 2);
        QVERIFY(app.helpWindows().first() != app.helpWindows().last());
        for (HelpWindow* window : app.helpWindows()) {
            QVERIFY(window->isVisible());
            const QPdfDocument* manual = window->viewController()->manual();
            QVERIFY(manual);
            QCOMPARE(manual->status(), QPdfDocument::Status::Ready);
            QVERIFY(manual->pageCount() > 0);
            QCOMPARE(child<QPdfView>(window, "helpPDFView")->document(), manual);
        }
        // Closed help windows stay in the list.
        QVERIFY(app.helpWindows().first()->close());
        QCOMPARE(app.helpWindows().size(), 2);
    }

    void manualMissing()
    {
        HelpViewController help;
        help.setManualPath(QStringLiteral("/nonexistent/OrvaneHelp.pdf"));
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        QVERIFY(!help.manual());
        QVERIFY(!errorAlert());
    }

    void makerPagesOpenInTheBrowser()
    {
        PageCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "openPage");
        AppDelegate app;
        app.showStartWindow();
        action(app.startWindow(), "supportAction")->trigger();
        action(app.startWindow(), "updatesAction")->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(catcher.opened,
            QList<QUrl>(
                { QUrl(QStringLiteral(ORVANE_SUPPORT_URL)), AppDelegate::updatePageFor(QSysInfo::productVersion()) }));
    }

    void closingTheLastWindowQuits()
    {
        QTemporaryDir dir;
        AppDelegate app;
        QSignalSpy quit(&app, &AppDelegate::allWindowsClosed);
        app.showStartWindow();
        app.openHelp();
        Document* document = app.openItem(dir.path());
        QVERIFY(!app.startWindow()->isVisible()); // opening an item takes the start window's place
        QVERIFY(windowOf(document)->close());
        QTRY_VERIFY(app.documents().isEmpty());
        QCOMPARE(quit.count(), 0); // the help window is still open
        QVERIFY(app.helpWindows().first()->close());
        QTRY_COMPARE(quit.count(), 1);
    }

    // Quit while a folder run walks: one question; after Stop and Close the windows close at once, and the
    // program ends once the run has finished the file in hand (its attribute written) and started no other.
    void quitStopsWalkingRuns()
    {
        QTemporaryDir dir;
        const QStringList files = { "a", "b/c" };
        for (const QString& file : files)
            writeFile(dir.filePath(file), file.toUtf8());
        AppDelegate app;
        QSignalSpy quit(&app, &AppDelegate::allWindowsClosed);
        DocumentWindow* window = windowOf(app.openItem(dir.path()));
        ReadGate gate;
        window->viewController()->setReadFunction(gate.reader());
        QTest::mouseClick(child<QPushButton>(window, "theRetagButton"), Qt::LeftButton);
        QTRY_COMPARE(gate.waiting(), 1);

        action(window, "quitAction")->trigger();
        QMessageBox* question = nullptr;
        QTRY_VERIFY((question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())));
        QCOMPARE(question->text(), QStringLiteral("Stop the run and close?"));
        for (QAbstractButton* choice : question->buttons())
            if (choice->text() == QStringLiteral("Stop and Close"))
                choice->click();
        QTRY_VERIFY(!window->isVisible());
        QCOMPARE(quit.count(), 0);
        QCOMPARE(app.documents().size(), 1);

        gate.open();
        QTRY_COMPARE(quit.count(), 1);
        QVERIFY(app.documents().isEmpty());
        const QString first = walkOrder(dir.path()).first();
        for (const QString& file : files) {
            const QString path = dir.filePath(file);
            QCOMPARE(attribute(path).has_value(), path == first);
        }
        QCOMPARE(*attribute(first), digestOfFile(first));
    }
};

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
