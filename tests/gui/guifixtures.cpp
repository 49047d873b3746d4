#include "guifixtures.h"

#include "runner/itemurl.h"
#include "runner/viewcontroller.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace guifixtures {

void useTestSettings()
{
    QStandardPaths::setTestModeEnabled(true);
    // Each test program gets a settings folder of its own: tests run in parallel, and one program's
    // clearing must not wipe what another has just written.
    static const QTemporaryDir settingsFolder;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
    QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Orvane"));
    QSettings settings;
    QVERIFY2(!settings.fileName().startsWith(QDir::homePath() + QStringLiteral("/.config/")),
        "the tests would write the user's own settings");
    settings.clear();
    // As main() does: the update check needs the running version.
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVANE_VERSION));
    // Launching runs the update check; unless a test serves a manifest itself, it asks a closed port on
    // this machine and is dropped at once, with no message and no request leaving the machine.
    qputenv("ORVANE_UPDATE_MANIFEST_URL", "http://127.0.0.1:9/update.plist");
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
        alert->defaultButton()->click();
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

QByteArray engineReport(orvane::Operation operation, const QString& path)
{
    const std::optional<QUrl> url = ItemURL::fromPath(path);
    if (!url)
        return {};
    std::string notices;
    orvane::RunObserver observer;
    observer.directText = [&notices](const std::string& text) { notices += text; };
    orvane::RunState state;
    const std::string item = ItemURL::enginePath(ItemURL::folderPath(*url));
    if (!ItemURL::isDirectory(*url)) {
        orvane::runSingleFile(operation, item, {}, state, observer);
    } else if (!orvane::runFolder(operation, item, {}, state, observer)) {
        orvane::appendTotals(operation, item, state);
    }
    return QByteArray::fromStdString(notices + state.reportText);
}

void setItem(ViewController& controller, const QString& path)
{
    const std::optional<QUrl> url = ItemURL::fromPath(path);
    QVERIFY(url);
    controller.setItem(*url, !ItemURL::isDirectory(*url));
}

} // namespace guifixtures
