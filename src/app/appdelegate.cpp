#include "appdelegate.h"

#include "app/bringforward.h"
#include "app/desktopnotifications.h"
#include "app/helpwindow.h"
#include "app/launchoptions.h"
#include "app/mainmenu.h"
#include "app/recentitems.h"
#include "app/showerror.h"
#include "app/startwindow.h"
#include "app/updateoffer.h"
#include "document/document.h"
#include "document/documentwindow.h"
#include "document/filemanager.h"
#include "operations/exclusions.h"
#include "runner/itemname.h"
#include "runner/viewcontroller.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

namespace {

// The local files among urls, by their paths' own bytes: the percent-encoded path, decoded as bytes, keeps a
// name that is not UTF-8 as it is.
QList<QByteArray> localPaths(const QList<QUrl>& urls)
{
    QList<QByteArray> paths;
    for (const QUrl& url : urls)
        if (url.isLocalFile())
            paths.append(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
    return paths;
}

QList<QByteArray> localPaths(const QMimeData* data)
{
    return data ? localPaths(data->urls()) : QList<QByteArray>();
}

// Opens a dialog over parent for files or a folder (mode) and hands the local paths chosen to chosen, which
// runs with context.
void askForItems(QWidget* parent,
    const QString& caption,
    QFileDialog::FileMode mode,
    QObject* context,
    std::function<void(const QList<QByteArray>& paths)> chosen)
{
    auto* dialog = new QFileDialog(parent, caption);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(mode);
    if (mode == QFileDialog::Directory)
        dialog->setOption(QFileDialog::ShowDirsOnly);
    QObject::connect(dialog, &QFileDialog::accepted, context, [dialog, chosen = std::move(chosen)] {
        chosen(localPaths(dialog->selectedUrls()));
    });
    dialog->open();
}

} // namespace

AppDelegate::AppDelegate(QObject* parent, orvane::UpdateCheckHooks updateHooks)
    : QObject(parent)
    , m_updateCheck(new orvane::UpdateCheck(std::move(updateHooks), this))
    , m_notifications(new DesktopNotifications(this))
{
    using orvane::UpdateCheck;
    connect(m_updateCheck, &UpdateCheck::ownEntryFound, this, &AppDelegate::markHelpMenus);
    connect(m_updateCheck, &UpdateCheck::updateOffered, this, &AppDelegate::queueUpdateOffer);
    connect(m_updateCheck, &UpdateCheck::updateCheckFailed, this, [](const QString& message) { showError(message); });
}

AppDelegate::~AppDelegate()
{
    // Documents are children of the delegate and go with it; these windows have no parent.
    qDeleteAll(myHelpWindow);
    delete m_startWindow;
}

void AppDelegate::applicationDidFinishLaunching(const QList<QByteArray>& items, const QString& operation)
{
    openItemsAndRun(items, operation);
    if (m_documents.isEmpty())
        showStartWindow();
    m_updateCheck->scheduleUpdateCheck();
}

QList<QMenu*> AppDelegate::helpMenus() const
{
    QList<QMenu*> menus;
    for (const QPointer<QMenu>& menu : m_helpMenus)
        if (menu)
            menus.append(menu);
    return menus;
}

QUrl AppDelegate::supportPage()
{
    return QUrl(QStringLiteral(ORVANE_SUPPORT_URL));
}

QUrl AppDelegate::updatesPage()
{
    return QUrl(QStringLiteral(ORVANE_UPDATES_URL));
}

void AppDelegate::openHelp()
{
    auto* window = new HelpWindow;
    adoptWindow(window, nullptr);
    window->show();
    myHelpWindow.append(window);
}

void AppDelegate::openSupport()
{
    openPage(supportPage());
}

void AppDelegate::openUpdates()
{
    openPage(updatesPage());
}

void AppDelegate::openAbout(QWidget* parent)
{
    auto* about = new QMessageBox(QMessageBox::Information,
        tr("About Orvane"),
        tr("Orvane %1").arg(QCoreApplication::applicationVersion()),
        QMessageBox::Ok,
        parent ? parent->window() : nullptr);
    about->setObjectName(QStringLiteral("aboutBox"));
    about->setIconPixmap(QApplication::windowIcon().pixmap(64));
    about->setInformativeText(
        tr("Keeps each file's SHA-256 digest in an extended attribute of the file and tells you whether its "
           "contents still match.\n\nCopyright 2026 Sablewickfern. No licence terms have been published yet; "
           "all rights are reserved.\n\nSupport: %1")
            .arg(supportPage().toString()));
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->setWindowModality(Qt::WindowModal);
    about->open();
}

void AppDelegate::openPage(const QUrl& url)
{
    if (!QDesktopServices::openUrl(url))
        showError(tr("%1 could not be opened: no browser is set up to open it.").arg(url.toString()));
}

Document* AppDelegate::openItem(const QByteArray& path)
{
    // Resolved as the command line resolves its PATH: the item opened is the one the kernel finds, and it is
    // carried as its path's own bytes from here to the run.
    const orvane::Result<orvane::Item> resolved = orvane::resolveItem(path.toStdString());
    if (!resolved) {
        showError(tr("%1 could not be opened: %2.")
                      .arg(ItemName::shownPath(path.toStdString()), QString::fromStdString(resolved.failure().reason)));
        return nullptr;
    }
    const orvane::Item& item = resolved.value();
    RecentItems::add(QByteArray::fromStdString(item.path));
    for (Document* open : std::as_const(m_documents)) {
        const ViewController* controller = open->viewController();
        if (open->item().path == item.path && !open->isComparison() && controller && !controller->isClosed()) {
            bringForward(open->windowControllers().first());
            return open;
        }
    }

    Document* document = adoptDocument(new Document(item, this));
    if (m_startWindow)
        m_startWindow->close();
    return document;
}

Document* AppDelegate::adoptDocument(Document* document)
{
    document->makeWindowControllers();
    m_documents.append(document);
    connect(document, &Document::errorOccurred, this, [](const QString& message) { showError(message); });
    connect(document, &QObject::destroyed, this, [this, document] {
        m_documents.removeAll(document);
        maybeQuit();
    });
    for (DocumentWindow* window : document->windowControllers()) {
        adoptWindow(window, document);
        bringForward(window);
        // A folder run that ends while the user looks elsewhere is told on the desktop.
        connect(window->viewController(), &ViewController::folderRunEnded, window, [this, window](const QString& line) {
            if (!window->isActiveWindow())
                m_notifications->notify(window, line);
        });
    }
    return document;
}

Document* AppDelegate::openComparison(const orvane::Item& first, const QByteArray& second)
{
    const orvane::Result<orvane::Item> other = orvane::resolveItem(second.toStdString());
    if (!other || !other.value().isFolder) {
        showError(tr("%1 could not be compared with: %2.")
                      .arg(ItemName::shownPath(second.toStdString()),
                          other ? tr("it is not a folder") : QString::fromStdString(other.failure().reason)));
        return nullptr;
    }
    return adoptDocument(new Document(first, this, other.value()));
}

void AppDelegate::compareWithDialog(Document* document, QWidget* parent)
{
    if (!document || document->isFile())
        return;
    const orvane::Item first = document->item();
    askForItems(parent,
        tr("Compare %1 With").arg(document->displayName()),
        QFileDialog::Directory,
        this,
        [this, first](const QList<QByteArray>& chosen) {
            if (!chosen.isEmpty())
                openComparison(first, chosen.first());
        });
}

void AppDelegate::editExclusions(Document* document)
{
    if (!document || document->isFile())
        return;
    const std::string path = orvane::ignoreFilePath(document->item().path);
    // Made with a few lines that say what goes in it, when the folder has none yet; never written over.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd >= 0) {
        const std::string header =
            "# What Orvane leaves out of Check, Tag, Retag, export and compare of this folder, one\n"
            "# pattern a line: shell globs on the path relative to this folder. * and ? stay\n"
            "# within a name, ** crosses folders, a trailing / matches folders only, a leading\n"
            "# / the top of this folder. For example:\n"
            "#   .cache/\n"
            "#   *.tmp\n";
        const bool written = ::write(fd, header.data(), header.size()) == ssize_t(header.size());
        if (::close(fd) != 0 || !written) {
            showError(tr("%1 could not be written.").arg(ItemName::shownPath(path)));
            return;
        }
    } else if (errno != EEXIST) {
        showError(tr("%1 could not be made: %2.")
                      .arg(ItemName::shownPath(path), QString::fromLocal8Bit(std::strerror(errno))));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromEncoded(FileManager::fileAddress(QByteArray::fromStdString(path)))))
        showError(tr("%1 could not be opened: no editor is set up to open it.").arg(ItemName::shownPath(path)));
}

