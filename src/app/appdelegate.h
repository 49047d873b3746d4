#pragma once

#include "app/mainmenu.h"
#include "operations/item.h"
#include "update/updatecheck.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

class DesktopNotifications;
class Document;
class HelpWindow;
class QMainWindow;
class QMenu;
class QMessageBox;
class StartWindow;

/*!
 * The application: opens items as documents (from the command line, the file dialogs, Open Recent and drops
 * on any window), shows the start window when there is nothing to show, opens help windows and the maker's
 * pages, and says when the last window has gone and every folder run has ended, so that the program may quit.
 */
class AppDelegate : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AppDelegate)

public:
    /// updateHooks: the update check's settings, clock, version and addresses; empty members get the real
    /// thing.
    explicit AppDelegate(QObject* parent = nullptr, orvane::UpdateCheckHooks updateHooks = {});
    ~AppDelegate() override;

    /// Opens the items given at start and starts operation in their windows (see openItemsAndRun), or shows the
    /// start window when none opened, then the update check. Launching opens no untitled document: the user
    /// opens a folder or a file.
    void applicationDidFinishLaunching(const QList<QByteArray>& items, const QString& operation = {});

    /// Every help window opened so far; they are kept, also when closed, until the program ends.
    [[nodiscard]] const QList<HelpWindow*>& helpWindows() const
    {
        return myHelpWindow;
    }
    /// The Help menus of all windows open now, each holding the update status item (object name
    /// MainMenu::updateStatusName).
    [[nodiscard]] QList<QMenu*> helpMenus() const;
    [[nodiscard]] const QList<Document*>& documents() const
    {
        return m_documents;
    }
    [[nodiscard]] StartWindow* startWindow() const
    {
        return m_startWindow;
    }

    /// The update check at launch, owned by the delegate.
    [[nodiscard]] orvane::UpdateCheck* updateCheck() const
    {
        return m_updateCheck;
    }

    [[nodiscard]] static QUrl supportPage();
    [[nodiscard]] static QUrl updatesPage();

signals:
    /// No window is left open and no folder run is walking: time to quit.
    void allWindowsClosed();

public slots:
    void openHelp();
    void openSupport();
    void openUpdates();
    /// About Orvane: its version, its licence and where to get support, over parent's window.
    void openAbout(QWidget* parent);

    /// Opens the item at path (its own bytes) in a window of its own, or brings its window forward if it is
    /// open already.
    Document* openItem(const QByteArray& path);
    void openItems(const QList<QByteArray>& paths);
    /// Opens each item as openItem does and starts operation ("check", "tag" or "retag") in its window,
    /// unless a run of that window is going already: then the window only comes to the front.
    void openItemsAndRun(const QList<QByteArray>& paths, const QString& operation);
    void openFileDialog(QWidget* parent);
    void openFolderDialog(QWidget* parent);
    /// File > Compare With…: asks for a folder and opens the comparison of the document's folder with it.
    void compareWithDialog(Document* document, QWidget* parent);
    /// The window of a comparison of the folder first with the folder at second (its own bytes).
    Document* openComparison(const orvane::Item& first, const QByteArray& second);
    /// View > Edit Exclusions…: the folder's .orvane-ignore in the user's editor, made first if missing.
    void editExclusions(Document* document);
    void showStartWindow();
    /// Closes every window; the program ends once the folder runs of the closed windows have ended too.
    void quit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void adoptWindow(QMainWindow* window, Document* document);
    /// Makes the document's window and keeps the document until it goes.
    Document* adoptDocument(Document* document);
    [[nodiscard]] MenuActions menuActions();
    void maybeQuit();
    /// Opens url in the browser, or says that it could not, naming it.
    void openPage(const QUrl& url);
    void markHelpMenus();
    void queueUpdateOffer(const QString& listedVersion, const QString& runningVersion, const QUrl& download);
    void showNextUpdateOffer();

    struct UpdateOffer
    {
        QString listedVersion;
        QString runningVersion;
        QUrl download;
    };

    QList<HelpWindow*> myHelpWindow;
    QList<Document*> m_documents;
    StartWindow* m_startWindow = nullptr;
    QList<QPointer<QMenu>> m_helpMenus;
    orvane::UpdateCheck* m_updateCheck = nullptr;
    DesktopNotifications* m_notifications;
    // Offers are shown one after another, each without blocking.
    QList<UpdateOffer> m_pendingOffers;
    QPointer<QMessageBox> m_openOffer;
};
