#include "showerror.h"

#include <QMessageBox>

QMessageBox* showError(const QString& message)
{
    auto* alert = new QMessageBox(
        QMessageBox::Critical, QStringLiteral("Orvane"), QStringLiteral("An error occurred:"), QMessageBox::Ok);
    alert->setObjectName(QStringLiteral("errorAlert"));
    alert->setInformativeText(message);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::ApplicationModal);
    alert->show();
    return alert;
}