void AppDelegate::openItems(const QList<QByteArray>& paths)
{
    for (const QByteArray& path : paths)
        openItem(path);
}

void AppDelegate::openItemsAndRun(const QList<QByteArray>& paths, const QString& operation)
{
    using Start = void (ViewController::*)();
    const Start starts[] = { &ViewController::checkButton, &ViewController::hashButton, &ViewController::retagButton };
    const qsizetype which = LaunchOptions::operations().indexOf(operation);
    for (const QByteArray& path : paths) {
        const Document* document = openItem(path);
        ViewController* controller = document ? document->viewController() : nullptr;
        if (controller && which >= 0 && controller->runsInFlight() == 0)
            (controller->*starts[which])();
    }
}

void AppDelegate::openFileDialog(QWidget* parent)
{
    askForItems(parent, tr("Open File"), QFileDialog::ExistingFiles, this, [this](const QList<QByteArray>& chosen) {
        openItems(chosen);
    });
}

void AppDelegate::openFolderDialog(QWidget* parent)
{
    askForItems(parent, tr("Open Folder"), QFileDialog::Directory, this, [this](const QList<QByteArray>& chosen) {
        openItems(chosen);
    });
}

void AppDelegate::showStartWindow()
{
    if (!m_startWindow) {
        m_startWindow = new StartWindow;
        adoptWindow(m_startWindow, nullptr);
        connect(m_startWindow, &StartWindow::openFileRequested, this, [this] { openFileDialog(m_startWindow); });
        connect(m_startWindow, &StartWindow::openFolderRequested, this, [this] { openFolderDialog(m_startWindow); });
        connect(m_startWindow, &StartWindow::itemChosen, this, &AppDelegate::openItem);
    }
    m_startWindow->show();
    m_startWindow->raise();
}

