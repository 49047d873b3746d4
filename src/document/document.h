#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <optional>

class DocumentWindow;
class FileManager;
class ViewController;

/*!
 * An opened item, a folder tree or a single file. The document holds only the item's URL and whether it is a
 * single file; it never reads the item. It makes the item's one window and gives the report to Save.
 *
 * A closed document deletes itself, with its window, once the window's last folder run has ended.
 */
class Document : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Document)

public:
    /// The error of dataOfType when there is no report to give ("not implemented", as the system says).
    static constexpr int unimplementedError = -4;

    explicit Document(QObject* parent = nullptr);
    ~Document() override;

    /// The opened item's URL; none until readFromURL.
    [[nodiscard]] std::optional<QUrl> url() const
    {
        return theURL;
    }
    /// Whether the item is a single file rather than a folder tree.
    [[nodiscard]] bool isFile() const
    {
        return m_isFile;
    }

    /// Makes the document's one window ("Document Window Controller"), not yet shown, and hands it the item.
    void makeWindowControllers();
    /// The report's plain text as UTF-8; or none, with unimplementedError in *error, when there is no report.
    [[nodiscard]] std::optional<QByteArray> dataOfType(const QString& typeName, int* error = nullptr) const;
    /// Takes the item's URL: a folder is an item whose URL ends in "/". Reads nothing; always succeeds.
    bool readFromURL(const QUrl& url, const QString& typeName);
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

    std::optional<QUrl> theURL;
    bool m_isFile = true;
    QList<DocumentWindow*> m_windowControllers;
    FileManager* m_fileManager;
};
