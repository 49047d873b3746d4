#pragma once

#include "operations/item.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class DocumentWindow;
class FileManager;
class ViewController;

/*!
 * An opened item, a folder tree or a single file, as the opener resolved it (its path's own bytes and its
 * kind). The document never reads the item. It makes the item's one window and gives the report to Save.
 *
 * A closed document deletes itself, with its window, once the window's last run has ended.
 */
class Document : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Document)

public:
    /// comparedWith: a second folder, for the document of a comparison of item with it.
    explicit Document(
        const orvane::Item& item, QObject* parent = nullptr, std::optional<orvane::Item> comparedWith = {});
    ~Document() override;

    [[nodiscard]] const orvane::Item& item() const
    {
        return m_item;
    }
    /// Whether the item is a single file rather than a folder tree.
    [[nodiscard]] bool isFile() const
    {
        return !m_item.isFolder;
    }
    /// Whether this is the document of a comparison of two folders, not of one item.
    [[nodiscard]] bool isComparison() const
    {
        return m_comparedWith.has_value();
    }

    /// Makes the document's one window ("Document Window Controller"), not yet shown, and hands it the item.
    void makeWindowControllers();
    /// The report as orvane-cli prints it, for Save; empty without a window.
    [[nodiscard]] QByteArray reportData() const;
    /// The view controller of the first window, if there is one.
    [[nodiscard]] ViewController* viewController() const;
    [[nodiscard]] const QList<DocumentWindow*>& windowControllers() const
    {
        return m_windowControllers;
    }
    /// The item's name, which is also its window's title.
    [[nodiscard]] QString displayName() const;

signals:
    /// Something failed that the user should be told of: a report that could not be saved or written, a
    /// folder that could not be read. The application shows it.
    void errorOccurred(const QString& message);

public slots:
    /// Save Report…: asks where, then writes the report as it is when the user confirms.
    void saveDocument();

private:
    void windowWillClose(DocumentWindow* window);

    orvane::Item m_item;
    std::optional<orvane::Item> m_comparedWith;
    QList<DocumentWindow*> m_windowControllers;
    FileManager* m_fileManager;
};
