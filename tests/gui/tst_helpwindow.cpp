// The help window: the manual, its contents, finding in it, and zoom that never cuts a line off.

#include "app/appdelegate.h"
#include "app/helpviewcontroller.h"
#include "app/helpwindow.h"
#include "guifixtures.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QScrollBar>
#include <QTreeView>

using namespace guifixtures;

namespace {

// A page's text in compatibility form: the manual's "ﬁ" ligatures as the two letters of its source.
QString pageText(QPdfDocument* manual, int page)
{
    return manual->getAllText(page).text().normalized(QString::NormalizationForm_KC);
}

} // namespace

class TestHelpWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<AppDelegate> app;
    HelpWindow* window = nullptr;
    QPdfView* pages = nullptr;

private slots:
    void init()
    {
        useTestSettings();
        app = std::make_unique<AppDelegate>();
        app->openHelp();
        window = app->helpWindows().first();
        window->resize(900, 700);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        pages = child<QPdfView>(window, "helpPDFView");
    }
    void cleanup()
    {
        app.reset();
    }

    // The contents are the manual's headings; each goes to the page it is on.
    void contents()
    {
        auto* contents = child<QTreeView>(window, "helpContents");
        QVERIFY(contents->isVisible());
        const QModelIndex manual = contents->model()->index(0, 0);
        QCOMPARE(manual.data().toString(), QStringLiteral("Orvane Help"));
        const int sections = contents->model()->rowCount(manual);
        QVERIFY(sections >= 5);
        for (int row = 0; row < sections; ++row) {
            const QModelIndex heading = contents->model()->index(row, 0, manual);
            contents->setCurrentIndex(heading);
            QTest::keyClick(contents, Qt::Key_Return);
            const int page = pages->pageNavigator()->currentPage();
            QVERIFY2(pageText(pages->document(), page).contains(heading.data().toString() + "\r\n"),
                qPrintable(heading.data().toString()));
        }
    }

    // Ctrl+F finds text in the manual; Enter and Shift+Enter go round the matches, each page shown.
    void finding()
    {
        QTest::keyClick(window, Qt::Key_F, Qt::ControlModifier);
        auto* field = child<QLineEdit>(window, "helpFindField");
        QVERIFY(field->hasFocus());
        QTest::keyClicks(field, "Retag");
        auto* count = child<QLabel>(window, "helpFindCount");
        QTRY_VERIFY(count->text().startsWith("1 of ") && count->text() != "1 of 1");
        QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
        const QString total = count->text().section(u' ', 2);
        QCOMPARE(count->text(), total + " of " + total);
        QVERIFY(pageText(pages->document(), pages->pageNavigator()->currentPage()).contains("Retag"));
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(count->text(), "1 of " + total);
        QTest::keyClick(field, Qt::Key_Escape);
        QVERIFY(!field->isVisible() && pages->hasFocus());
    }

    // Bigger stops where the page fills the width: nothing runs past the right edge; Smaller goes below it.
    void zoomKeepsEveryLine()
    {
        QCOMPARE(pages->zoomMode(), QPdfView::ZoomMode::FitToWidth);
        child<QAction>(window, "biggerAction")->trigger();
        QCOMPARE(pages->zoomMode(), QPdfView::ZoomMode::FitToWidth);
        QTRY_COMPARE(pages->horizontalScrollBar()->maximum(), 0);
        child<QAction>(window, "smallerAction")->trigger();
        QCOMPARE(pages->zoomMode(), QPdfView::ZoomMode::Custom);
        window->resize(300, 700); // narrower than the page zoomed out
        QTRY_COMPARE(pages->zoomMode(), QPdfView::ZoomMode::FitToWidth);
        QTRY_COMPARE(pages->horizontalScrollBar()->maximum(), 0);
    }

    void manualMissing()
    {
        HelpViewController help;
        help.setManualPath(QStringLiteral("/nonexistent/OrvaneHelp.pdf"));
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        QVERIFY(!help.manual());
        QVERIFY(!child<QTreeView>(&help, "helpContents")->isVisible());
        QVERIFY(!messageBox("errorAlert"));
    }
};

QTEST_MAIN(TestHelpWindow)
#include "tst_helpwindow.moc"
