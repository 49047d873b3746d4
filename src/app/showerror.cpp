#include "showerror.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

QMessageBox* showError(const QString& message)
{
    auto* alert =
        new QMessageBox(QMessageBox::Critical, QStringLiteral("Orvane"), QStringLiteral("An error occurred:"));
    alert->setObjectName(QStringLiteral("errorAlert"));
    alert->setInformativeText(message);
    // A button of its own text rather than the standard Ok, whose label a translation could change.
    QPushButton* ok = alert->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    alert->setDefaultButton(ok);
    alert->setEscapeButton(ok);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::ApplicationModal);
    alert->show();
    // Over the window the user is looking at, not in a corner of the screen.
    if (const QWidget* over = QApplication::activeWindow(); over && over != alert)
        alert->move(over->frameGeometry().center() - alert->rect().center());
    return alert;
}
