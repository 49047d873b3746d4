// The two real alerts, driven offscreen: the error alert and the offer of an update, their exact texts,
// icons and buttons, and the answer each button gives.

#include "app/showerror.h"
#include "app/updateoffer.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace orvane;

namespace {

// What the open message box showed, read while it was on screen.
struct Seen
{
    bool found = false;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
    QString informativeText;
    QStringList buttons;
    QString defaultButton;
    QString escapeButton;
};

// Once the modal box is up, records what it shows and hands it to act, which must close it.
void whenBoxShows(Seen& seen, std::function<void(QMessageBox*)> act)
{
    QTimer::singleShot(0, [&seen, act] {
        QMessageBox* box = nullptr;
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget* window : windows) {
            if (auto* candidate = qobject_cast<QMessageBox*>(window); candidate && candidate->isVisible())
                box = candidate;
        }
        if (!box) {
            whenBoxShows(seen, act); // not on screen yet: look again on the next turn of the loop
            return;
        }
        seen.found = true;
        seen.icon = box->icon();
        seen.text = box->text();
        seen.informativeText = box->informativeText();
        const QList<QAbstractButton*> buttons = box->buttons();
        for (QAbstractButton* button : buttons)
            seen.buttons.append(button->text());
        seen.buttons.sort();
        seen.defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
        seen.escapeButton = box->escapeButton() ? box->escapeButton()->text() : QString();
        act(box);
    });
}

QAbstractButton* buttonNamed(QMessageBox* box, const QString& text)
{
    const QList<QAbstractButton*> buttons = box->buttons();
    for (QAbstractButton* button : buttons) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

} // namespace

class TestUpdateCheckAlerts : public QObject
{
    Q_OBJECT

private slots:
    // The error alert does not block: it is on screen when showError returns, and goes away with OK.
    void errorAlert()
    {
        const QPointer<QMessageBox> box = showError(QStringLiteral("Error in update Property List."));
        QVERIFY(box);
        QVERIFY(box->isVisible());
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QCOMPARE(box->text(), QStringLiteral("An error occurred:"));
        QCOMPARE(box->informativeText(), QStringLiteral("Error in update Property List."));
        QCOMPARE(box->buttons().size(), 1);
        QCOMPARE(box->defaultButton()->text(), QStringLiteral("OK"));
        QCOMPARE(box->escapeButton(), box->defaultButton());
        box->defaultButton()->click();
        QTRY_VERIFY(!box); // deleted once dismissed
    }

    void offer_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<UpdateAnswer>("answer");
        QTest::newRow("Download clicked") << "Download" << UpdateAnswer::Download;
        QTest::newRow("Ignore clicked") << "Ignore" << UpdateAnswer::Ignore;
        QTest::newRow("Return takes the default") << "Return" << UpdateAnswer::Ignore;
        QTest::newRow("Escape") << "Escape" << UpdateAnswer::Ignore;
    }

    void offer()
    {
        QFETCH(QString, action);
        QFETCH(UpdateAnswer, answer);
        Seen seen;
        whenBoxShows(seen, [action](QMessageBox* box) {
            if (action == QLatin1String("Return"))
                QTest::keyClick(box, Qt::Key_Return);
            else if (action == QLatin1String("Escape"))
                QTest::keyClick(box, Qt::Key_Escape);
            else
                buttonNamed(box, action)->click();
        });
        const UpdateAnswer given = askToDownloadUpdate(QStringLiteral("1.1"), QStringLiteral("1.0.0"));

        QVERIFY(seen.found);
        QCOMPARE(given, answer);
        QCOMPARE(seen.icon, QMessageBox::Information);
        QCOMPARE(seen.text, QStringLiteral("An update to this app to version 1.1 is available."));
        QCOMPARE(seen.informativeText,
            QStringLiteral("You are currently running Orvane version 1.0.0.\n"
                           "Please choose whether to download this update now in your default browser."));
        QCOMPARE(seen.buttons, (QStringList { "Download", "Ignore" }));
        QCOMPARE(seen.defaultButton, QStringLiteral("Ignore"));
        QCOMPARE(seen.escapeButton, QStringLiteral("Ignore"));
    }
};

QTEST_MAIN(TestUpdateCheckAlerts)
#include "tst_updatecheck_alerts.moc"
