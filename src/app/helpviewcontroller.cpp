#include "helpviewcontroller.h"

#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPdfBookmarkModel>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfSearchModel>
#include <QPdfView>
#include <QScrollBar>
#include <QShowEvent>
#include <QSplitter>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>

namespace {

constexpr qreal zoomStep = 1.25;
constexpr qreal smallestZoom = 0.1;

} // namespace

HelpViewController::HelpViewController(QWidget* parent)
    : QWidget(parent)
    , helpPDFView(new QPdfView(this))
    , m_contents(new QTreeView(this))
    , m_outline(new QPdfBookmarkModel(this))
    , m_findBar(new QWidget(this))
    , m_findField(new QLineEdit(m_findBar))
    , m_findCount(new QLabel(m_findBar))
    , m_search(new QPdfSearchModel(this))
{
    setObjectName(QStringLiteral("HelpViewController"));
    helpPDFView->setObjectName(QStringLiteral("helpPDFView"));
    helpPDFView->setAccessibleName(tr("Manual"));
    helpPDFView->setPageMode(QPdfView::PageMode::MultiPage);
    m_contents->setObjectName(QStringLiteral("helpContents"));
    m_contents->setAccessibleName(tr("Contents"));
    m_contents->setModel(m_outline);
    m_contents->header()->hide();
    m_contents->hide(); // until a manual with an outline is loaded
    m_findField->setObjectName(QStringLiteral("helpFindField"));
    m_findField->setAccessibleName(tr("Find in Manual"));
    m_findField->setPlaceholderText(tr("Find in the manual"));
    m_findField->setClearButtonEnabled(true);
    m_findField->installEventFilter(this);
    m_findCount->setObjectName(QStringLiteral("helpFindCount"));
    auto* previous = new QToolButton(m_findBar);
    previous->setText(tr("Previous"));
    previous->setAccessibleName(tr("Previous Match"));
    auto* next = new QToolButton(m_findBar);
    next->setText(tr("Next"));
    next->setAccessibleName(tr("Next Match"));
    auto* find = new QHBoxLayout(m_findBar);
    find->setContentsMargins(0, 0, 0, 0);
    find->addWidget(m_findField, 1);
    find->addWidget(m_findCount);
    find->addWidget(previous);
    find->addWidget(next);
    m_findBar->hide();

    auto* pages = new QWidget(this);
    auto* column = new QVBoxLayout(pages);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_findBar);
    column->addWidget(helpPDFView, 1);
    auto* splitter = new QSplitter(this);
    splitter->addWidget(m_contents);
    splitter->addWidget(pages);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({ 200, 520 });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);
    setFocusProxy(helpPDFView);
    helpPDFView->setFocusPolicy(Qt::StrongFocus);
    helpPDFView->installEventFilter(this);
    helpPDFView->viewport()->installEventFilter(this);

    connect(m_contents, &QTreeView::activated, this, [this](const QModelIndex& entry) {
        using Role = QPdfBookmarkModel::Role;
        helpPDFView->pageNavigator()->jump(entry.data(int(Role::Page)).toInt(),
            entry.data(int(Role::Location)).toPointF(),
            entry.data(int(Role::Zoom)).toReal());
    });
    connect(m_findField, &QLineEdit::textEdited, m_search, &QPdfSearchModel::setSearchString);
    connect(m_findField, &QLineEdit::textEdited, this, [this] { m_match = -1; });
    // The search runs page by page in the background: the first match is shown as soon as it is found.
    connect(m_search, &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_match < 0)
            goToMatch(1);
        updateCount();
    });
    connect(m_search, &QAbstractItemModel::modelReset, this, &HelpViewController::updateCount);
    connect(previous, &QToolButton::clicked, this, &HelpViewController::findPrevious);
    connect(next, &QToolButton::clicked, this, &HelpViewController::findNext);
    setTabOrder(m_contents, m_findField);
    setTabOrder(m_findField, previous);
    setTabOrder(previous, next);
    setTabOrder(next, helpPDFView);
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
    m_outline->setDocument(manual);
    m_search->setDocument(manual);
    m_match = -1;
    delete thePDFDocument;
    thePDFDocument = manual;
    m_contents->setVisible(m_outline->rowCount() > 0);
    m_contents->expandAll();
    helpPDFView->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    helpPDFView->setFocus(Qt::OtherFocusReason);
}

void HelpViewController::find()
{
    m_findBar->show();
    m_findField->setFocus(Qt::ShortcutFocusReason);
    m_findField->selectAll();
}

void HelpViewController::findNext()
{
    m_findBar->isHidden() ? find() : goToMatch(1);
}

void HelpViewController::findPrevious()
{
    m_findBar->isHidden() ? find() : goToMatch(-1);
}

void HelpViewController::goToMatch(int step)
{
    const int count = m_search->rowCount({});
    if (count == 0)
        return;
    m_match = m_match < 0 ? (step > 0 ? 0 : count - 1) : (m_match + step + count) % count;
    helpPDFView->pageNavigator()->jump(m_search->resultAtIndex(m_match));
    updateCount();
}

void HelpViewController::updateCount()
{
    const int count = m_search->rowCount({});
    m_findCount->setText(m_findField->text().isEmpty() ? QString()
            : count == 0                               ? tr("No matches")
            : m_match >= 0                             ? tr("%1 of %2").arg(m_match + 1).arg(count)
                                                       : tr("%1 matches").arg(count));
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

qreal HelpViewController::fittingZoom() const
{
    if (!thePDFDocument || thePDFDocument->pageCount() == 0)
        return 1;
    const qreal pageWidth = thePDFDocument->pagePointSize(0).width() * logicalDpiX() / 72.0;
    const int margins = helpPDFView->documentMargins().left() + helpPDFView->documentMargins().right();
    return pageWidth > 0 ? (helpPDFView->viewport()->width() - margins) / pageWidth : 1;
}

// A page cannot reflow as text does: zoomed past the window's width, its lines would run off to the right. So
// the zoom stops at the width that fits, and from there the manual follows the window's width again.
void HelpViewController::zoomBy(qreal factor)
{
    const qreal fitting = fittingZoom();
    const bool fitted = helpPDFView->zoomMode() == QPdfView::ZoomMode::FitToWidth;
    const qreal zoom =
        std::min(std::max((fitted ? fitting : helpPDFView->zoomFactor()) * factor, smallestZoom), fitting);
    if (zoom >= fitting * 0.999) {
        helpPDFView->setZoomMode(QPdfView::ZoomMode::FitToWidth);
        return;
    }
    helpPDFView->setZoomMode(QPdfView::ZoomMode::Custom);
    helpPDFView->setZoomFactor(zoom);
}

bool HelpViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_findField && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            m_findBar->hide();
            helpPDFView->setFocus(Qt::OtherFocusReason);
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            goToMatch(key->modifiers() & Qt::ShiftModifier ? -1 : 1);
            return true;
        }
    }
    // A window made narrower than the zoomed page fits the page to it again.
    if (watched == helpPDFView->viewport() && event->type() == QEvent::Resize
        && helpPDFView->zoomMode() == QPdfView::ZoomMode::Custom && helpPDFView->zoomFactor() > fittingZoom())
        helpPDFView->setZoomMode(QPdfView::ZoomMode::FitToWidth);
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
