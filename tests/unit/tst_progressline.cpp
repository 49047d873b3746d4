#include "cli/progressline.h"

#include <QTest>

#include <clocale>

using orvane::RunProgress;

namespace {

// Columns as a terminal shows them, counted apart from the code under test: two for the CJK characters the
// rows use (kana, ideographs, their punctuation), one for anything else, U+FFFD for a bad byte included.
int columns(const QByteArray& line)
{
    int sum = 0;
    for (const uint c : QString::fromUtf8(line).toUcs4())
        sum += (c >= 0x3000 && c <= 0x30FF) || (c >= 0x4E00 && c <= 0x9FFF) ? 2 : 1;
    return sum;
}

} // namespace

class TestProgressLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!std::setlocale(LC_CTYPE, "C.UTF-8"))
            QSKIP("no UTF-8 locale here");
    }

    // The line never takes the terminal's last column or more; a path too long for it is elided in the
    // middle and uses what room is left.
    void fitsTheWidth_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<int>("width");
        const QByteArray cjk = QByteArray("/写真/二〇二四年の旅行").repeated(8) + "/東京.jpg";
        for (int width : { 40, 41, 80 })
            QTest::addRow("CJK, %d columns", width) << cjk << width;
        QTest::newRow("CJK among ASCII") << QByteArray("/photos/写a真b").repeated(12) + "/x.jpg" << 80;
        QTest::newRow("bytes that are no character") << QByteArray("/\xff\xfe").repeated(60) << 80;
        QTest::newRow("room for all") << QByteArray("/写真/東京.jpg") << 80;
    }
    void fitsTheWidth()
    {
        QFETCH(QByteArray, path);
        QFETCH(int, width);
        const QByteArray line = QByteArray::fromStdString(
            ProgressLine::text(RunProgress(), std::chrono::seconds(3), path.toStdString(), width));
        QVERIFY2(columns(line) < width, line.constData());
        QVERIFY2(
            line.endsWith("  " + path) || (line.contains("\u2026") && columns(line) >= width - 3), line.constData());
    }
};

QTEST_APPLESS_MAIN(TestProgressLine)
#include "tst_progressline.moc"
