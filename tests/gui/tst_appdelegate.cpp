#include "app/appdelegate.h"
#include "app/helpwindow.h"
#include "app/launchoptions.h"
#include "app/mainmenu.h"
#include "app/startwindow.h"
#include "cannedhttpserver.h"
#include "desktopfixtures.h"
#include "document/document.h"
#include "document/documentwindow.h"
#include "guifixtures.h"
#include "manifestfixtures.h"
#include "report/reportview.h"

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QSettings>

#include <csignal>
#include <sys/xattr.h>
#include <unistd.h>

using namespace guifixtures;

namespace {

DocumentWindow* windowOf(const Document* document)
{
    return document->windowControllers().first();
}

} // namespace

class TestAppDelegate : public QObject
{
    Q_OBJECT

    QProcess m_bus;
    QTemporaryDir m_busFolder;

private slots:
    // A session bus of the test's own, for this process and the programs it starts. Its configuration names
    // no folder of services: a notification daemon installed on the machine is not started on it.
    void initTestCase()
    {
        const QString config = m_busFolder.filePath("session.conf");
        writeFile(config,
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
            " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
            "<busconfig><type>session</type><listen>unix:dir="
                + QFile::encodeName(m_busFolder.path())
                + "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" "
                  "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        m_bus.start("dbus-daemon", { "--config-file=" + config, "--print-address", "--nofork" });
        QVERIFY2(m_bus.waitForReadyRead(10000), "dbus-daemon gave no address");
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.readLine().trimmed());
    }
    void cleanupTestCase()
    {
        m_bus.kill();
        m_bus.waitForFinished();
    }
    void init()
    {
        useTestSettings();
    }

