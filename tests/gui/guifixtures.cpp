#include "guifixtures.h"

#include "operations/integrityrun.h"

#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

namespace guifixtures {

void useTestSettings()
{
    QStandardPaths::setTestModeEnabled(true);
    // A folder per test program: they run in parallel, and one's clearing must not wipe another's settings.
    static const QTemporaryDir settingsFolder;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
    QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Orvane"));
    QSettings settings;
    QVERIFY2(!settings.fileName().startsWith(QDir::homePath() + QStringLiteral("/.config/")),
        "the tests would write the user's own settings");
    settings.clear();
    settings.setValue(QLatin1String(ViewController::askBeforeTagKey), false);
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVANE_VERSION));
    // The update check at launch asks a closed port here: no request leaves the machine.
    qputenv("ORVANE_UPDATE_MANIFEST_URL", "http://127.0.0.1:9/update.plist");
}

QMessageBox* messageBox(const char* name)
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(window);
        // A box answered before may linger, hidden, until its deletion.
        if (box && box->isVisible() && box->objectName() == QLatin1String(name))
            return box;
    }
    return nullptr;
}

QString answer(const char* name, const QString& button)
{
    (void)QTest::qWaitFor([name] { return messageBox(name) != nullptr; });
    QMessageBox* box = messageBox(name);
    for (QAbstractButton* choice : box ? box->buttons() : QList<QAbstractButton*>())
        if (choice->text() == button) {
            const QString text = box->text();
            choice->click();
            return text;
        }
    QTest::qFail("the box has no such button", __FILE__, __LINE__);
    return {};
}

QString alertMessage()
{
    (void)QTest::qWaitFor([] { return messageBox("errorAlert") != nullptr; });
    const QString message = messageBox("errorAlert") ? messageBox("errorAlert")->informativeText() : QString();
    answer("errorAlert", QStringLiteral("OK"));
    return message;
}

QFileDialog* fileDialog(QWidget* parent)
{
    for (QFileDialog* dialog : parent->window()->findChildren<QFileDialog*>())
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
    const fixtures::EngineReport report = fixtures::engineReport(operation, orvane::resolveItem(local(path)).value());
    return report.direct + report.text;
}

void screenshot(QWidget* window, const char* name)
{
    const QString folder = qEnvironmentVariable("ORVANE_SCREENSHOTS");
    if (folder.isEmpty())
        return;
    QCoreApplication::processEvents(); // layouts after the last change, then the paint
    QCoreApplication::processEvents();
    const QRect frame = window->frameGeometry();
    const QPixmap shot = window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    QVERIFY(shot.save(folder + u'/' + QLatin1String(name)));
}

void setItem(ViewController& controller, const QString& path)
{
    controller.setItem(orvane::resolveItem(local(path)).value());
}

} // namespace guifixtures
