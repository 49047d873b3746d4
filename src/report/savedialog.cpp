#include "savedialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

QFileDialog* SaveDialog::open(
    QWidget* parent, const QString& caption, const QString& baseName, const QList<FileType>& types, Chosen chosen)
{
    auto* dialog = new QFileDialog(parent, caption);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    QStringList filters;
    for (const FileType& type : types)
        filters << type.filter;
    dialog->setNameFilters(filters);
    dialog->setDefaultSuffix(types.value(0).suffix);
    const auto typeOf = [dialog, filters] { return qMax(0, int(filters.indexOf(dialog->selectedNameFilter()))); };
    // Another type chosen: the name proposed takes its extension, and so does a name typed without one.
    QObject::connect(dialog, &QFileDialog::filterSelected, dialog, [dialog, types, typeOf] {
        const QString suffix = types.value(typeOf()).suffix;
        dialog->setDefaultSuffix(suffix);
        const QFileInfo name(dialog->selectedFiles().value(0));
        for (const FileType& type : types)
            if (name.suffix() == type.suffix)
                dialog->selectFile(name.completeBaseName() + u'.' + suffix);
    });
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    dialog->setDirectory(QDir(documents).exists() ? documents : QDir::homePath());
    dialog->selectFile(baseName + u'.' + types.value(0).suffix);
    QObject::connect(
        dialog, &QFileDialog::fileSelected, dialog, [chosen = std::move(chosen), typeOf](const QString& path) {
            if (chosen && !path.isEmpty())
                chosen(path, typeOf());
        });
    dialog->open();
    return dialog;
}
