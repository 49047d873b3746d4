#include "startwindow.h"

#include "app/recentitems.h"
#include "runner/itemname.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

StartWindow::StartWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_openFileButton(new QPushButton(tr("Open F&ile…")))
    , m_openFolderButton(new QPushButton(tr("Open F&older…")))
    , m_recentList(new QListWidget)
{
    setObjectName(QStringLiteral("StartWindow"));
    setWindowTitle(QStringLiteral("Orvane"));
    m_openFileButton->setObjectName(QStringLiteral("openFileButton"));
    m_openFolderButton->setObjectName(QStringLiteral("openFolderButton"));
    m_recentList->setObjectName(QStringLiteral("recentList"));
    m_recentList->setAccessibleName(tr("Recent items"));
    m_openFileButton->setAccessibleName(tr("Open File"));
    m_openFolderButton->setAccessibleName(tr("Open Folder"));

    auto* dropArea = new QLabel(tr("Drop a folder or a file here to check, tag or retag it."));
    dropArea->setAlignment(Qt::AlignCenter);
    dropArea->setFrameShape(QFrame::StyledPanel);
    dropArea->setFrameShadow(QFrame::Sunken);
    dropArea->setMinimumHeight(90);
    dropArea->setWordWrap(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_openFileButton);
    buttons->addWidget(m_openFolderButton);
    buttons->addStretch();

    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->addWidget(dropArea);
    layout->addLayout(buttons);
    layout->addWidget(new QLabel(tr("Recent items:")));
    layout->addWidget(m_recentList);
    setCentralWidget(content);
    resize(520, 420);

    connect(m_openFileButton, &QPushButton::clicked, this, &StartWindow::openFileRequested);
    connect(m_openFolderButton, &QPushButton::clicked, this, &StartWindow::openFolderRequested);
    connect(m_recentList, &QListWidget::itemActivated, this, [this](const QListWidgetItem* item) {
        emit itemChosen(item->data(Qt::UserRole).toByteArray());
    });
}

StartWindow::~StartWindow() = default;

void StartWindow::refreshRecentItems()
{
    m_recentList->clear();
    for (const QByteArray& path : RecentItems::list()) {
        auto* item = new QListWidgetItem(ItemName::shownPath(path.toStdString()), m_recentList);
        item->setData(Qt::UserRole, path);
    }
    // An empty list says so rather than look broken; the line can be neither chosen nor opened.
    if (m_recentList->count() == 0)
        (new QListWidgetItem(tr("No recent items"), m_recentList))->setFlags(Qt::NoItemFlags);
}

void StartWindow::showEvent(QShowEvent* event)
{
    refreshRecentItems();
    QMainWindow::showEvent(event);
}
