#include "mainmenu.h"

#include "app/helpviewcontroller.h"
#include "app/helpwindow.h"
#include "app/recentitems.h"
#include "document/document.h"
#include "report/reportpane.h"
#include "report/reportview.h"
#include "runner/itemname.h"
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

QMenu* MainMenu::install(const MenuActions& app, QMainWindow* window, Document* document)
{
    ViewController* controller = document ? document->viewController() : nullptr;
    ReportPane* report = controller ? controller->reportPane() : nullptr;
    QMenuBar* bar = window->menuBar();

    QMenu* file = bar->addMenu(tr("&File"));
    file->addAction(tr("&Open File…"), QKeySequence(tr("Ctrl+O")), window, [app, window] { app.openFile(window); })
        ->setObjectName(QStringLiteral("openFileAction"));
    file->addAction(
            tr("Open &Folder…"), QKeySequence(tr("Ctrl+Shift+O")), window, [app, window] { app.openFolder(window); })
        ->setObjectName(QStringLiteral("openFolderAction"));
    QMenu* recent = file->addMenu(tr("Open &Recent"));
    recent->setObjectName(QStringLiteral("recentMenu"));
    QObject::connect(recent, &QMenu::aboutToShow, recent, [recent, app] { fillRecentMenu(recent, app); });
    // A folder's window compares it with another folder, a backup of it say, in a window of its own.
    const bool folderWindow = document && !document->isFile() && controller && !controller->isComparison();
    QAction* compare =
        file->addAction(tr("Compare &With…"), window, [app, document, window] { app.compareWith(document, window); });
    compare->setObjectName(QStringLiteral("compareAction"));
    compare->setEnabled(folderWindow);
    file->addSeparator();
    QAction* save = file->addAction(tr("&Save Report…"), QKeySequence(tr("Ctrl+S")));
    save->setObjectName(QStringLiteral("saveAction"));
    QAction* exportReport = file->addAction(tr("&Export Report…"), QKeySequence(tr("Ctrl+E")));
    exportReport->setObjectName(QStringLiteral("exportAction"));
    file->addSeparator();
    file->addAction(tr("&Close"), QKeySequence(tr("Ctrl+W")), window, &QWidget::close)
        ->setObjectName(QStringLiteral("closeAction"));
    file->addAction(tr("&Quit"), QKeySequence(tr("Ctrl+Q")), window, [app] { app.quit(); })
        ->setObjectName(QStringLiteral("quitAction"));

    QMenu* edit = bar->addMenu(tr("&Edit"));
    QAction* copy = edit->addAction(tr("&Copy"), QKeySequence::Copy);
    copy->setObjectName(QStringLiteral("copyAction"));
    QAction* selectAll = edit->addAction(tr("Select &All"), QKeySequence::SelectAll);
    selectAll->setObjectName(QStringLiteral("selectAllAction"));
    edit->addSeparator();
    QAction* find = edit->addAction(tr("&Find…"), QKeySequence(tr("Ctrl+F")));
    find->setObjectName(QStringLiteral("findAction"));
    QAction* findNext = edit->addAction(tr("Find &Next"), QKeySequence(tr("F3")));
    findNext->setObjectName(QStringLiteral("findNextAction"));
    QAction* findPrevious = edit->addAction(tr("Find Pre&vious"), QKeySequence(tr("Shift+F3")));
    findPrevious->setObjectName(QStringLiteral("findPreviousAction"));

    QMenu* view = bar->addMenu(tr("&View"));
    QAction* bigger = view->addAction(tr("&Bigger"));
    bigger->setObjectName(QStringLiteral("biggerAction"));
    // Ctrl+= is Ctrl++ without Shift on keyboards that put "+" above "=".
    bigger->setShortcuts({ QKeySequence(tr("Ctrl++")), QKeySequence(tr("Ctrl+=")) });
    QAction* smaller = view->addAction(tr("&Smaller"), QKeySequence(tr("Ctrl+-")));
    smaller->setObjectName(QStringLiteral("smallerAction"));
    QAction* actualSize = view->addAction(tr("&Actual Size"), QKeySequence(tr("Ctrl+0")));
    actualSize->setObjectName(QStringLiteral("actualSizeAction"));
    view->addSeparator();
    QAction* problemsOnly = view->addAction(tr("Show &Problems Only"), QKeySequence(tr("Ctrl+Shift+P")));
    problemsOnly->setObjectName(QStringLiteral("problemsOnlyAction"));
    problemsOnly->setCheckable(true);
    view->addSeparator();
    QAction* exclusions =
        view->addAction(tr("Edit &Exclusions…"), window, [app, document] { app.editExclusions(document); });
    exclusions->setObjectName(QStringLiteral("editExclusionsAction"));
    exclusions->setEnabled(folderWindow);

    if (controller) {
        QObject::connect(save, &QAction::triggered, document, &Document::saveDocument);
        QObject::connect(exportReport, &QAction::triggered, controller, &ViewController::exportText);
        QObject::connect(bigger, &QAction::triggered, controller, &ViewController::incFontSize);
        QObject::connect(smaller, &QAction::triggered, controller, &ViewController::decFontSize);
        QObject::connect(copy, &QAction::triggered, report->view(), &ReportView::copy);
        QObject::connect(selectAll, &QAction::triggered, report->view(), &ReportView::selectAll);
        QObject::connect(find, &QAction::triggered, report, &ReportPane::find);
        QObject::connect(findNext, &QAction::triggered, report, &ReportPane::findNext);
        QObject::connect(findPrevious, &QAction::triggered, report, &ReportPane::findPrevious);
        QObject::connect(actualSize, &QAction::triggered, report, &ReportPane::resetFontSize);
        QObject::connect(problemsOnly, &QAction::toggled, report, &ReportPane::setProblemsOnly);
        QObject::connect(report, &ReportPane::problemsOnlyChanged, problemsOnly, &QAction::setChecked);
        // Bigger and Smaller are off at the bounds of the size.
        const auto sizeBounds = [report, bigger, smaller] {
            bigger->setEnabled(report->canMakeBigger());
            smaller->setEnabled(report->canMakeSmaller());
        };
        QObject::connect(report, &ReportPane::fontSizeChanged, bigger, sizeBounds);
        sizeBounds();
    } else {
        for (QAction* action : { save, exportReport, copy, selectAll, find, findNext, findPrevious, problemsOnly })
            action->setEnabled(false);
    }
    auto* helpWindow = qobject_cast<HelpWindow*>(window);
    if (helpWindow) {
        HelpViewController* help = helpWindow->viewController();
        QObject::connect(bigger, &QAction::triggered, help, &HelpViewController::zoomIn);
        QObject::connect(smaller, &QAction::triggered, help, &HelpViewController::zoomOut);
        QObject::connect(actualSize, &QAction::triggered, help, &HelpViewController::resetZoom);
        QObject::connect(find, &QAction::triggered, help, &HelpViewController::find);
        QObject::connect(findNext, &QAction::triggered, help, &HelpViewController::findNext);
        QObject::connect(findPrevious, &QAction::triggered, help, &HelpViewController::findPrevious);
        for (QAction* action : { find, findNext, findPrevious })
            action->setEnabled(true);
    } else if (!controller) {
        for (QAction* action : { bigger, smaller, actualSize })
            action->setEnabled(false);
    }

    QMenu* help = bar->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("helpMenu"));
    help->addAction(tr("Orvane &Help"), QKeySequence(Qt::Key_F1), window, [app] { app.help(); })
        ->setObjectName(QStringLiteral("helpAction"));
    help->addAction(tr("&Support"), window, [app] { app.support(); })->setObjectName(QStringLiteral("supportAction"));
    help->addAction(tr("&Updates"), window, [app] { app.updates(); })->setObjectName(QStringLiteral("updatesAction"));
    help->addSeparator();
    help->addAction(QStringLiteral("Update not checked"))->setObjectName(QString::fromLatin1(updateStatusName));
    help->addSeparator();
    help->addAction(tr("&About Orvane"), window, [app, window] { app.about(window); })
        ->setObjectName(QStringLiteral("aboutAction"));
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

void MainMenu::fillRecentMenu(QMenu* menu, const MenuActions& app)
{
    menu->clear();
    const QList<QByteArray> items = RecentItems::list();
    for (const QByteArray& path : items)
        menu->addAction(menuText(ItemName::shownPath(path.toStdString())), menu, [app, path] { app.openRecent(path); });
    if (items.isEmpty())
        menu->addAction(tr("No Recent Items"))->setEnabled(false);
    menu->addSeparator();
    menu->addAction(tr("Clear Menu"), menu, [] { RecentItems::clear(); })->setEnabled(!items.isEmpty());
}
