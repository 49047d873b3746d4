#include "guifixtures.h"

#include <QApplication>
#include <QLineEdit>
#include <QSettings>
#include <QStandardPaths>
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

QMessageBox* messageBox(const char* name)
{
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        auto* box = qobject_cast<QMessageBox*>(window);
        // A box answered before may linger, hidden, until its deletion.
        if (box && box->isVisible() && box->objectName() == QLatin1String(name))
            return box;
    }
    return nullptr;
}

void answerStopQuestion(const QString& button)
{
    QTRY_VERIFY(messageBox("stopQuestion"));
    QMessageBox* question = messageBox("stopQuestion");
    QCOMPARE(question->text(), QStringLiteral("Stop the run and close?"));
    const QList<QAbstractButton*> choices = question->buttons();
    for (QAbstractButton* choice : choices)
        if (choice->text() == button)
            return choice->click();
    QFAIL("the question has no such button");
}

QFileDialog* fileDialog(QWidget* parent)
{
    const QList<QFileDialog*> dialogs = parent->window()->findChildren<QFileDialog*>();
    for (QFileDialog* dialog : dialogs)
        if (dialog->isVisible())
            return dialog;
    return nullptr;
}

void confirmFileDialog(QWidget* parent, const QString& path)
{
    QFileDialog* dialog = fileDialog(parent);
    QVERIFY(dialog);
    // Typed into the name field: selectFile() leaves the field alone while it has the focus.
    auto* nameField = child<QLineEdit>(dialog, "fileNameEdit");
    nameField->setText(path);
    // Replacing a file is confirmed in a modal question of the dialog's own; answer it once it is up.
    QTimer::singleShot(0, dialog, [] {
        if (auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            question->button(QMessageBox::Yes)->click();
    });
    QTest::keyClick(nameField, Qt::Key_Return);
}

QByteArray engineReport(orvane::Operation operation, const QString& path)
{
    const QUrl url = ItemURL::fromPath(path).value();
    std::string notices;
    orvane::RunObserver observer;
    observer.directText = [&notices](const std::string& text) { notices += text; };
    orvane::RunState state;
    const std::string item = ItemURL::enginePath(ItemURL::folderPath(url));
    if (!ItemURL::isDirectory(url))
        orvane::runSingleFile(operation, item, {}, state, observer);
    else if (!orvane::runFolder(operation, item, {}, state, observer))
        orvane::appendTotals(operation, item, state);
    return QByteArray::fromStdString(notices + state.reportText);
}

void setItem(ViewController& controller, const QString& path)
{
    const QUrl url = ItemURL::fromPath(path).value();
    controller.setItem(url, !ItemURL::isDirectory(url));
}

} // namespace guifixtures
