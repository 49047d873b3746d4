#include "helpviewcontroller.h"

#include <QFile>
#include <QKeyEvent>
#include <QPdfDocument>
#include <QPdfView>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>

namespace {

constexpr qreal zoomStep = 1.25;
constexpr qreal smallestZoom = 0.25;
constexpr qreal largestZoom = 8.0;

} // namespace

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
    setFocusProxy(helpPDFView);
    helpPDFView->setFocusPolicy(Qt::StrongFocus);
    helpPDFView->installEventFilter(this);
    helpPDFView->viewport()->installEventFilter(this);
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
    helpPDFView->setFocus(Qt::OtherFocusReason);
}

void HelpViewController::zoomIn()
{
    zoomBy(zoomStep);
}

void HelpViewController::zoomOut()
{
    zoomBy(1 / zoomStep);
}

void HelpViewController::resetZoom()
{
    helpPDFView->setZoomMode(QPdfView::ZoomMode::FitToWidth);
}

void HelpViewController::zoomBy(qreal factor)
{
    qreal zoom = helpPDFView->zoomFactor();
    // Fitted to the width, the zoom is what makes the first page as wide as the view.
    if (helpPDFView->zoomMode() == QPdfView::ZoomMode::FitToWidth && thePDFDocument
        && thePDFDocument->pageCount() > 0) {
        const qreal pageWidth = thePDFDocument->pagePointSize(0).width() * logicalDpiX() / 72.0;
        const int margins = helpPDFView->documentMargins().left() + helpPDFView->documentMargins().right();
        if (pageWidth > 0)
            zoom = (helpPDFView->viewport()->width() - margins) / pageWidth;
    }
    helpPDFView->setZoomMode(QPdfView::ZoomMode::Custom);
    helpPDFView->setZoomFactor(std::clamp(zoom * factor, smallestZoom, largestZoom));
}

bool HelpViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == helpPDFView->viewport() && event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            if (wheel->angleDelta().y() != 0)
                wheel->angleDelta().y() > 0 ? zoomIn() : zoomOut();
            return true;
        }
    }
    // The scroll area has the page and arrow keys; Home and End go to the manual's first and last page.
    if (watched == helpPDFView && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        QScrollBar* bar = helpPDFView->verticalScrollBar();
        if (key->key() == Qt::Key_Home || key->key() == Qt::Key_End) {
            bar->setValue(key->key() == Qt::Key_Home ? bar->minimum() : bar->maximum());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
