#include "documentwindow.h"

#include "document/windowplace.h"
#include "runner/viewcontroller.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>

namespace {

const QString geometryKey = QStringLiteral("documentWindowGeometry");

// The document window opened last, from which the next one cascades while it is open.
QPointer<DocumentWindow> lastOpened;

} // namespace

DocumentWindow::DocumentWindow(const QString& title)
    : m_viewController(new ViewController(this))
{
    setObjectName(QStringLiteral("DocumentWindow"));
    setCentralWidget(m_viewController);
    setWindowTitle(title);
    resize(820, 520);
    WindowPlace::restore(this, geometryKey);
    if (lastOpened && lastOpened->isVisible())
        WindowPlace::cascade(this, lastOpened);
    lastOpened = this;
}

DocumentWindow::~DocumentWindow() = default;

void DocumentWindow::stopRunsAndClose()
{
    m_stopConfirmed = true;
    m_viewController->stopRuns();
    close();
}

QMessageBox* DocumentWindow::askToStopRuns(QWidget* parent, bool quitting, std::function<void()> confirmed)
{
    auto* question = new QMessageBox(QMessageBox::Question,
        QStringLiteral("Orvane"),
        quitting ? tr("Stop the runs and quit?") : tr("Stop the run and close?"),
        QMessageBox::NoButton,
        parent ? parent->window() : nullptr);
    question->setObjectName(QStringLiteral("stopQuestion"));
    question->setInformativeText(tr("The files in hand are finished; no other file is read."));
    QPushButton* stop =
        question->addButton(quitting ? tr("Stop and Quit") : tr("Stop and Close"), QMessageBox::AcceptRole);
    QPushButton* cancel = question->addButton(QMessageBox::Cancel);
    question->setDefaultButton(cancel);
    question->setEscapeButton(cancel);
    question->setAttribute(Qt::WA_DeleteOnClose);
    question->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    QObject::connect(question, &QMessageBox::finished, question, [question, stop, confirmed = std::move(confirmed)] {
        if (question->clickedButton() == stop)
            confirmed();
    });
    question->open();
    return question;
}

void DocumentWindow::closeEvent(QCloseEvent* event)
{
    if (m_viewController->runsInFlight() > 0 && !m_stopConfirmed) {
        event->ignore();
        askToStopRuns(this, false, [this] { stopRunsAndClose(); });
        return;
    }
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) {
        WindowPlace::save(this, geometryKey);
        emit windowClosed();
    }
}

void DocumentWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // Only now is the frame known, which has to fit on the screen too.
    if (!event->spontaneous())
        WindowPlace::keepOnScreen(this);
}
