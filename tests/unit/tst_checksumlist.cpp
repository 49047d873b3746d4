#include "operations/checksumlist.h"
#include "operations/jsonline.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace orvane;

namespace {

const QByteArray hex = QByteArray("0123456789abcdef").repeated(4);

} // namespace

class TestChecksumList : public QObject
{
    Q_OBJECT

private slots:
    void parsesBothForms_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("path"); // empty: not well formed
        QTest::newRow("GNU") << hex + "  a b" << QByteArray("a b");
        QTest::newRow("binary mode") << hex + " *f" << QByteArray("f");
        QTest::newRow("upper case") << hex.toUpper() + "  f" << QByteArray("f");
        QTest::newRow("escaped") << "\\" + hex + "  a\\nb\\\\c\\rd" << QByteArray("a\nb\\c\rd");
        QTest::newRow("backslash, no escape") << hex + "  a\\nb" << QByteArray("a\\nb");
        QTest::newRow("BSD") << "SHA256 (a) = b) = " + hex << QByteArray("a) = b");
        QTest::newRow("BSD escaped") << "\\SHA256 (a\\nb) = " + hex << QByteArray("a\nb");
        QTest::newRow("one space") << hex + " f" << QByteArray();
        QTest::newRow("short digest") << hex.left(62) + "  f" << QByteArray();
        QTest::newRow("not hex") << "g" + hex.mid(1) + "  f" << QByteArray();
        QTest::newRow("unknown escape") << "\\" + hex + "  a\\tb" << QByteArray();
        QTest::newRow("lone backslash") << "\\" + hex + "  a\\" << QByteArray();
        QTest::newRow("no name") << hex + "  " << QByteArray();
        QTest::newRow("SHA1") << "SHA1 (f) = " + hex << QByteArray();
        QTest::newRow("BSD, no name") << "SHA256 () = " + hex << QByteArray();
    }
    void parsesBothForms()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, path);
        const std::vector<ListEntry> entries = parseChecksumList(line.toStdString());
        QCOMPARE(entries.size(), 1u);
        QCOMPARE(entries[0].wellFormed, !path.isEmpty());
        if (!path.isEmpty())
            QVERIFY(entries[0].path == path.toStdString() && hexDigest(entries[0].digest) == hex.toStdString());
    }

    // What checksumLine writes reads back as the same path and digest, in both forms.
    void linesReadBack()
    {
        Digest digest;
        for (std::size_t i = 0; i < digest.size(); ++i)
            digest[i] = static_cast<unsigned char>(i * 7 + 1);
        for (const std::string path : { "a b", "n\nl", "b\\s", "c\rr", "\\", "SHA256 (x) = y" }) {
            for (const bool bsd : { false, true }) {
                const std::vector<ListEntry> back = parseChecksumList(checksumLine(path, digest, bsd));
                QVERIFY(back.size() == 1 && back[0].wellFormed && back[0].path == path && back[0].digest == digest);
            }
        }
    }

    void jsonKeepsPathBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("escapes") << QByteArray("\"\\\n\t\x01\x7f/") << QByteArray(R"(\"\\\n\t\u0001\u007f/)");
        QTest::newRow("UTF-8") << QByteArray("caf\xC3\xA9 \xF0\x9F\x98\x80")
                               << QByteArray("caf\xC3\xA9 \xF0\x9F\x98\x80");
        QTest::newRow("stray byte") << QByteArray("a\xFF") << QByteArray("a\uFFFD");
        QTest::newRow("overlong") << QByteArray("\xC0\xAF") << QByteArray("\uFFFD\uFFFD");
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << QByteArray("\uFFFD\uFFFD\uFFFD");
        QTest::newRow("cut short") << QByteArray("\xE2\x82") << QByteArray("\uFFFD\uFFFD");
    }
    void jsonKeepsPathBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, text);
        const std::string line = JsonLine().path("path", bytes.toStdString()).flag("ok", true).finish();
        QVERIFY(line.rfind("{\"path\":\"" + text.toStdString() + "\"", 0) == 0 && line.back() == '\n');
        const QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        QCOMPARE(object["ok"], true);
        const bool valid = !text.contains("\uFFFD");
        QCOMPARE(object.contains("path_base64"), !valid);
        QCOMPARE(valid ? object["path"].toString().toUtf8()
                       : QByteArray::fromBase64(object["path_base64"].toString().toLatin1()),
            bytes);
    }
};

QTEST_GUILESS_MAIN(TestChecksumList)
#include "tst_checksumlist.moc"
