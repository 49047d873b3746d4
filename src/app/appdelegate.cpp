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
#include "runner/itemurl.h"
#include "runner/viewcontroller.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QSysInfo>
#include <QVersionNumber>

namespace {

QStringList localPaths(const QMimeData* data)
{
    QStringList paths;
    if (!data)
        return paths;
    const QList<QUrl> urls = data->urls();
    for (const QUrl& url : urls)
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    return paths;
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
    scheduleUpdateCheck();
}

void AppDelegate::scheduleUpdateCheck()
{
    m_updateCheck->scheduleUpdateCheck();
}

void AppDelegate::checkForUpdate()
{
    m_updateCheck->checkForUpdate();
}

void AppDelegate::handleUpdateResponse(const QByteArray& body,
    const std::optional<orvane::UpdateResponse>& response,
    QNetworkReply::NetworkError error,
    const QString& runningVersion)
{
    m_updateCheck->handleUpdateResponse(body, response, error, runningVersion);
}

void AppDelegate::processUpdateManifest(const QByteArray& body, const QString& runningVersion)
{
    m_updateCheck->processUpdateManifest(body, runningVersion);
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

QUrl AppDelegate::updatePageFor(const QString& systemVersion)
{
    const int minor = QVersionNumber::fromString(systemVersion).minorVersion();
    if (minor == 10 || minor == 11)
        return QUrl(QStringLiteral(ORVANE_UPDATES_URL_EL_CAPITAN));
    return QUrl(QStringLiteral(ORVANE_UPDATES_URL_SIERRA));
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
    openPage(updatePageFor(QSysInfo::productVersion()));
}

void AppDelegate::openPage(const QUrl& url)
{
    if (!QDesktopServices::openUrl(url))
        showError(tr("%1 could not be opened: no browser is set up to open it.").arg(url.toString()));
}

Document* AppDelegate::openItem(const QString& path)
{
    QString reason;
    const std::optional<QUrl> url = ItemURL::fromPath(path, &reason);
    if (!url) {
        showError(tr("%1 could not be opened: %2.").arg(path, reason));
        return nullptr;
    }
    for (Document* open : std::as_const(m_documents)) {
        const ViewController* controller = open->viewController();
        if (open->url() == url && controller && !controller->isClosed()) {
            bringForward(open->windowControllers().first());
            RecentItems::add(ItemURL::folderPath(*url));
            return open;
        }
    }

    auto* document = new Document(this);
    document->readFromURL(*url, QString());
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
    RecentItems::add(ItemURL::folderPath(*url));
    if (m_startWindow)
        m_startWindow->close();
    return document;
}

void AppDelegate::openItems(const QStringList& paths)
{
    for (const QString& path : paths)
        openItem(path);
}

void AppDelegate::openItemsAndRun(const QList<QByteArray>& paths, const QString& operation)
{
    using Start = void (ViewController::*)();
    const Start starts[] = { &ViewController::checkButton, &ViewController::hashButton, &ViewController::retagButton };
    const qsizetype which = LaunchOptions::operations().indexOf(operation);
    for (const QByteArray& path : paths) {
        const Document* document = openItem(QFile::decodeName(path));
        ViewController* controller = document ? document->viewController() : nullptr;
        if (controller && which >= 0 && controller->runsInFlight() == 0)
            (controller->*starts[which])();
    }
}

void AppDelegate::openFileDialog(QWidget* parent)
{
    auto* dialog = new QFileDialog(parent, tr("Open File"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    connect(dialog, &QFileDialog::filesSelected, this, &AppDelegate::openItems);
    dialog->open();
}

void AppDelegate::openFolderDialog(QWidget* parent)
{
    auto* dialog = new QFileDialog(parent, tr("Open Folder"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    connect(dialog, &QFileDialog::fileSelected, this, &AppDelegate::openItem);
    dialog->open();
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
    bool running = false;
    for (Document* document : std::as_const(m_documents))
        for (DocumentWindow* window : document->windowControllers()) {
            windows.append(window);
            running = running || (window->isVisible() && window->viewController()->runsInFlight() > 0);
        }
    // One question for all windows; nothing keeps hashing once the program has gone.
    if (running) {
        DocumentWindow::askToStopRuns(nullptr, [this, windows] {
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

void AppDelegate::adoptWindow(QMainWindow* window, Document* document)
{
    QMenu* help = MainMenu::install(*this, window, document);
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
        const QStringList paths = localPaths(drop->mimeData());
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
