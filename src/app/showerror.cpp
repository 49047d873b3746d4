#include "showerror.h"

#include <QMessageBox>
#include <QPushButton>
#include <QString>

namespace orvane {

void showError(const QString& text)
{
    QMessageBox box(QMessageBox::Critical, QString(), QStringLiteral("An error occurred:"));
    box.setInformativeText(text);
    // The button's own text, not the standard Ok button, whose label a translation could change.
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

} // namespace orvane
