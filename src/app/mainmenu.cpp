#include "mainmenu.h"

#include "app/appdelegate.h"
#include "app/recentitems.h"
#include "document/document.h"
#include "runner/viewcontroller.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("MainMenu", text);
}

// A path shown as a menu item: "&" would otherwise underline the next letter.
QString menuText(QString path)
{
    return path.replace(u'&', QStringLiteral("&&"));
}

} // namespace

QMenu* MainMenu::install(AppDelegate& app, QMainWindow* window, Document* document)
{
    ViewController* controller = document ? document->viewController() : nullptr;
    QMenuBar* bar = window->menuBar();

    QMenu* file = bar->addMenu(tr("&File"));
    file->addAction(tr("&Open File…"), QKeySequence(tr("Ctrl+O")), &app, [&app, window] { app.openFileDialog(window); })
        ->setObjectName(QStringLiteral("openFileAction"));
    file->addAction(tr("Open &Folder…"),
            QKeySequence(tr("Ctrl+Shift+O")),
            &app,
            [&app, window] { app.openFolderDialog(window); })
        ->setObjectName(QStringLiteral("openFolderAction"));
    QMenu* recent = file->addMenu(tr("Open &Recent"));
    recent->setObjectName(QStringLiteral("recentMenu"));
    QObject::connect(recent, &QMenu::aboutToShow, recent, [recent, &app] { fillRecentMenu(recent, app); });
    file->addSeparator();
    QAction* save = file->addAction(tr("&Save Report…"), QKeySequence(tr("Ctrl+S")));
    save->setObjectName(QStringLiteral("saveAction"));
    QAction* exportReport = file->addAction(tr("&Export Report…"), QKeySequence(tr("Ctrl+E")));
    exportReport->setObjectName(QStringLiteral("exportAction"));
    file->addSeparator();
    file->addAction(tr("&Close"), QKeySequence(tr("Ctrl+W")), window, &QWidget::close)
        ->setObjectName(QStringLiteral("closeAction"));
    file->addAction(tr("&Quit"), QKeySequence(tr("Ctrl+Q")), &app, &AppDelegate::quit)
        ->setObjectName(QStringLiteral("quitAction"));

    QMenu* view = bar->addMenu(tr("&View"));
    QAction* bigger = view->addAction(tr("&Bigger"));
    bigger->setObjectName(QStringLiteral("biggerAction"));
    // Ctrl+= is Ctrl++ without Shift on keyboards that put "+" above "=".
    bigger->setShortcuts({ QKeySequence(tr("Ctrl++")), QKeySequence(tr("Ctrl+=")) });
    QAction* smaller = view->addAction(tr("&Smaller"), QKeySequence(tr("Ctrl+-")));
    smaller->setObjectName(QStringLiteral("smallerAction"));

    if (controller) {
        QObject::connect(save, &QAction::triggered, document, &Document::saveDocument);
        QObject::connect(exportReport, &QAction::triggered, controller, &ViewController::exportText);
        QObject::connect(bigger, &QAction::triggered, controller, &ViewController::incFontSize);
        QObject::connect(smaller, &QAction::triggered, controller, &ViewController::decFontSize);
    } else {
        for (QAction* action : { save, exportReport, bigger, smaller })
            action->setEnabled(false);
    }

    QMenu* help = bar->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("helpMenu"));
    help->addAction(tr("Orvane &Help"), QKeySequence(Qt::Key_F1), &app, &AppDelegate::openHelp)
        ->setObjectName(QStringLiteral("helpAction"));
    help->addAction(tr("&Support"), &app, &AppDelegate::openSupport)->setObjectName(QStringLiteral("supportAction"));
    help->addAction(tr("&Updates"), &app, &AppDelegate::openUpdates)->setObjectName(QStringLiteral("updatesAction"));
    help->addSeparator();
    help->addAction(QStringLiteral("Update not checked"))->setObjectName(QString::fromLatin1(updateStatusName));
    return help;
}

void MainMenu::markUpdateChecked(QMenu* helpMenu)
{
    auto* item = helpMenu->findChild<QAction*>(QString::fromLatin1(updateStatusName));
    if (!item || item->isChecked())
        return;
    item->setCheckable(true);
    item->setChecked(true);
    item->setText(QStringLiteral("Checked for update"));
    // The mark stays for the rest of the run; choosing the item must not clear it.
    QObject::connect(item, &QAction::toggled, item, [item](bool checked) {
        if (!checked)
            item->setChecked(true);
    });
}

void MainMenu::fillRecentMenu(QMenu* menu, AppDelegate& app)
{
    menu->clear();
    const QStringList items = RecentItems::list();
    for (const QString& path : items)
        menu->addAction(menuText(path), &app, [&app, path] { app.openItem(path); });
    if (items.isEmpty())
        menu->addAction(tr("No Recent Items"))->setEnabled(false);
    menu->addSeparator();
    menu->addAction(tr("Clear Menu"), menu, [] { RecentItems::clear(); })->setEnabled(!items.isEmpty());
}
