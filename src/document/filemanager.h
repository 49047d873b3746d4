#pragma once

#include <QObject>
#include <QString>

/*!
 * From a report line to its file: shows the file in the desktop's file manager, opens it with its
 * application, or says why it cannot. "Show in Files" asks the file manager over D-Bus
 * (org.freedesktop.FileManager1.ShowItems) to open the folder with the file selected; where no file manager
 * answers, the folder is opened as the desktop opens folders.
 */
class FileManager : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FileManager)

public:
    explicit FileManager(QObject* parent = nullptr);
    ~FileManager() override;

public slots:
    void showInFiles(const QString& path);
    void open(const QString& path);

signals:
    /// The file no longer exists, or nothing could show or open it; message names the path.
    void errorOccurred(const QString& message);

private:
    /// False, after telling why, when nothing is at path any more (a dangling link still counts).
    bool exists(const QString& path);
    void openFolder(const QString& path);
};
