#include "guifixtures.h"

#include "operations/hashnumber.h"
#include "operations/walk.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <cstring>

namespace guifixtures {

const QByteArray ok = "\u2705 ";
const QByteArray bad = "\u274C ";
const QByteArray warn = "\u26A0\uFE0F ";

void useTestSettings()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Orvane"));
    QSettings settings;
    QVERIFY2(!settings.fileName().startsWith(QDir::homePath() + QStringLiteral("/.config/")),
        "the tests would write the user's own settings");
    settings.clear();
}

QMessageBox* errorAlert()
{
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        auto* alert = qobject_cast<QMessageBox*>(window);
        if (alert && alert->isVisible() && alert->objectName() == QStringLiteral("errorAlert"))
            return alert;
    }
    return nullptr;
}

void dismissAlerts()
{
    while (QMessageBox* alert = errorAlert())
        alert->button(QMessageBox::Ok)->click();
}

QFileDialog* fileDialog(QWidget* parent)
{
    const QList<QFileDialog*> dialogs = parent->window()->findChildren<QFileDialog*>();
    for (QFileDialog* dialog : dialogs)
        if (dialog->isVisible())
            return dialog;
    return nullptr;
}

void confirmFileDialog(QFileDialog* dialog, const QString& path)
{
    QVERIFY(dialog);
    // Typed into the name field: selectFile() leaves the field alone while it has the focus.
    auto* nameField = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(nameField);
    nameField->setText(path);
    const auto* box = dialog->findChild<QDialogButtonBox*>();
    QVERIFY(box);
    const QList<QAbstractButton*> buttons = box->buttons();
    for (QAbstractButton* button : buttons) {
        if (box->buttonRole(button) == QDialogButtonBox::AcceptRole) {
            QVERIFY(button->isEnabled());
            // Replacing a file is confirmed in a modal question of the dialog's own; answer it once it is up.
            QTimer::singleShot(0, dialog, [] {
                if (auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                    question->button(QMessageBox::Yes)->click();
            });
            button->click();
            return;
        }
    }
    QFAIL("the file dialog has no button to confirm with");
}

QStringList walkOrder(const QString& folder)
{
    QStringList files;
    orvane::WalkCallbacks callbacks;
    callbacks.visitFile = [&files](const std::string& path) { files << QFile::decodeName(path.c_str()); };
    (void)orvane::walkTree(fixtures::local(folder), callbacks);
    return files;
}

QByteArray digestOfFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? fixtures::sha256(file.readAll()) : QByteArray();
}

void tagCorrectly(const QString& path)
{
    QVERIFY(fixtures::setAttribute(path, digestOfFile(path)));
}

QByteArray hashNumberOf(const QString& path)
{
    const QByteArray bytes = digestOfFile(path);
    orvane::Digest digest {};
    std::memcpy(digest.data(), bytes.constData(), digest.size());
    return QByteArray::number(qint64(orvane::hashNumber(digest)));
}

QByteArray checkTotals(const QString& folder, int total, int matched, int mismatched, int none)
{
    return "Checked a total of " + QByteArray::number(total) + " files in " + QFile::encodeName(folder) + "\n\t"
        + QByteArray::number(matched) + " matched digest correctly\n\t" + QByteArray::number(mismatched)
        + " didn't match their digest\n\t" + QByteArray::number(none) + " had no digest.\n";
}

QByteArray tagTotals(const QString& folder, int total, int errors)
{
    return "Tagged a total of " + QByteArray::number(total) + " files in " + QFile::encodeName(folder) + " with "
        + QByteArray::number(errors) + " errors.\n";
}

QByteArray retagTotals(const QString& folder, int total, int matched, int retagged, int first)
{
    return "Retagged a total of " + QByteArray::number(total) + " files in " + QFile::encodeName(folder) + "\n\t"
        + QByteArray::number(matched) + " matched digest correctly\n\t" + QByteArray::number(retagged)
        + " were retagged\n\t" + QByteArray::number(first) + " were tagged for the first time.\n";
}

} // namespace guifixtures
