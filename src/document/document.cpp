#include "document.h"

#include "app/showerror.h"
#include "document/documentwindow.h"
#include "document/itemurl.h"
#include "operations/viewcontroller.h"
#include "report/reportfile.h"
#include "report/reportview.h"

Document::Document(QObject* parent)
    : QObject(parent)
{
}

Document::~Document()
{
    qDeleteAll(m_windowControllers);
}

void Document::makeWindowControllers()
{
    auto* window = new DocumentWindow(this);
    m_windowControllers.append(window);
    connect(window, &DocumentWindow::windowClosed, this, [this, window] { windowWillClose(window); });
}

std::optional<QByteArray> Document::dataOfType(const QString& /*typeName*/, int* error) const
{
    const ViewController* controller = viewController();
    if (!controller || !controller->outputTextbox) {
        if (error)
            *error = unimplementedError;
        return std::nullopt;
    }
    return controller->reportText().toUtf8();
}

bool Document::readFromURL(const QUrl& url, const QString& /*typeName*/)
{
    theURL = url;
    isFile = !ItemURL::isDirectory(url);
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
    const QString openedFile = theURL && isFile ? ItemURL::path(*theURL) : QString();
    // The text of the moment the user confirms, as a document's save takes it.
    ReportFile::saveWithDialog(parent, tr("Save Report"), displayName(), openedFile, [this] {
        int error = 0;
        std::optional<QByteArray> data = dataOfType(QStringLiteral("public.plain-text"), &error);
        if (!data)
            showError(tr("The report could not be saved: this window has no report (error %1).").arg(error));
        return data;
    });
}

void Document::windowWillClose(DocumentWindow* window)
{
    ViewController* controller = window->viewController();
    connect(controller, &ViewController::runsFinished, this, &QObject::deleteLater, Qt::UniqueConnection);
    controller->windowWillClose();
}
