// The update check's pure rules as tables: the manifest reader (XML and binary forms), the version and
// download-address rules, the schedule, the response filter and the addresses' environment overrides.

#include "app/updatecheck.h"
#include "app/updatemanifest.h"
#include "manifestfixtures.h"

#include <QDateTime>
#include <QTest>

#include <cmath>
#include <limits>

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
        add("non-ASCII text",
            manifests::xml({ entry("Orvane", "1.1 \xce\xb2", orvaneUrl) }),
            none,
            { own("1.1 β", orvaneUrl) });
        add("AppName only close to Orvane",
            manifests::xml({ entry("orvane"), entry("Orvane ") }),
            none,
            { other("orvane"), other("Orvane ") });
        add("empty array", manifests::xml({}), ManifestError::NoEntries, {});
        add("root a dictionary", manifests::xmlWithRoot(entry("Orvane", "1.1", orvaneUrl)), bad, {});
        add("root a string", manifests::xmlWithRoot("<string>Orvane</string>"), bad, {});
        add("entry not a dictionary",
            manifests::xml({ entry("Orvane", "1.1", orvaneUrl), "<string>x</string>" }),
            bad,
            {});
        add("entry without AppName", manifests::xml({ entry({}, "1.1", orvaneUrl) }), bad, {});
        add("AppName not a string", manifests::xml({ "<dict><key>AppName</key><integer>1</integer></dict>" }), bad, {});
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
        add("URL relative", manifests::xml({ entry("Orvane", "1.1", "orvane.tar.xz") }), bad, {});
        add("malformed entry after a good one",
            manifests::xml({ entry("Orvane", "1.1", orvaneUrl), entry("Orvane", "1.2") }),
            bad,
            {});

        QTest::addRow("empty body") << QByteArray() << bad << QList<ManifestEntry>();
        QTest::addRow("plain text") << QByteArray("Orvane 1.1") << bad << QList<ManifestEntry>();
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

    void errorTexts()
    {
        QCOMPARE(manifestErrorText(ManifestError::NotAPropertyList), QStringLiteral("Error in update Property List."));
        QCOMPARE(manifestErrorText(ManifestError::NoEntries), QStringLiteral("Update Property List has no entries."));
        QCOMPARE(manifestErrorText(ManifestError::None), QString());
    }

    void offersUpdate_data()
    {
        QTest::addColumn<QString>("running");
        QTest::addColumn<QString>("listed");
        QTest::addColumn<bool>("offered");
        QTest::newRow("same") << "1.0.0"
                              << "1.0.0" << false;
        QTest::newRow("higher") << "1.0.0"
                                << "1.1" << true;
        QTest::newRow("lower") << "1.1"
                               << "1.0" << true;
        QTest::newRow("written differently") << "1.0.0"
                                             << "1.0" << true;
        QTest::newRow("case differs") << "1.0b1"
                                      << "1.0B1" << true;
        QTest::newRow("trailing space") << "1.0"
                                        << "1.0 " << true;
    }

    void offersUpdate()
    {
        QFETCH(QString, running);
        QFETCH(QString, listed);
        QFETCH(bool, offered);
        QCOMPARE(orvane::offersUpdate(running, listed), offered);
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

    void schedule_data()
    {
        QTest::addColumn<bool>("noUpdateCheck");
        QTest::addColumn<double>("interval");
        QTest::addColumn<double>("lastCheck");
        QTest::addColumn<bool>("runCheck");
        QTest::addColumn<double>("writtenInterval");
        const double now = 800000000.0;
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("first launch") << false << 0.0 << 0.0 << true << 43200.0;
        QTest::newRow("exactly the interval") << false << 0.0 << now - 43200 << false << 43200.0;
        QTest::newRow("just past the interval") << false << 0.0 << now - 43200.001 << true << 43200.0;
        QTest::newRow("0.5 counts as 12 hours") << false << 0.5 << now - 100 << false << 43200.0;
        QTest::newRow("1.0 is kept") << false << 1.0 << now - 2 << true << 1.0;
        QTest::newRow("negative") << false << -5.0 << now - 100 << false << 43200.0;
        QTest::newRow("not a number") << false << nan << now - 43201 << true << 43200.0;
        QTest::newRow("60 seconds, 61 ago") << false << 60.0 << now - 61 << true << 60.0;
        QTest::newRow("60 seconds, 59 ago") << false << 60.0 << now - 59 << false << 60.0;
        QTest::newRow("switched off") << true << 60.0 << 0.0 << false << 60.0;
        QTest::newRow("last check in the future") << false << 60.0 << now + 1000 << false << 60.0;
    }

    void schedule()
    {
        QFETCH(bool, noUpdateCheck);
        QFETCH(double, interval);
        QFETCH(double, lastCheck);
        QFETCH(bool, runCheck);
        QFETCH(double, writtenInterval);
        const ScheduleDecision decision = UpdateCheck::decideSchedule(noUpdateCheck, interval, lastCheck, 800000000.0);
        QCOMPARE(decision.runCheck, runCheck);
        QCOMPARE(decision.interval, writtenInterval);
    }

    void responseFilter_data()
    {
        QTest::addColumn<bool>("arrived");
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("isHttp");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("mediaType");
        QTest::addColumn<bool>("accepted");
        const int ok = QNetworkReply::NoError;
        QTest::newRow("xml") << true << ok << true << 200 << "text/xml" << true;
        QTest::newRow("plain") << true << ok << true << 200 << "text/plain" << true;
        QTest::newRow("299") << true << ok << true << 299 << "text/xml" << true;
        QTest::newRow("199") << true << ok << true << 199 << "text/xml" << false;
        QTest::newRow("300") << true << ok << true << 300 << "text/xml" << false;
        QTest::newRow("304") << true << ok << true << 304 << "text/xml" << false;
        QTest::newRow("404") << true << ok << true << 404 << "text/xml" << false;
        QTest::newRow("error reported") << true << int(QNetworkReply::RemoteHostClosedError) << true << 200
                                        << "text/xml" << false;
        QTest::newRow("no response") << false << ok << true << 200 << "text/xml" << false;
        QTest::newRow("not HTTP") << true << ok << false << 0 << "text/xml" << false;
        QTest::newRow("application/xml") << true << ok << true << 200 << "application/xml" << false;
        QTest::newRow("upper case") << true << ok << true << 200 << "Text/XML" << false;
        QTest::newRow("no media type") << true << ok << true << 200 << "" << false;
    }

    void responseFilter()
    {
        QFETCH(bool, arrived);
        QFETCH(int, error);
        QFETCH(bool, isHttp);
        QFETCH(int, status);
        QFETCH(QString, mediaType);
        QFETCH(bool, accepted);
        std::optional<UpdateResponse> response;
        if (arrived)
            response = UpdateResponse { isHttp, status, mediaType };
        QCOMPARE(UpdateCheck::acceptsResponse(response, QNetworkReply::NetworkError(error)), accepted);
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

    void referenceDate()
    {
        const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
        const double before = double(reference.msecsTo(QDateTime::currentDateTimeUtc())) / 1000.0;
        const double now = UpdateCheck::secondsSinceReferenceDate();
        const double after = double(reference.msecsTo(QDateTime::currentDateTimeUtc())) / 1000.0;
        QVERIFY2(before <= now && now <= after, qPrintable(QString::number(now, 'f', 3)));
    }
};

QTEST_APPLESS_MAIN(TestUpdateCheckRules)
#include "tst_updatecheck_rules.moc"
