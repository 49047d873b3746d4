#pragma once

#include <QByteArray>

#include <functional>

class Document;
class QMainWindow;
class QMenu;
class QWidget;

/// What the menus ask of the application, which fills it in.
struct MenuActions
{
    std::function<void(QWidget* parent)> openFile;
    std::function<void(QWidget* parent)> openFolder;
    std::function<void(const QByteArray& path)> openRecent;
    std::function<void()> quit;
    std::function<void()> help;
    std::function<void()> support;
    std::function<void()> updates;
    std::function<void(QWidget* parent)> about;
    std::function<void(Document* document, QWidget* parent)> compareWith;
    std::function<void(Document* document)> editExclusions;
};

/*!
 * The menu bar every Orvane window carries (Linux has no global menu bar): File, Edit, View and Help. Commands
 * that need a report (Save, Export, Copy, Select All, Find, Show Problems Only) are there but disabled in
 * windows without one;
 * Bigger, Smaller and Actual Size size the report, or zoom the manual in a help window.
 */
class MainMenu
{
public:
    /// The Help-menu item the update check retitles; its object name, to find it.
    static constexpr const char* updateStatusName = "updateStatusItem";

    /// Builds the menu bar of window; document is the window's document, if it has one. Returns the Help menu.
    static QMenu* install(const MenuActions& actions, QMainWindow* window, Document* document);

    /// Turns the Help menu's update status item from "Update not checked" into the checked item "Checked
    /// for update", for the rest of the run.
    static void markUpdateChecked(QMenu* helpMenu);

    /// Refills an Open Recent menu from the recent items that still exist.
    static void fillRecentMenu(QMenu* menu, const MenuActions& actions);
};
