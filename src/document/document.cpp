#include "document.h"

#include "document/documentwindow.h"
#include "document/filemanager.h"
#include "report/reportfile.h"
#include "runner/itemurl.h"
#include "runner/viewcontroller.h"

Document::Document(QObject* parent)
    : QObject(parent)
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
    if (theURL)
        controller->setItem(*theURL, m_isFile);
    connect(controller, &ViewController::errorOccurred, this, &Document::errorOccurred);
    connect(controller, &ViewController::showInFilesRequested, m_fileManager, &FileManager::showInFiles);
    connect(controller, &ViewController::openRequested, m_fileManager, &FileManager::open);
    connect(window, &DocumentWindow::windowClosed, this, [this, window] { windowWillClose(window); });
}

std::optional<QByteArray> Document::dataOfType(const QString& /*typeName*/, int* error) const
{
    const ViewController* controller = viewController();
    if (!controller) {
        if (error)
            *error = unimplementedError;
        return std::nullopt;
    }
    return controller->reportText().toUtf8();
}

bool Document::readFromURL(const QUrl& url, const QString& /*typeName*/)
{
    theURL = url;
    m_isFile = !ItemURL::isDirectory(url);
    return true;
}

ViewController* Document::viewController() const
{
    return m_windowControllers.isEmpty() ? nullptr : m_windowControllers.first()->viewController();
}

QString Document::displayName() const
{
    return theURL ? ItemURL::displayName(*theURL) : tr("Untitled");
}

void Document::saveDocument()
{
    QWidget* parent = m_windowControllers.isEmpty() ? nullptr : m_windowControllers.first();
    const QString openedFile = theURL && m_isFile ? ItemURL::path(*theURL) : QString();
    const auto failed = [this](const QString& message) { emit errorOccurred(message); };
    // The text of the moment the user confirms, as a document's save takes it.
    ReportFile::saveWithDialog(
        parent,
        tr("Save Report"),
        displayName(),
        openedFile,
        [this, failed] {
            int error = 0;
            std::optional<QByteArray> data = dataOfType(QStringLiteral("public.plain-text"), &error);
            if (!data)
                failed(tr("The report could not be saved: this window has no report (error %1).").arg(error));
            return data;
        },
        failed);
}

void Document::windowWillClose(DocumentWindow* window)
{
    ViewController* controller = window->viewController();
    connect(controller, &ViewController::runsFinished, this, &QObject::deleteLater, Qt::UniqueConnection);
    controller->windowWillClose();
}
