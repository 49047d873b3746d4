#include "documentwindow.h"

#include "runner/viewcontroller.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QPushButton>

DocumentWindow::DocumentWindow(const QString& title)
    : m_viewController(new ViewController(this))
{
    setObjectName(QStringLiteral("DocumentWindow"));
    setCentralWidget(m_viewController);
    setWindowTitle(title);
    resize(820, 520);
}

DocumentWindow::~DocumentWindow() = default;

void DocumentWindow::stopRunsAndClose()
{
    m_stopConfirmed = true;
    m_viewController->stopRuns();
    close();
}

QMessageBox* DocumentWindow::askToStopRuns(QWidget* parent, std::function<void()> confirmed)
{
    auto* question = new QMessageBox(QMessageBox::Question,
        QStringLiteral("Orvane"),
        tr("Stop the run and close?"),
        QMessageBox::NoButton,
        parent ? parent->window() : nullptr);
    question->setObjectName(QStringLiteral("stopQuestion"));
    question->setInformativeText(tr("The files in hand are finished; no other file is read."));
    QPushButton* stop = question->addButton(tr("Stop and Close"), QMessageBox::AcceptRole);
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
        askToStopRuns(this, [this] { stopRunsAndClose(); });
        return;
    }
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        emit windowClosed();
}
