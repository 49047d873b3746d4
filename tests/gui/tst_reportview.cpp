// The report: its characters kept and copied exactly, selections, screen readers, font size, report files.

#include "guifixtures.h"
#include "report/fontsize.h"
#include "report/reportfile.h"
#include "report/reportview.h"
#include "runner/viewcontroller.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

// What Ctrl+C on the view puts on the clipboard; what was there before if it puts nothing.
QString copied(ReportView* view)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("(nothing copied)"));
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    return QGuiApplication::clipboard()->text();
}

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

const QString lines = QStringLiteral("\u26A0\uFE0F No digest found for /a\n\u274C Digests for /b aren't equal.\n"
                                     "\n\t2 had no digest.\nCamera/\U0001F4F7");

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

    // A drag from the start of one line to the end of another, then a Shift+click at the start.
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

    // Screen readers get the text, the line at the caret and the selection.
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

    // The size a window starts with, from the setting, and what Bigger and Smaller make of it and store.
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

    void writingReportFiles()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Orvane_photos.text");
        fixtures::writeFile(path, QByteArray(5000, 'o')); // longer than the report: must not leave a tail
        const QByteArray report = "\u2705 Digests for /a\n\t1 matched digest correctly\n";
        QCOMPARE(ReportFile::write(path, report), QString());
        QCOMPARE(contentsOf(path), report); // no byte-order mark, nothing else
        QCOMPARE(ReportFile::write(path, QByteArray()), QString());
        QCOMPARE(contentsOf(path), QByteArray());
    }

    void writeFailures_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char* name, const char* where, const char* reason) {
            QTest::newRow(name) << QString::fromUtf8(where) << QString::fromUtf8(reason);
        };
        const char* opened = "it is the item this window checks, and Orvane never writes over it";
        row("missing folder", "missing/report.text", "No such file or directory");
        row("below a file", "file/report.text", "Not a directory");
        row("a folder", "folder", "Is a directory");
        row("a FIFO", "fifo", "No such device or address");
        row("the opened item", "item", opened);
        row("a link to the opened item", "link", opened);
        row("read-only volume", "volume/report.text", "Read-only file system");
        row("full volume", "volume/report.text", "No space left on device");
    }
    void writeFailures()
    {
        QFETCH(QString, where);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        fixtures::writeFile(dir.filePath("file"), "f");
        QVERIFY(QDir(dir.path()).mkdir("folder"));
        fixtures::makeFifo(dir.filePath("fifo"));
        fixtures::writeFile(dir.filePath("item"), "the user's own file");
        fixtures::makeSymlink(dir.filePath("item"), dir.filePath("link"));
        std::optional<fixtures::ScratchMount> mount;
        QByteArray report = "\u274C Couldn't tag /x\n";
        if (where.startsWith("volume/")) {
            mount.emplace(dir.filePath("volume"));
            if (!mount->valid())
                QSKIP(qPrintable(mount->reason()));
            if (reason.startsWith("Read-only") && !mount->makeReadOnly())
                QSKIP(qPrintable(mount->reason()));
            if (reason.startsWith("No space"))
                report = QByteArray(9 * 1024 * 1024, 'x'); // more than the 8 MiB volume holds
        }
        const QString path = dir.filePath(where);
        QCOMPARE(ReportFile::write(path, report, dir.filePath("item")),
            QStringLiteral("The report could not be written to %1: %2.").arg(path, reason));
        QCOMPARE(contentsOf(dir.filePath("item")), QByteArray("the user's own file"));
    }
};

QTEST_MAIN(TestReportView)
#include "tst_reportview.moc"
