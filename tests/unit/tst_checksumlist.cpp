#include "operations/checksumlist.h"
#include "operations/jsonline.h"

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
        QTest::newRow("upper case") << hex.toUpper() + "  f" << QByteArray("f");
        QTest::newRow("backslash, no escape") << hex + "  a\\nb" << QByteArray("a\\nb");
        QTest::newRow("BSD, \") = \" in the name") << "SHA256 (a) = b) = " + hex << QByteArray("a) = b");
        QTest::newRow("not hex") << "g" + hex.mid(1) + "  f" << QByteArray();
        QTest::newRow("lone backslash") << "\\" + hex + "  a\\" << QByteArray();
        QTest::newRow("no name") << hex + "  " << QByteArray();
        QTest::newRow("BSD, no name") << "SHA256 () = " + hex << QByteArray();
    }
    void parsesBothForms()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, path);
        const ListEntry entry = parseChecksumLine(line.toStdString(), 1);
        QCOMPARE(entry.wellFormed, !path.isEmpty());
        if (!path.isEmpty())
            QVERIFY(entry.path == path.toStdString() && hexDigest(entry.digest) == hex.toStdString());
    }

    // Escapes, and invalid UTF-8 shown as U+FFFD with the exact bytes beside it.
    void jsonKeepsPathBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("escapes") << QByteArray("\"\\\n\t\x01\x7f/") << QByteArray(R"(\"\\\n\t\u0001\u007f/)");
        QTest::newRow("UTF-8") << QByteArray("caf\xC3\xA9 \xF0\x9F\x98\x80")
                               << QByteArray("caf\xC3\xA9 \xF0\x9F\x98\x80");
        QTest::newRow("overlong") << QByteArray("\xC0\xAF") << QByteArray("\uFFFD\uFFFD");
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << QByteArray("\uFFFD\uFFFD\uFFFD");
        QTest::newRow("cut short") << QByteArray("\xE2\x82") << QByteArray("\uFFFD\uFFFD");
    }
    void jsonKeepsPathBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, text);
        const QByteArray base64 = text.contains("\uFFFD") ? ",\"p_base64\":\"" + bytes.toBase64() + "\"" : "";
        QCOMPARE(JsonLine().path("p", bytes.toStdString()).finish(),
            ("{\"p\":\"" + text + "\"" + base64 + "}\n").toStdString());
    }
};

QTEST_GUILESS_MAIN(TestChecksumList)
#include "tst_checksumlist.moc"
