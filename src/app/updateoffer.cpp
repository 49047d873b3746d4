#include "updateoffer.h"

#include <QMessageBox>
#include <QPushButton>
#include <QString>

QMessageBox* showUpdateOffer(
    const QString& listedVersion, const QString& runningVersion, std::function<void(bool download)> answered)
{
    auto* box = new QMessageBox(QMessageBox::Information,
        QStringLiteral("Orvane"),
        QStringLiteral("An update to this app to version ") + listedVersion + QStringLiteral(" is available."));
    box->setObjectName(QStringLiteral("updateOffer"));
    box->setInformativeText(QStringLiteral("You are currently running Orvane version ") + runningVersion
        + QStringLiteral(".\nPlease choose whether to download this update now in your default browser."));
    QPushButton* ignore = box->addButton(QStringLiteral("Ignore"), QMessageBox::RejectRole);
    QPushButton* download = box->addButton(QStringLiteral("Download"), QMessageBox::AcceptRole);
    box->setDefaultButton(ignore);
    box->setEscapeButton(ignore);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, box, [box, download, answered = std::move(answered)] {
        answered(box->clickedButton() == download);
    });
    box->open();
    return box;
}
