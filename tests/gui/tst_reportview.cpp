// The report view: its characters kept and copied exactly, the problems filter and the find bar.

#include "guifixtures.h"
#include "report/fontsize.h"
#include "report/reportchunk.h"
#include "report/reportpane.h"
#include "report/reportview.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>

namespace {

// What Ctrl+C on the view puts on the clipboard; what was there before if it puts nothing.
QString copied(ReportView* view)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("(nothing copied)"));
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    return QGuiApplication::clipboard()->text();
}

const QString lines = QStringLiteral("\u26A0\uFE0F No digest found for /a\n\u274C Digests for /b aren't equal.\n"
                                     "\n\t2 had no digest.\nCamera/\U0001F4F7");

// Lines of every kind as runs put them in, worded by the engine; the problems filter hides those of files that
// are fine: the first, the sixth, the seventh and the tenth.
ReportChunk everyKind()
{
    using namespace orvane;
    const auto add = [](ReportChunk& chunk, Command command, Variant variant, FileResult result, const char* path) {
        Outcome outcome;
        outcome.path = path;
        outcome.result = result;
        outcome.reason = result == FileResult::Unreadable ? "not a regular file" : "Permission denied";
        outcome.hashNumber = 7982;
        chunk.addOutcome(ReportFormat(command, variant), outcome);
    };
    ReportChunk chunk;
    for (const auto& [result, path] : { std::pair { FileResult::Matched, "/a" },
             { FileResult::Mismatched, "/b" },
             { FileResult::NoDigest, "/c" },
             { FileResult::Unreadable, "/d" },
             { FileResult::UnreadableFolder, "/e" } })
        add(chunk, Command::Check, Variant::Folder, result, path);
    add(chunk, Command::Tag, Variant::Folder, FileResult::Tagged, "/f");
    add(chunk, Command::Tag, Variant::SingleFile, FileResult::Tagged, "/g");
    add(chunk, Command::Retag, Variant::Folder, FileResult::Retagged, "/h");
    add(chunk, Command::Tag, Variant::Folder, FileResult::NotTagged, "/i"); // its notice and its line
    RunCounters counters;
    counters.total = 9;
    counters.matched = 1;
    chunk.addTotals(ReportFormat(Command::Check, Variant::Folder), "/", counters, false);
    chunk.seal();
    return chunk;
}

} // namespace

class TestReportView : public QObject
{
    Q_OBJECT

    std::unique_ptr<ViewController> controller; // a window showing lines
    ReportView* view = nullptr;

private slots:
    void init()
    {
        guifixtures::useTestSettings();
        controller = std::make_unique<ViewController>();
        controller->show();
        controller->setReportText(lines);
        view = guifixtures::child<ReportView>(controller.get(), "outputTextbox");
    }

    void puttingText_data()
    {
        QTest::addColumn<QStringList>("appends");
        QTest::newRow("a line continued by the next append; an empty one") << QStringList { "a", "", "b\n", "c" };
        QTest::newRow("marks, tabs, and characters a text document rewrites")
            << QStringList { "\u26A0\uFE0F\tx\n", "a\u00A0b\r\nc\rd\u2028e\u2029f\u0085g\u0001" };
        QTest::newRow("non-ASCII, empty and long lines")
            << QStringList { "\n\n/Fotos/\u00C4rger \u65E5\u672C \U0001F4F7.jpg\n", QString(20000, u'x'), "\n\n" };
    }
    void puttingText()
    {
        QFETCH(QStringList, appends);
        const QString expected = appends.join(QString());
        controller->setReportText(QString());
        for (const QString& text : appends)
            controller->appendReportText(text);
        QCOMPARE(controller->reportText(), expected);
        QStringList shown; // the rows, one for each line between line feeds
        for (qsizetype line = 0; line < view->lineCount(); ++line)
            shown << view->lineText(line).toString();
        QCOMPARE(shown.join(u'\n'), expected);
        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(copied(view), expected);
    }

