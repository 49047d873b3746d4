#include "updateoffer.h"

#include <QMessageBox>
#include <QPushButton>
#include <QString>

namespace orvane {

UpdateAnswer askToDownloadUpdate(const QString& listedVersion, const QString& runningVersion)
{
    QMessageBox box(QMessageBox::Information,
        QString(),
        QStringLiteral("An update to this app to version ") + listedVersion + QStringLiteral(" is available."));
    box.setInformativeText(QStringLiteral("You are currently running Orvane version ") + runningVersion
        + QStringLiteral(".\nPlease choose whether to download this update now in your default browser."));
    QPushButton* ignore = box.addButton(QStringLiteral("Ignore"), QMessageBox::RejectRole);
    QPushButton* download = box.addButton(QStringLiteral("Download"), QMessageBox::AcceptRole);
    box.setDefaultButton(ignore);
    box.setEscapeButton(ignore);
    box.exec();
    return box.clickedButton() == download ? UpdateAnswer::Download : UpdateAnswer::Ignore;
}

} // namespace orvane
