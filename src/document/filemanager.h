#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

/*!
 * From a report line to its file, by the path's own bytes: shows the file in the desktop's file manager,
 * opens it with its application, or says why it cannot. "Show in Files" asks the file manager over D-Bus
 * (org.freedesktop.FileManager1.ShowItems) to open the folder with the file selected; where no file manager
 * answers, the folder is opened as the desktop opens folders (xdg-open); when that fails too, the user is told
 * that no file manager answered. Addresses carry the bytes percent-encoded, so a
 * name that is not UTF-8 or holds control characters reaches the file manager as it is.
 */
class FileManager : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FileManager)

public:
    explicit FileManager(QObject* parent = nullptr);
    ~FileManager() override;

    /// The file: address of the path's bytes.
    [[nodiscard]] static QByteArray fileAddress(const QByteArray& path);

public slots:
    void showInFiles(const QByteArray& path);
    void open(const QByteArray& path);

signals:
    /// The file no longer exists, or nothing could show or open it; message names the path.
    void errorOccurred(const QString& message);

private:
    /// False, after telling why, when nothing is at path any more (a dangling link still counts).
    bool exists(const QByteArray& path);
    /// Shows the folder of the file at path.
    void openFolder(const QByteArray& path);
    /// Asks the desktop to open address; tells failure when nothing did.
    void launch(const QByteArray& address, const QString& failure);
};