    // Items open in the order given, each once, a link to a folder as a folder; drops of local items only.
    void launchWithItemsAndDrops()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("Photos/a.jpg"), "a");
        writeFile(dir.filePath("thesis.pdf"), "t");
        makeSymlink(dir.filePath("Photos"), dir.filePath("link"));
        AppDelegate app;
        app.applicationDidFinishLaunching({ local(dir.filePath("link")).c_str(),
            local(dir.filePath("thesis.pdf")).c_str(),
            local(dir.filePath("gone")).c_str() });
        QCOMPARE(app.documents().size(), 2);
        QCOMPARE(app.documents().at(0)->item().path, local(dir.filePath("link")));
        QVERIFY(app.documents().at(0)->item().isFolder); // the file system says
        QCOMPARE(app.documents().at(1)->item().path, local(dir.filePath("thesis.pdf")));
        QVERIFY(!app.startWindow());
        QCOMPARE(messageBox("errorAlert")->text(), QStringLiteral("An error occurred:"));
        QCOMPARE(alertMessage(),
            QStringLiteral("%1 could not be opened: No such file or directory.").arg(dir.filePath("gone")));
        QCOMPARE(app.openItem(QFile::encodeName(dir.path() + "/./thesis.pdf")), app.documents().at(1));

        app.showStartWindow();
        for (QWidget* target : QList<QWidget*> { windowOf(app.documents().at(0)), app.startWindow() }) {
            const QString folder = dir.filePath(target->objectName()); // a new one for each window
            writeFile(folder + "/x", "x");
            QVERIFY(!dropOn(target, { QUrl(QStringLiteral("https://example.org/page")) }));
            QVERIFY(dropOn(target, { QUrl::fromLocalFile(folder), QUrl::fromLocalFile(dir.filePath("thesis.pdf")) }));
        }
        QTRY_COMPARE(app.documents().size(), 4);
    }

    // The Recent menu lists the items opened, newest first, once each, without those that have gone.
    void startWindow()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("tree/notes.txt"), "n");
        AppDelegate app;
        app.applicationDidFinishLaunching({});
        StartWindow* start = app.startWindow();
        QVERIFY(start && start->isVisible());
        QCOMPARE(child<QListWidget>(start, "recentList")->item(0)->text(), QStringLiteral("No recent items"));
        child<QAction>(start, "openFolderAction")->trigger();
        QCOMPARE(fileDialog(start)->fileMode(), QFileDialog::Directory);
        confirmFileDialog(start, dir.filePath("tree"));
        QTRY_COMPARE(app.documents().size(), 1);
        QTRY_VERIFY(!start->isVisible());
        for (const char* name : { "a", "b&c", "d", "a" }) {
            writeFile(dir.filePath(name), "x");
            app.openItem(QFile::encodeName(dir.filePath(name)));
        }
        QVERIFY(QFile::remove(dir.filePath("d")));
        auto* menu = start->findChild<QMenu*>(QStringLiteral("recentMenu"));
        emit menu->aboutToShow();
        const QList<QAction*> entries = menu->actions();
        QCOMPARE(entries.at(0)->text(), dir.filePath("a"));
        QCOMPARE(entries.at(1)->text(), dir.filePath("b&&c"));
        QCOMPARE(entries.at(2)->text(), dir.filePath("tree"));
        QVERIFY(entries.at(3)->isSeparator());
        for (Document* document : app.documents())
            QVERIFY(windowOf(document)->close());
        QTRY_VERIFY(app.documents().isEmpty());
        entries.at(1)->trigger();
        QCOMPARE(app.documents().first()->item().path, local(dir.filePath("b&c")));
    }

    // Every window carries the same menus; closing the last window, help ones included, quits.
    void everyWindow()
    {
        QTemporaryDir dir;
        AppDelegate app;
        QSignalSpy quit(&app, &AppDelegate::allWindowsClosed);
        app.showStartWindow();
        app.openHelp();
        app.openHelp();
        QMainWindow* document = windowOf(app.openItem(QFile::encodeName(dir.path())));
        QVERIFY(!app.startWindow()->isVisible());
        QCOMPARE(app.helpMenus().size(), 4);
        QCOMPARE(app.helpWindows().size(), 2);
        for (QMainWindow* window : QList<QMainWindow*> { app.startWindow(), app.helpWindows().first(), document }) {
            QStringList menus;
            for (const QAction* menu : window->menuBar()->actions())
                menus << menu->text();
            QCOMPARE(menus, QStringList({ "&File", "&Edit", "&View", "&Help" }));
            QAction* status = child<QAction>(window, MainMenu::updateStatusName);
            QCOMPARE(status->text(), QStringLiteral("Update not checked"));
            QVERIFY(app.helpMenus().contains(qobject_cast<QMenu*>(status->parent())));
            for (const char* name : { "saveAction", "exportAction", "copyAction", "problemsOnlyAction" })
                QCOMPARE(child<QAction>(window, name)->isEnabled(), window == document);
            for (const char* name : { "biggerAction", "findAction" }) // help zooms and finds
                QCOMPARE(child<QAction>(window, name)->isEnabled(), window != app.startWindow());
            for (const QWidget* control : window->findChildren<QWidget*>()) // named for assistive tools
                if ((control->focusPolicy() & Qt::TabFocus) && control->isVisibleTo(window))
                    QVERIFY(!QAccessible::queryAccessibleInterface(const_cast<QWidget*>(control))
                                 ->text(QAccessible::Name)
                                 .isEmpty());
        }
        auto* controller = static_cast<DocumentWindow*>(document)->viewController();
        for (int step = 0; step < 100 && child<QAction>(document, "biggerAction")->isEnabled(); ++step)
            child<QAction>(document, "biggerAction")->trigger(); // disabled at the largest size
        QCOMPARE(controller->fontSize(), 60.0);
        child<QAction>(document, "actualSizeAction")->trigger();
        QCOMPARE(controller->fontSize(), 12.0);
        child<QAction>(document, "aboutAction")->trigger();
        QCOMPARE(answer("aboutBox", "OK"), QStringLiteral("Orvane " ORVANE_VERSION));

        PageCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "openPage");
        child<QAction>(app.startWindow(), "supportAction")->trigger();
        child<QAction>(app.startWindow(), "updatesAction")->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(catcher.opened,
            QList<QUrl>({ QUrl(QStringLiteral(ORVANE_SUPPORT_URL)), QUrl(QStringLiteral(ORVANE_UPDATES_URL)) }));

        QVERIFY(app.helpWindows().first()->close());
        QCOMPARE(app.helpWindows().size(), 2);
        QVERIFY(document->close());
        QTRY_VERIFY(app.documents().isEmpty());
        QCOMPARE(quit.count(), 0); // a help window is still open
        QVERIFY(app.helpWindows().last()->close());
        QTRY_COMPARE(quit.count(), 1);
    }

    // Every Help menu, also that of a window opened afterwards, shows the check done.
    void updateCheckAtLaunch()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("a/x"), "x");
        CannedHttpServer server;
        const QByteArray download = server.url("/downloads/orvane-9.9.tar.gz").toEncoded();
        const QByteArray manifest = manifests::xml({ manifests::entry("Orvane", "9.9", download) });
        server.serve("/update.plist", { 200, "text/xml", manifest });
        const auto version = [] { return QStringLiteral("1.0.0"); };
        AppDelegate app(
            nullptr, { nullptr, {}, version, server.url("/update.plist"), server.url("/downloads/").toString() });
        QSignalSpy finished(app.updateCheck(), &orvane::UpdateCheck::updateCheckFinished);
        app.applicationDidFinishLaunching({ local(dir.filePath("a")).c_str() });
        QVERIFY(finished.wait());

        QMessageBox* first = messageBox("updateOffer");
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
        QTRY_VERIFY(!messageBox("updateOffer"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QCOMPARE(catcher.opened, QList<QUrl> { QUrl(QString::fromLatin1(download)) });

        app.openItem(QFile::encodeName(dir.filePath("a/x")));
        QCOMPARE(app.helpMenus().size(), 2);
        for (const Document* document : app.documents()) {
            const QAction* status = child<QAction>(windowOf(document), MainMenu::updateStatusName);
            QCOMPARE(status->text(), QStringLiteral("Checked for update"));
            QVERIFY(status->isChecked());
        }
    }

    // Tag asks first; a Check shows its problems as it goes, and the find bar finds a file among them.
    // ORVANE_SCREENSHOTS names a folder for pictures of these moments (the README and docs/ show them).
    void checkFromTheWindow()
    {
        QTemporaryDir dir(QDir::tempPath() + "/orvane-demo-XXXXXX");
        const QString root = dir.filePath("Holiday photos");
        const QString files = "beach.jpg sunset.jpg album/cover.png album/dunes.jpg notes.txt harbour.jpg market.jpg "
                              "album/lighthouse.jpg";
        for (const QString& file : files.split(u' '))
            writeFile(root + "/" + file, patternBytes(20000 + int(file.size()), uint(file.size())));
        QSettings().setValue(QLatin1String(ViewController::askBeforeTagKey), true);
        AppDelegate app;
        DocumentWindow* window = windowOf(app.openItem(QFile::encodeName(root)));
        ViewController* controller = window->viewController();
        QSignalSpy ended(controller, &ViewController::runEnded);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window->windowHandle(), Qt::Key_T, Qt::AltModifier);
        QTRY_VERIFY(messageBox("tagQuestion"));
        screenshot(window, "orvane-tag-question.png");
        answer("tagQuestion", "Tag");
        QVERIFY(ended.wait());
        for (const QString file : { "notes.txt", "album/dunes.jpg", "market.jpg" })
            writeFile(root + "/" + file, "changed after tagging");
        writeFile(root + "/new.jpg", "never tagged");
        ReadGate gate;
        const QString held = walkOrder(root).last();
        controller->setReadFunction(gate.reader(QFile::encodeName(held).constData()));
        press(controller, "theCheckButton");
        QTRY_COMPARE(gate.waiting(), 1);
        QTRY_VERIFY(child<QLabel>(controller, "problemsLine")->isVisible());
        screenshot(window, "orvane-live.png");
        gate.open();
        QVERIFY(ended.wait());
        child<QAction>(window, "findAction")->trigger();
        QTest::keyClicks(child<QLineEdit>(controller, "findField"), "notes");
        screenshot(window, "orvane-check.png");
    }

    // A folder's window leaves out what its .orvane-ignore lists, has it edited (made first, with a few lines
    // saying what goes in it), and compares the folder with another in a window of its own, as orvane-cli does.
    void exclusionsAndComparison()
    {
        QTemporaryDir dir;
        const QString a = dir.filePath("A"), b = dir.filePath("B");
        writeFile(a + "/photo.jpg", "p");
        writeFile(a + "/scratch.tmp", "s");
        QCOMPARE(runProgram(CLI_PATH, { "tag", a }).exitCode, 0);
        QCOMPARE(QProcess::execute("cp", { "-a", a, b }), 0);
        writeFile(b + "/photo.jpg", "edited");
        AppDelegate app;
        DocumentWindow* window = windowOf(app.openItem(QFile::encodeName(a)));
        PageCatcher editor;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &editor, "openPage");
        child<QAction>(window, "editExclusionsAction")->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(editor.opened, QList<QUrl> { QUrl::fromLocalFile(a + "/.orvane-ignore") });
        QVERIFY(contentsOf(a + "/.orvane-ignore").startsWith("# What Orvane leaves out of Check, Tag, Retag"));
        writeFile(a + "/.orvane-ignore", contentsOf(a + "/.orvane-ignore") + "*.tmp\n");
        ViewController* controller = window->viewController();
        QSignalSpy ended(controller, &ViewController::runEnded);
        press(controller, "theCheckButton");
        QVERIFY(ended.wait());
        QCOMPARE(controller->reportBytes(), runProgram(CLI_PATH, { "check", a }).out);
        QVERIFY(controller->reportBytes().endsWith("\t1 were excluded.\n"));

        child<QAction>(window, "compareAction")->trigger();
        confirmFileDialog(window, b);
        QTRY_COMPARE(app.documents().size(), 2);
        const ViewController* comparison = app.documents().last()->viewController();
        QVERIFY(comparison->isComparison());
        QTRY_COMPARE(comparison->reportBytes(), runProgram(CLI_PATH, { "compare", a, b }).out);
        QCOMPARE(windowOf(app.documents().last())->windowTitle(), "A compared with B");
    }

    // Names that are not UTF-8 or hold control characters: the window's report, saved, is orvane-cli's byte
    // for byte, and Show in Files, Copy Path and Open name the files themselves.
    void exactFilesEndToEnd()
    {
        QTemporaryDir dir;
        const QByteArray root = QFile::encodeName(dir.filePath("tree"));
        const QList<QByteArray> names { "caf\xe9.txt", "ctrl\x01name.txt" };
        for (const QByteArray& name : names)
            makeFile(root, name, name);
        const QByteArray tagged = root + '/' + names[0];
        QVERIFY(::setxattr(tagged.constData(), "user.co.sablewickfern.kelmor.hash#S", sha256(names[0]), 32, 0) == 0);
        AppDelegate app;
        DocumentWindow* window = windowOf(app.openItem(root));
        ViewController* controller = window->viewController();
        QSignalSpy ended(controller, &ViewController::runEnded);
        press(controller, "theCheckButton");
        QVERIFY(ended.wait());
        child<QAction>(window, "saveAction")->trigger();
        confirmFileDialog(controller, dir.filePath("report.text"));
        QCOMPARE(contentsOf(dir.filePath("report.text")), runProgram(CLI_PATH, { "check", dir.filePath("tree") }).out);
        // Export in each type writes what orvane-cli writes, the extension following the type.
        const QStringList commands[] = { { "check" }, { "--format=jsonl", "check" }, { "export" } };
        for (int type = 0; type < 3; ++type) {
            child<QAction>(window, "exportAction")->trigger();
            for (int down = 0; down < type; ++down)
                QTest::keyClick(child<QComboBox>(fileDialog(controller), "fileTypeCombo"), Qt::Key_Down);
            confirmFileDialog(controller, dir.filePath("export"));
            const QString file = dir.filePath("export.") + QStringList { "txt", "jsonl", "sha256" }.at(type);
            QTRY_VERIFY(QFile::exists(file));
            QCOMPARE(contentsOf(file), runProgram(CLI_PATH, commands[type] + QStringList { dir.filePath("tree") }).out);
        }
        QCOMPARE(alertMessage(),
            QStringLiteral("The checksum list %1 leaves out 1 file with no stored digest.")
                .arg(dir.filePath("export.sha256")));

        // A stand-in for xdg-open exits with the status in its .status file, having logged what it was to open.
        const QString opener = dir.filePath("bin/xdg-open");
        writeFile(opener, "#!/bin/sh\nstatus=$(cat \"$0.status\")\necho \"$1\" >> \"$0.log\"\nexit $status\n");
        writeFile(opener + ".status", "0");
        QVERIFY(QFile::setPermissions(opener, QFile::ReadOwner | QFile::ExeOwner));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(dir.filePath("bin")) + ':' + path);
        std::optional<FakeFileManager> files(std::in_place);
        auto* view = child<ReportView>(controller, "outputTextbox");
        QByteArray log;
        for (int pass = 0; pass < 3; ++pass) { // the last one with nothing to answer
            const QByteArray& name = names[pass % 2];
            const QByteArray address = "file://" + QByteArray(root + '/' + name).toPercentEncoding("/");
            const QString shown = QString::fromLatin1(name).replace(u'\x01', QStringLiteral("\\x01"));
            const qsizetype line = view->lineOfPosition(view->text().indexOf(name == names[0] ? "caf\\xe9" : shown));
            const QPoint at = view->characterRect(view->lineStart(line)).center();
            if (pass == 2) {
                files.reset();
                writeFile(opener + ".status", "3");
            }
            QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
            if (pass < 2) {
                QTRY_COMPARE(files->shown.value(0), QString::fromLatin1(address));
                files->shown.clear();
            } else {
                QCOMPARE(
                    alertMessage(), dir.filePath("tree/caf\\xe9.txt could not be shown: no file manager answered."));
                log += "file://" + QFile::encodeName(dir.filePath("tree")).toPercentEncoding("/") + '\n';
            }
            for (const QString action : { "Copy &Path", "&Open" }) {
                QContextMenuEvent menu(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
                QCoreApplication::sendEvent(view->viewport(), &menu);
                QTRY_VERIFY(QApplication::activePopupWidget());
                for (QAction* entry : QApplication::activePopupWidget()->actions())
                    if (entry->text() == action)
                        entry->trigger();
                QApplication::activePopupWidget()->close();
            }
            QCOMPARE(QGuiApplication::clipboard()->mimeData()->urls().value(0).toEncoded(), address);
            log += address + '\n';
            QTRY_COMPARE(contentsOf(opener + ".log"), log);
        }
        QCOMPARE(alertMessage(),
            dir.filePath("tree/caf\\xe9.txt could not be opened: no application or file manager answered."));
        qputenv("PATH", path);
    }

    // After Stop and Close the program ends once the run has finished the file in hand, starting no other.
    void quitStopsWalkingRuns()
    {
        QTemporaryDir dir;
        for (int i = 0; i < 10; ++i) // more than the 8 files a run may hash at once
            writeFile(dir.filePath(QStringLiteral("f%1").arg(i)), "x");
        AppDelegate app;
        QSignalSpy quit(&app, &AppDelegate::allWindowsClosed);
        DocumentWindow* window = windowOf(app.openItem(QFile::encodeName(dir.path())));
        ReadGate gate;
        window->viewController()->setReadFunction(gate.reader());
        press(window, "theRetagButton");
        QTRY_VERIFY(gate.waiting() >= 1);

        child<QAction>(window, "quitAction")->trigger();
        QCOMPARE(answer("stopQuestion", QStringLiteral("Stop and Quit")), QStringLiteral("Stop the runs and quit?"));
        QTRY_VERIFY(!window->isVisible());
        QCOMPARE(quit.count(), 0);
        QCOMPARE(app.documents().size(), 1);

        gate.open();
        QTRY_COMPARE(quit.count(), 1);
        QVERIFY(app.documents().isEmpty());
        QVERIFY(!attribute(walkOrder(dir.path()).last())); // the run started no other file
    }

    // A second orvane gives its items to the first one over the session bus and ends; the first tags them.
    // A folder whose name is not UTF-8 is tagged, not the folder named by its decoded text beside it, when
    // orvane is started on it and when it hands it over to a running orvane.
    void handOverToTheRunningInstance()
    {
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path()) + "/caf\xe9";
        const QByteArray decoy = QFile::encodeName(dir.path()) + "/caf\xef\xbf\xbd"; // U+FFFD
        makeFile(folder, "a", "a");
        makeFile(decoy, "a", "a");
        qputenv("XDG_CONFIG_HOME", dir.path().toUtf8()); // their settings: Tag starts without its question
        writeFile(dir.filePath("Orvane/Orvane.conf"), "[General]\naskBeforeTag=false\n");
        const auto tagged = [](const QByteArray& file) {
            char value[64];
            return ::getxattr(file.constData(), "user.co.sablewickfern.kelmor.hash#S", value, sizeof value) == 32;
        };
        QProcess first;
        first.start(QStringLiteral(ORVANE_PATH));
        QTRY_VERIFY_WITH_TIMEOUT(
            QDBusConnection::sessionBus().interface()->isServiceRegistered("co.sablewickfern.Orvane"), 30000);
        QCOMPARE(exitStatus(spawnBytes(ORVANE_PATH, { "--tag", folder })), 0);
        QTRY_VERIFY_WITH_TIMEOUT(tagged(folder + "/a"), 30000);
        // The running instance's working folder is not the caller's: a relative path is refused.
        qDBusRegisterMetaType<QList<QByteArray>>();
        QDBusMessage relative = QDBusMessage::createMethodCall(
            "co.sablewickfern.Orvane", "/co/sablewickfern/Orvane", "co.sablewickfern.Orvane1", "Open");
        relative << QVariant::fromValue(QList<QByteArray> { "caf\xe9" }) << QStringLiteral("check");
        QCOMPARE(QDBusConnection::sessionBus().call(relative).errorName(), "org.freedesktop.DBus.Error.InvalidArgs");
        first.terminate();
        QVERIFY(first.waitForFinished(30000));

        QVERIFY(::removexattr(QByteArray(folder + "/a").constData(), "user.co.sablewickfern.kelmor.hash#S") == 0);
        const pid_t alone = spawnBytes(ORVANE_PATH, { "--tag", folder }); // nothing to hand over to
        QTRY_VERIFY_WITH_TIMEOUT(tagged(folder + "/a"), 30000);
        ::kill(alone, SIGTERM);
        exitStatus(alone);
        QVERIFY(!tagged(decoy + "/a"));

        // Without a display a usage error is told as one; anything else says why it cannot start instead of
        // aborting.
        const auto withoutDisplay = [] {
            for (const char* name : { "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY" })
                ::unsetenv(name);
        };
        const ProgramResult usage = runProgram(ORVANE_PATH, { "--tag" }, {}, withoutDisplay);
        QCOMPARE(usage.exitCode, 2);
        QVERIFY(usage.err.startsWith("orvane: --tag needs a PATH to run on.\n"));
        const ProgramResult noDisplay = runProgram(ORVANE_PATH, { dir.path() }, {}, withoutDisplay);
        QCOMPARE(noDisplay.exitCode, 2);
        QCOMPARE(noDisplay.err,
            "orvane: no display to show windows on: set DISPLAY or WAYLAND_DISPLAY; orvane-cli works without one\n");
    }

    // --check runs on an item named from the working folder, --tag then starts none. A folder run's end in an
    // inactive window is told once, without a service not at all; a click brings the window forward.
    void checkFromTheCommandLineAndNotify()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("Photos/a.jpg"), "a");
        QVERIFY(setAttribute(dir.filePath("Photos/a.jpg"), QByteArray(32, 'x'))); // stays unless a Tag runs
        QVERIFY(QDir::setCurrent(dir.path()));
        AppDelegate app;
        DocumentWindow* other = windowOf(app.openItem(QFile::encodeName(dir.filePath("Photos/a.jpg"))));
        DocumentWindow* photos = windowOf(app.openItem(QFile::encodeName(dir.filePath("Photos"))));
        ReadGate gate;
        photos->viewController()->setReadFunction(gate.reader());
        QSignalSpy ended(photos->viewController(), &ViewController::runEnded);
        for (const char* flag : { "--check", "--tag" }) {
            const auto launch =
                LaunchOptions::parse({ "orvane", flag, "Photos" }, QFile::encodeName(dir.path()), nullptr);
            QVERIFY(launch);
            app.applicationDidFinishLaunching(launch->items, launch->operation);
            QCOMPARE(photos->viewController()->runsInFlight(), 1);
        }
        std::optional<FakeNotifications> service; // none for the first run
        for (DocumentWindow* active : { other, photos, other }) {
            active->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(active));
            writeFile(dir.filePath("Photos/%1").arg(ended.count()), "new"); // each end another outcome
            service ? press(photos, "theCheckButton") : gate.open();
            QVERIFY(ended.wait());
            // A round trip on the same connection: the daemon has answered the Notify sent before it (with
            // an error) before the service takes the name.
            QDBusConnection::sessionBus().interface()->isServiceRegistered("org.freedesktop.Notifications");
            if (!service)
                service.emplace();
        }
        QTRY_COMPARE(
            service->calls, QStringList("Orvane|orvane|Check of Photos: 1 didn't match, 3 had no digest|default,Show"));
        QVERIFY(!messageBox("errorAlert"));
        service->bus.send(QDBusMessage::createSignal(
                              "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked")
            << 7U << QStringLiteral("default"));
        QTRY_VERIFY(photos->isActiveWindow());
    }
};

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
