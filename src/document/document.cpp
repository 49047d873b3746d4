#include "document.h"

#include "document/documentwindow.h"
#include "document/filemanager.h"
#include "report/reportfile.h"
#include "runner/itemname.h"
#include "runner/viewcontroller.h"

Document::Document(const orvane::Item& item, QObject* parent, std::optional<orvane::Item> comparedWith)
    : QObject(parent)
    , m_item(item)
    , m_comparedWith(std::move(comparedWith))
    , m_fileManager(new FileManager(this))
{
    connect(m_fileManager, &FileManager::errorOccurred, this, &Document::errorOccurred);
}

Document::~Document()
{
    qDeleteAll(m_windowControllers);
}

void Document::makeWindowControllers()
{
    auto* window = new DocumentWindow(displayName());
    m_windowControllers.append(window);
    ViewController* controller = window->viewController();
    controller->setItem(m_item);
    if (m_comparedWith)
        controller->compareWith(*m_comparedWith);
    connect(controller, &ViewController::errorOccurred, this, &Document::errorOccurred);
    connect(controller, &ViewController::showInFilesRequested, m_fileManager, &FileManager::showInFiles);
    connect(controller, &ViewController::openRequested, m_fileManager, &FileManager::open);
    connect(window, &DocumentWindow::windowClosed, this, [this, window] { windowWillClose(window); });
}

QByteArray Document::reportData() const
{
    const ViewController* controller = viewController();
    return controller ? controller->reportBytes() : QByteArray();
}

ViewController* Document::viewController() const
{
    return m_windowControllers.isEmpty() ? nullptr : m_windowControllers.first()->viewController();
}

QString Document::displayName() const
{
    if (m_comparedWith)
        return tr("%1 compared with %2")
            .arg(ItemName::displayName(m_item.path), ItemName::displayName(m_comparedWith->path));
    return ItemName::displayName(m_item.path);
}

void Document::saveDocument()
{
    QWidget* parent = m_windowControllers.isEmpty() ? nullptr : m_windowControllers.first();
    const QByteArray openedFile = isFile() ? QByteArray::fromStdString(m_item.path) : QByteArray();
    // The report of the moment the user confirms, as a document's save takes it.
    ReportFile::saveWithDialog(
        parent,
        tr("Save Report"),
        displayName(),
        openedFile,
        [this] { return reportData(); },
        [this](const QString& message) { emit errorOccurred(message); });
}

void Document::windowWillClose(DocumentWindow* window)
{
    ViewController* controller = window->viewController();
    connect(controller, &ViewController::runsFinished, this, &QObject::deleteLater, Qt::UniqueConnection);
    controller->windowWillClose();
}