void AppDelegate::quit()
{
    QList<QPointer<DocumentWindow>> windows;
    DocumentWindow* running = nullptr; // the one the question stands over: the active one if it runs
    for (Document* document : std::as_const(m_documents))
        for (DocumentWindow* window : document->windowControllers()) {
            windows.append(window);
            if (window->isVisible() && window->viewController()->runsInFlight() > 0
                && (!running || window->isActiveWindow()))
                running = window;
        }
    // One question for all windows; nothing keeps hashing once the program has gone.
    if (running) {
        DocumentWindow::askToStopRuns(running, true, [this, windows] {
            for (const QPointer<DocumentWindow>& window : windows)
                if (window)
                    window->stopRunsAndClose();
            quit();
        });
        return;
    }
    for (const QPointer<DocumentWindow>& window : windows)
        window->close();
    for (HelpWindow* window : std::as_const(myHelpWindow))
        window->close();
    if (m_startWindow)
        m_startWindow->close();
    maybeQuit();
}

MenuActions AppDelegate::menuActions()
{
    MenuActions actions;
    actions.openFile = [this](QWidget* parent) { openFileDialog(parent); };
    actions.openFolder = [this](QWidget* parent) { openFolderDialog(parent); };
    actions.openRecent = [this](const QByteArray& path) { openItem(path); };
    actions.quit = [this] { quit(); };
    actions.help = [this] { openHelp(); };
    actions.support = [this] { openSupport(); };
    actions.updates = [this] { openUpdates(); };
    actions.about = [this](QWidget* parent) { openAbout(parent); };
    actions.compareWith = [this](Document* document, QWidget* parent) { compareWithDialog(document, parent); };
    actions.editExclusions = [this](Document* document) { editExclusions(document); };
    return actions;
}

void AppDelegate::adoptWindow(QMainWindow* window, Document* document)
{
    QMenu* help = MainMenu::install(menuActions(), window, document);
    m_helpMenus.append(help);
    // A window opened after the update check found Orvane's entry shows the same mark as the others.
    if (m_updateCheck->hasFoundOwnEntry())
        MainMenu::markUpdateChecked(help);
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

void AppDelegate::markHelpMenus()
{
    for (QMenu* menu : helpMenus())
        MainMenu::markUpdateChecked(menu);
}

void AppDelegate::queueUpdateOffer(const QString& listedVersion, const QString& runningVersion, const QUrl& download)
{
    m_pendingOffers.append({ listedVersion, runningVersion, download });
    if (!m_openOffer)
        showNextUpdateOffer();
}

void AppDelegate::showNextUpdateOffer()
{
    if (m_pendingOffers.isEmpty())
        return;
    const UpdateOffer offer = m_pendingOffers.takeFirst();
    m_openOffer = showUpdateOffer(offer.listedVersion, offer.runningVersion, [this, offer](bool download) {
        if (download)
            openPage(offer.download);
        // Once this box has gone, not from inside its own closing.
        QMetaObject::invokeMethod(this, &AppDelegate::showNextUpdateOffer, Qt::QueuedConnection);
    });
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter: {
        auto* drag = static_cast<QDragEnterEvent*>(event);
        if (!localPaths(drag->mimeData()).isEmpty())
            drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QList<QByteArray> paths = localPaths(drop->mimeData());
        if (!paths.isEmpty()) {
            drop->acceptProposedAction();
            // Opened once the drop is over, not inside the drag-and-drop machinery.
            QMetaObject::invokeMethod(
                this, [this, paths] { openItems(paths); }, Qt::QueuedConnection);
        }
        return true;
    }
    case QEvent::Hide:
        QMetaObject::invokeMethod(this, &AppDelegate::maybeQuit, Qt::QueuedConnection);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void AppDelegate::maybeQuit()
{
    // A document lives until its window is closed and its last folder run has ended.
    if (!m_documents.isEmpty())
        return;
    if (m_startWindow && m_startWindow->isVisible())
        return;
    for (const HelpWindow* window : std::as_const(myHelpWindow))
        if (window->isVisible())
            return;
    emit allWindowsClosed();
}