    void keyboardSelection_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* keys, const QString& expected) {
            QTest::newRow(name) << QString::fromLatin1(keys) << expected;
        };
        row("a mark with its variation selector", "Shift+Right", "\u26A0\uFE0F");
        row("a line without its line feed", "Shift+End", "\u26A0\uFE0F No digest found for /a");
        row("two lines with their line feeds", "Shift+Down, Shift+Down", lines.section(u'\n', 0, 1) + u'\n');
        row("a whole surrogate pair", "Ctrl+End, Shift+Left", "\U0001F4F7");
        row("over an empty line", "Ctrl+End, Home, Shift+Up, Shift+Up", "\n\t2 had no digest.\n");
        row("a page down past the last line", "Shift+PgDown", lines.left(lines.lastIndexOf(u'\n') + 1));
        row("everything", "Shift+Ctrl+End", lines);
    }
    void keyboardSelection()
    {
        QFETCH(QString, keys);
        QFETCH(QString, expected);
        QTest::keySequence(view, QKeySequence(keys));
        QCOMPARE(copied(view), expected);
    }

    void mouseSelection()
    {
        const auto at = [this](qsizetype position) { return view->characterRect(position).center(); };
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at(view->lineStart(1)));
        QTest::mouseMove(view->viewport(), at(view->lineEnd(3)));
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at(view->lineEnd(3)));
        QCOMPARE(copied(view), "\u274C Digests for /b aren't equal.\n\n\t2 had no digest.");
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, at(0));
        QCOMPARE(copied(view), lines.left(view->lineStart(1)));
    }

    void accessibleText()
    {
        QTest::keySequence(view, QKeySequence(QStringLiteral("Down, Shift+Right")));
        QAccessibleTextInterface* text = QAccessible::queryAccessibleInterface(view)->textInterface();
        QCOMPARE(text->text(0, text->characterCount()), lines);
        int start = 0, end = 0;
        QCOMPARE(text->textAtOffset(text->cursorPosition(), QAccessible::LineBoundary, &start, &end),
            lines.section(u'\n', 1, 1) + u'\n');
        text->selection(0, &start, &end);
        QCOMPARE(text->text(start, end), "\u274C");
    }

    void fontSize_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("steps"); // positive: Bigger, negative: Smaller
        QTest::addColumn<double>("expected");
        QTest::newRow("nothing stored") << QVariant() << 0 << 12.0;
        QTest::newRow("below the bounds") << QVariant(3.5) << 0 << 12.0;
        QTest::newRow("above the bounds, one smaller") << QVariant(61.0) << -1 << 11.0;
        QTest::newRow("not a number") << QVariant(QStringLiteral("large")) << 0 << 12.0;
        QTest::newRow("at the top, 2 bigger stay at 60") << QVariant(59.0) << 2 << 60.0;
        QTest::newRow("at the bottom, 2 smaller stay at 4") << QVariant(5.0) << -2 << 4.0;
    }
    void fontSize()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, steps);
        QFETCH(double, expected);
        if (stored.isValid())
            QSettings().setValue(FontSize::settingsKey, stored);
        ViewController window; // reads the stored size as it starts
        window.setReportText(lines);
        for (int i = 0; i < qAbs(steps); ++i) {
            QSettings().remove(FontSize::settingsKey); // stored also by the step that meets the bound
            steps > 0 ? window.incFontSize() : window.decFontSize();
        }
        QCOMPARE(window.fontSize(), expected);
        if (steps != 0)
            QCOMPARE(QSettings().value(FontSize::settingsKey).toDouble(), expected);
        QCOMPARE(guifixtures::child<ReportView>(&window, "outputTextbox")->style().font().pointSizeF(), expected);
        QCOMPARE(window.reportText(), lines);
    }

    void problemsOnly_data()
    {
        QTest::addColumn<bool>("filterFirst");
        QTest::newRow("filter on after the lines") << false;
        QTest::newRow("filter on before the lines") << true;
    }
    void problemsOnly()
    {
        QFETCH(bool, filterFirst);
        const ReportChunk lines = everyKind();
        controller->setReportText(QString());
        controller->reportPane()->setProblemsOnly(filterFirst);
        controller->reportPane()->appendChunk(lines);
        controller->reportPane()->setProblemsOnly(true);
        QStringList shown = lines.text().split(u'\n');
        for (const int hidden : { 9, 6, 5, 0 })
            shown.removeAt(hidden);
        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(copied(view), shown.join(u'\n'));
        QCOMPARE(view->problemCount(), 6);
        QCOMPARE(controller->reportText(), lines.text());
    }

    // Lines that come in ahead of those shown (an earlier run's, after a later one began) count as appended ones.
    void insertedLinesCounted()
    {
        orvane::Outcome outcome;
        outcome.path = "/p";
        outcome.result = orvane::FileResult::Mismatched;
        outcome.sinceTagged = orvane::SinceTagged::NotModified;
        ReportChunk chunk;
        chunk.addOutcome(orvane::ReportFormat(orvane::Command::Check, orvane::Variant::Folder), outcome);
        chunk.seal();
        controller->setReportText(QString());
        controller->reportPane()->appendChunk(chunk);
        controller->reportPane()->insertChunk(0, chunk);
        QCOMPARE(view->problemCount(), 2);
        QCOMPARE(view->damagedCount(), 2);
    }

    // Enter and Shift+Enter in the find bar go round the matches in the lines shown, ignoring case.
    void findGoesRound()
    {
        controller->setReportText(QString());
        controller->reportPane()->appendChunk(everyKind());
        controller->reportPane()->find();
        auto* field = guifixtures::child<QLineEdit>(controller.get(), "findField");
        const auto count = [this] { return guifixtures::child<QLabel>(controller.get(), "findCount")->text(); };
        const auto matchLine = [this] { return view->lineOfPosition(view->selectionStart()); };
        QTest::keyClicks(field, "DIGEST");
        QCOMPARE(count(), "1 of 8");
        QList<qsizetype> lines;
        for (int i = 0; i < 9; ++i, QTest::keyClick(field, Qt::Key_Return))
            lines << matchLine();
        QCOMPARE(lines, QList<qsizetype>({ 0, 1, 2, 5, 9, 11, 12, 13, 0 }));
        QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(matchLine(), 13);
        controller->reportPane()->setProblemsOnly(true);
        QCOMPARE(count(), "5 of 5");
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(matchLine(), 1);
        QCOMPARE(count(), "1 of 5");
    }
};

QTEST_MAIN(TestReportView)
#include "tst_reportview.moc"
