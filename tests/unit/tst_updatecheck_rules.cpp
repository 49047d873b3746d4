// The update check's pure rules as tables: the manifest reader (XML and binary forms), the download-address
// rule, the media type of a response and the addresses' environment overrides. The schedule and the
// response filter are tested end to end, against a server (tst_updatecheck).

#include "manifestfixtures.h"
#include "update/updatecheck.h"
#include "update/updatemanifest.h"

#include <QTest>

using namespace orvane;
using manifests::entry;

Q_DECLARE_METATYPE(orvane::ManifestError)

namespace {

const QByteArray base = "https://dl.example.com/";
const QByteArray orvaneUrl = base + "orvane-1.1.tar.xz";

ManifestEntry own(const QString& version, const QString& url)
{
    return ManifestEntry { QStringLiteral("Orvane"), version, url };
}

ManifestEntry other(const QString& name)
{
    return ManifestEntry { name, {}, {} };
}

} // namespace

class TestUpdateCheckRules : public QObject
{
    Q_OBJECT

private slots:
    void parseManifest_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<ManifestError>("error");
        QTest::addColumn<QList<ManifestEntry>>("entries");

        const ManifestError none = ManifestError::None;
        const ManifestError bad = ManifestError::NotAPropertyList;
        // Each property list row runs in both forms: as written and converted to binary by libplist.
        const auto add =
            [](const char* name, const QByteArray& xml, ManifestError error, QList<ManifestEntry> entries) {
                QTest::addRow("xml: %s", name) << xml << error << entries;
                const QByteArray binary = manifests::toBinary(xml);
                if (!binary.isEmpty())
                    QTest::addRow("binary: %s", name) << binary << error << entries;
            };

        add("own entry", manifests::xml({ entry("Orvane", "1.1", orvaneUrl) }), none, { own("1.1", orvaneUrl) });
        add("order kept, other apps' Version and URL unread",
            manifests::xml({ entry("Kelmor"),
                entry("Orvane", "2.0", orvaneUrl),
                "<dict><key>AppName</key><string>Other</string><key>Version</key><integer>3</integer></dict>",
                entry("Orvane", "0.9", base) }),
            none,
            { other("Kelmor"), own("2.0", orvaneUrl), other("Other"), own("0.9", base) });
        add("extra keys ignored",
            manifests::xml({ "<dict><key>Notes</key><array/><key>AppName</key><string>Orvane</string>"
                             "<key>Version</key><string>1.0</string><key>URL</key><string>"
                + orvaneUrl + "</string></dict>" }),
            none,
            { own("1.0", orvaneUrl) });
        add("AppName only close to Orvane",
            manifests::xml({ entry("orvane"), entry("Orvane ") }),
            none,
            { other("orvane"), other("Orvane ") });
        add("empty array", manifests::xml({}), ManifestError::NoEntries, {});
        add("root a dictionary", manifests::xmlWithRoot(entry("Orvane", "1.1", orvaneUrl)), bad, {});
        add("entry not a dictionary",
            manifests::xml({ entry("Orvane", "1.1", orvaneUrl), "<string>x</string>" }),
            bad,
            {});
        add("entry without AppName", manifests::xml({ entry({}, "1.1", orvaneUrl) }), bad, {});
        add("own entry without Version", manifests::xml({ entry("Orvane", {}, orvaneUrl) }), bad, {});
        add("own entry without URL", manifests::xml({ entry("Orvane", "1.1") }), bad, {});
        add("Version not a string",
            manifests::xml({ "<dict><key>AppName</key><string>Orvane</string><key>Version</key><real>1.1</real>"
                             "<key>URL</key><string>"
                + orvaneUrl + "</string></dict>" }),
            bad,
            {});
        add("URL not a valid address",
            manifests::xml({ entry("Orvane", "1.1", "https://dl.example.com/a b") }),
            bad,
            {});
        add("malformed entry after a good one",
            manifests::xml({ entry("Orvane", "1.1", orvaneUrl), entry("Orvane", "1.2") }),
            bad,
            {});

