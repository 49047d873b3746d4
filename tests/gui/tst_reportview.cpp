// The report: one style for all of its text, its characters kept exactly, the font size within its bounds
// and remembered, and the file a report is written to.

#include "fixtures.h"
#include "guifixtures.h"
#include "report/fontsize.h"
#include "report/reportfile.h"
#include "report/reportview.h"
#include "runner/viewcontroller.h"

#include <QFontDatabase>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

using namespace guifixtures;

namespace {

struct Fragment
{
    QString text;
    QTextCharFormat format;
};

QList<Fragment> fragmentsOf(const ReportView& view)
{
    QList<Fragment> fragments;
    for (QTextBlock block = view.document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            fragments.append({ it.fragment().text(), it.fragment().charFormat() });
    return fragments;
}

// Every fragment of the report is in the report style at size points.
void verifyStyle(const ViewController& controller, qreal size)
{
    const QString fixedFamily = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    const QList<Fragment> fragments = fragmentsOf(*child<ReportView>(&controller, "outputTextbox"));
    QVERIFY(!fragments.isEmpty());
    for (const Fragment& fragment : fragments) {
        QCOMPARE(fragment.format.font().family(), fixedFamily);
        QCOMPARE(fragment.format.font().pointSizeF(), size);
        QCOMPARE(fragment.format.foreground().color(),
            child<ReportView>(&controller, "outputTextbox")->palette().color(QPalette::Text));
    }
}

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

} // namespace

class TestReportView : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        useTestSettings();
    }

    void puttingText_data()
    {
        QTest::addColumn<QStringList>("appends");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty append changes nothing") << QStringList { "a\n", "" } << "a\n";
        QTest::newRow("appends join with nothing between") << QStringList { "first", "second\n" } << "firstsecond\n";
        QTest::newRow("marks, tabs and line feeds")
            << QStringList { "\u2705 Digests for /x\n", "\u26A0\uFE0F No digest found for /y\n\t3 had no digest.\n" }
            << "\u2705 Digests for /x\n\u26A0\uFE0F No digest found for /y\n\t3 had no digest.\n";
        QTest::newRow("characters a text document rewrites")
            << QStringList { "a\u00A0b\r\nc\rd\u2028e\u2029f" } << "a\u00A0b\r\nc\rd\u2028e\u2029f";
    }
    void puttingText()
    {
        QFETCH(QStringList, appends);
        QFETCH(QString, expected);
        ViewController controller;
        controller.setReportText(QStringLiteral("replaced by the next call\n"));
        controller.setReportText(QString());
        QCOMPARE(controller.reportText(), QString());
        for (const QString& text : appends)
            controller.appendReportText(text);
        QCOMPARE(controller.reportText(), expected);
        QCOMPARE(
            child<ReportView>(&controller, "outputTextbox")->toPlainText().isEmpty(), expected.isEmpty()); // shown, too
        verifyStyle(controller, 12.0);
    }

    void restylingKeepsEveryCharacter()
    {
        ViewController controller;
        const QString text =
            QStringLiteral("\u274C Digests for /a\u00A0b aren't equal.\n\t1 matched digest correctly\n");
        controller.setReportText(text);
        controller.incFontSize();
        controller.appendReportText(QStringLiteral("tail"));
        QCOMPARE(controller.reportText(), text + QStringLiteral("tail"));
        verifyStyle(controller, 13.0);
    }

    void fontSizeBounds_data()
    {
        QTest::addColumn<int>("steps"); // positive: Bigger, negative: Smaller
        QTest::addColumn<double>("expected");
        QTest::newRow("one bigger") << 1 << 13.0;
        QTest::newRow("48 bigger reach 60") << 48 << 60.0;
        QTest::newRow("49 bigger stay at 60") << 49 << 60.0;
        QTest::newRow("one smaller") << -1 << 11.0;
        QTest::newRow("8 smaller reach 4") << -8 << 4.0;
        QTest::newRow("9 smaller stay at 4") << -9 << 4.0;
    }
    void fontSizeBounds()
    {
        QFETCH(int, steps);
        QFETCH(double, expected);
        ViewController controller;
        QCOMPARE(controller.fontSize(), 12.0);
        controller.setReportText(QStringLiteral("\u2705 Tagged /x\n"));
        for (int i = 0; i < qAbs(steps); ++i) {
            QSettings().remove(FontSize::settingsKey);
            if (steps > 0)
                controller.incFontSize();
            else
                controller.decFontSize();
        }
        QCOMPARE(controller.fontSize(), expected);
        // Stored also by the step that met the bound and left the size as it was.
        QCOMPARE(QSettings().value(QStringLiteral("fontSize")).toDouble(), expected);
        verifyStyle(controller, expected);
    }

    void startingSize_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<double>("expected");
        QTest::newRow("nothing stored") << QVariant() << 12.0;
        QTest::newRow("stored 20") << QVariant(20.0) << 20.0;
        QTest::newRow("smallest") << QVariant(4.0) << 4.0;
        QTest::newRow("largest") << QVariant(60.0) << 60.0;
        QTest::newRow("below the bounds") << QVariant(3.5) << 12.0;
        QTest::newRow("above the bounds") << QVariant(61.0) << 12.0;
        QTest::newRow("not a number") << QVariant(QStringLiteral("large")) << 12.0;
    }
    void startingSize()
    {
        QFETCH(QVariant, stored);
        QFETCH(double, expected);
        if (stored.isValid())
            QSettings().setValue(QStringLiteral("fontSize"), stored);
        ViewController controller;
        QCOMPARE(controller.fontSize(), expected);
        controller.setReportText(QStringLiteral("x"));
        verifyStyle(controller, expected);
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
        QTest::newRow("missing folder") << "missing/report.text"
                                        << "No such file or directory";
        QTest::newRow("below a file") << "file/report.text"
                                      << "Not a directory";
        QTest::newRow("a folder") << "folder"
                                  << "Is a directory";
        QTest::newRow("a FIFO") << "fifo"
                                << "No such device or address";
        QTest::newRow("the opened item") << "item"
                                         << "it is the item this window checks, and Orvane never writes over it";
        QTest::newRow("a link to the opened item")
            << "link"
            << "it is the item this window checks, and Orvane never writes over it";
        QTest::newRow("read-only volume") << "volume/report.text"
                                          << "Read-only file system";
        QTest::newRow("full volume") << "volume/report.text"
                                     << "No space left on device";
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
