#pragma once

#include <QMainWindow>

class QListWidget;
class QPushButton;

/// The window shown when Orvane starts with nothing to open: open a file or a folder, pick a recent item,
/// or drop items on it.
class StartWindow : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StartWindow)

public:
    explicit StartWindow(QWidget* parent = nullptr);
    ~StartWindow() override;

signals:
    void openFileRequested();
    void openFolderRequested();
    void itemChosen(const QByteArray& path);

public slots:
    /// Fills the list from the recent items that still exist.
    void refreshRecentItems();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* m_openFileButton;
    QPushButton* m_openFolderButton;
    QListWidget* m_recentList;
};