        QTest::addRow("empty body") << QByteArray() << bad << QList<ManifestEntry>();
        const QByteArray good = manifests::xml({ entry("Orvane", "1.1", orvaneUrl) });
        QTest::addRow("xml cut short") << good.left(good.size() / 2) << bad << QList<ManifestEntry>();
        const QByteArray binary = manifests::toBinary(good);
        QTest::addRow("binary cut short") << binary.left(binary.size() - 8) << bad << QList<ManifestEntry>();
    }

    void parseManifest()
    {
        QFETCH(QByteArray, body);
        QFETCH(ManifestError, error);
        QFETCH(QList<ManifestEntry>, entries);

        const ParsedManifest parsed = orvane::parseManifest(body);
        QCOMPARE(parsed.error, error);
        QCOMPARE(parsed.entries, entries);
    }

    void downloadAddress_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("base");
        QTest::addColumn<bool>("accepted");
        const QString b = QString::fromLatin1(base);
        QTest::newRow("below the base") << b + "orvane/1.1.tar.xz" << b << true;
        QTest::newRow("the base itself") << b << b << true;
        QTest::newRow("base in the query") << "https://elsewhere.example/?" + b << b << false;
        QTest::newRow("base in the path") << "https://elsewhere.example/" + b << b << false;
        QTest::newRow("longer host") << "https://dl.example.com.elsewhere.example/x" << b << false;
        QTest::newRow("plain http") << "http://dl.example.com/x" << b << false;
        QTest::newRow("host case differs") << "https://DL.example.com/x" << b << false;
        QTest::newRow("base without slash") << "https://dl.example.com.elsewhere.example/x"
                                            << "https://dl.example.com" << false;
        QTest::newRow("empty base") << "https://elsewhere.example/"
                                    << "" << false;
    }

    void downloadAddress()
    {
        QFETCH(QString, url);
        QFETCH(QString, base);
        QFETCH(bool, accepted);
        QCOMPARE(isDownloadAddress(url, base), accepted);
    }

    void mediaType_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QString>("mediaType");
        QTest::newRow("bare") << QByteArray("text/xml") << "text/xml";
        QTest::newRow("charset") << QByteArray("text/plain; charset=utf-8") << "text/plain";
        QTest::newRow("no space") << QByteArray("text/xml;charset=UTF-8") << "text/xml";
        QTest::newRow("padded") << QByteArray(" text/xml ") << "text/xml";
        QTest::newRow("case kept") << QByteArray("Text/Xml") << "Text/Xml";
        QTest::newRow("none") << QByteArray() << "";
    }

    void mediaType()
    {
        QFETCH(QByteArray, header);
        QFETCH(QString, mediaType);
        QCOMPARE(UpdateCheck::mediaTypeOf(header), mediaType);
    }

    void addressesFromEnvironment()
    {
        qunsetenv("ORVANE_UPDATE_MANIFEST_URL");
        qunsetenv("ORVANE_DOWNLOAD_BASE_URL");
        QCOMPARE(UpdateCheck::manifestAddress(), QUrl(QStringLiteral(ORVANE_UPDATE_MANIFEST_URL_DEFAULT)));
        QCOMPARE(UpdateCheck::downloadBaseAddress(), QStringLiteral(ORVANE_DOWNLOAD_BASE_URL_DEFAULT));
        QCOMPARE(UpdateCheck::manifestAddress().scheme(), QStringLiteral("https"));
        QVERIFY(UpdateCheck::downloadBaseAddress().startsWith(QStringLiteral("https://")));

        qputenv("ORVANE_UPDATE_MANIFEST_URL", "http://127.0.0.1:8080/update.plist");
        qputenv("ORVANE_DOWNLOAD_BASE_URL", "http://127.0.0.1:8080/downloads");
        QCOMPARE(UpdateCheck::manifestAddress(), QUrl(QStringLiteral("http://127.0.0.1:8080/update.plist")));
        QCOMPARE(UpdateCheck::downloadBaseAddress(), QStringLiteral("http://127.0.0.1:8080/downloads/"));

        qputenv("ORVANE_UPDATE_MANIFEST_URL", "");
        QCOMPARE(UpdateCheck::manifestAddress(), QUrl(QStringLiteral(ORVANE_UPDATE_MANIFEST_URL_DEFAULT)));
        qunsetenv("ORVANE_UPDATE_MANIFEST_URL");
        qunsetenv("ORVANE_DOWNLOAD_BASE_URL");
    }
};

QTEST_APPLESS_MAIN(TestUpdateCheckRules)
#include "tst_updatecheck_rules.moc"
