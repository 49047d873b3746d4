#include "savedialog.h"

#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>

namespace {

const QString textFilter = QStringLiteral("text (*.text)");
const QString txtFilter = QStringLiteral("txt (*.txt)");

} // namespace

QFileDialog* SaveDialog::open(QWidget* parent, const QString& caption, const QString& proposedName, Chosen chosen)
{
    auto* dialog = new QFileDialog(parent, caption);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilters({ textFilter, txtFilter });
    dialog->setDefaultSuffix(QStringLiteral("text"));
    QObject::connect(dialog, &QFileDialog::filterSelected, dialog, [dialog](const QString& filter) {
        dialog->setDefaultSuffix(filter == txtFilter ? QStringLiteral("txt") : QStringLiteral("text"));
    });
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    dialog->setDirectory(QDir(documents).exists() ? documents : QDir::homePath());
    dialog->selectFile(proposedName);
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog, [chosen = std::move(chosen)](const QString& path) {
        if (chosen && !path.isEmpty())
            chosen(path);
    });
    dialog->open();
    return dialog;
}
