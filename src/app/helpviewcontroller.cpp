#include "helpviewcontroller.h"

#include <QFile>
#include <QPdfDocument>
#include <QPdfView>
#include <QShowEvent>
#include <QVBoxLayout>

HelpViewController::HelpViewController(QWidget* parent)
    : QWidget(parent)
    , helpPDFView(new QPdfView(this))
{
    setObjectName(QStringLiteral("HelpViewController"));
    helpPDFView->setObjectName(QStringLiteral("helpPDFView"));
    helpPDFView->setPageMode(QPdfView::PageMode::MultiPage);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(helpPDFView);
}

HelpViewController::~HelpViewController() = default;

void HelpViewController::setManualPath(const QString& path)
{
    m_manualPath = path;
}

void HelpViewController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        viewDidAppear();
}

void HelpViewController::viewDidAppear()
{
    if (!QFile::exists(m_manualPath))
        return;
    auto* manual = new QPdfDocument(this);
    if (manual->load(m_manualPath) != QPdfDocument::Error::None) {
        delete manual;
        manual = nullptr;
    }
    helpPDFView->setDocument(manual);
    delete thePDFDocument;
    thePDFDocument = manual;
    helpPDFView->setZoomMode(QPdfView::ZoomMode::FitToWidth);
}
