#include "startwindow.h"

#include "app/recentitems.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

StartWindow::StartWindow(QWidget* parent)
    : QMainWindow(parent)
    , theOpenFileButton(new QPushButton(tr("Open F&ile…")))
    , theOpenFolderButton(new QPushButton(tr("Open F&older…")))
    , theRecentList(new QListWidget)
{
    setObjectName(QStringLiteral("StartWindow"));
    setWindowTitle(QStringLiteral("Orvane"));
    theOpenFileButton->setObjectName(QStringLiteral("theOpenFileButton"));
    theOpenFolderButton->setObjectName(QStringLiteral("theOpenFolderButton"));
    theRecentList->setObjectName(QStringLiteral("theRecentList"));

    auto* dropArea = new QLabel(tr("Drop a folder or a file here to check, tag or retag it."));
    dropArea->setAlignment(Qt::AlignCenter);
    dropArea->setFrameShape(QFrame::StyledPanel);
    dropArea->setFrameShadow(QFrame::Sunken);
    dropArea->setMinimumHeight(90);
    dropArea->setWordWrap(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(theOpenFileButton);
    buttons->addWidget(theOpenFolderButton);
    buttons->addStretch();

    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->addWidget(dropArea);
    layout->addLayout(buttons);
    layout->addWidget(new QLabel(tr("Recent items:")));
    layout->addWidget(theRecentList);
    setCentralWidget(content);
    resize(520, 420);

    connect(theOpenFileButton, &QPushButton::clicked, this, &StartWindow::openFileRequested);
    connect(theOpenFolderButton, &QPushButton::clicked, this, &StartWindow::openFolderRequested);
    connect(theRecentList, &QListWidget::itemActivated, this, [this](const QListWidgetItem* item) {
        emit itemChosen(item->data(Qt::UserRole).toString());
    });
}

StartWindow::~StartWindow() = default;

void StartWindow::refreshRecentItems()
{
    theRecentList->clear();
    for (const QString& path : RecentItems::list()) {
        auto* item = new QListWidgetItem(path, theRecentList);
        item->setData(Qt::UserRole, path);
    }
}

void StartWindow::showEvent(QShowEvent* event)
{
    refreshRecentItems();
    QMainWindow::showEvent(event);
}
