// The update check against a loopback server, told by the log of its signals; the manifest reader fuzzed.

#include "cannedhttpserver.h"
#include "manifestfixtures.h"
#include "update/updatecheck.h"
#include "update/updatemanifest.h"

#include <QRandomGenerator>
#include <QSettings>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <functional>
#include <thread>

using namespace orvane;
using namespace manifests;
using Log = QStringList; // "own", "offer <listed> <running> <download>", "failed <message>", "finished"
using Start = std::function<void(UpdateCheck&, Log&)>; // starts a check, and may add to the log

namespace {

const QByteArray base = "https://dl.example.com/";
const auto urlOf = [](const QByteArray& version) -> QByteArray { return base + "orvane-" + version + ".tar.xz"; };
const auto own = [](const QByteArray& version) { return entry("Orvane", version, urlOf(version)); };
const auto ownAt = [](const QByteArray& url) { return entry("Orvane", "1.1", url); };

// What a check signals that offers the given versions to 1.0.0, downloaded from download or their urlOf.
Log offers(const QByteArrayList& versions, const QByteArray& download = {})
{
    Log log { "own" };
    for (const QByteArray& version : versions)
        log << QString::fromLatin1("offer " + version + " 1.0.0 " + (download.isNull() ? urlOf(version) : download));
    return log << "finished";
}

const Log offered = offers({ "1.1" });
const Log refused { "failed Error in update Property List.", "finished" };
const Log silent { "finished" };
const Log noVersion { "failed Can't check for updates:\nNo app version string found.", "finished" };

// A manifest offering 1.1, padded in another application's Version to size bytes (0: unpadded).
QByteArray offering(qsizetype size = 0)
{
    const auto build = [](qsizetype padding) { return xml({ entry("Kelmor", QByteArray(padding, 'x')), own("1.1") }); };
    return build(size == 0 ? 0 : size - build(0).size());
}

} // namespace

class TestUpdateCheck : public QObject
{
    Q_OBJECT

private slots:
    // Unless the environment says otherwise (response_data has it do so) the addresses are https: TLS is needed.
    void httpsByDefault()
    {
        QCOMPARE(UpdateCheck::manifestAddress().scheme(), QStringLiteral("https"));
        QVERIFY(UpdateCheck::downloadBaseAddress().startsWith(QLatin1String("https://")));
        QVERIFY2(QSslSocket::supportsSsl(), "no TLS back-end for Qt Network");
    }

    // Each row serves its response under a path of its own. A failed response is dropped without a word.
    void response_data()
    {
        QTest::addColumn<QUrl>("address"); // empty: the addresses in the environment
        QTest::addColumn<Log>("log");
        int rows = 0;
        const auto serve = [&](const QByteArray& name, const CannedHttpServer::Response& response, const Log& log) {
            m_server.serve('/' + QByteArray::number(++rows), response);
            QTest::newRow(name.constData()) << m_server.url('/' + QByteArray::number(rows)) << log;
        };
        const auto both = [&](const char* name, const QByteArray& manifest, const Log& log) {
            serve("xml: " + QByteArray(name), { 200, "text/xml", manifest }, log);
            serve("binary: " + QByteArray(name), { 200, "text/xml", manifests::toBinary(manifest) }, log);
        };
        both("running version listed", xml({ own("1.0.0") }), offers({}));
        both("other keys ignored", xml({ own("1.1").replace("<dict>", "<dict><key>Notes</key><array/>") }), offered);
        both("lower version", xml({ own("0.9") }), offers({ "0.9" }));
        both("1.0 against 1.0.0", xml({ own("1.0") }), offers({ "1.0" }));
        both("one per entry", xml({ own("1.1"), entry("K"), own("1.0.0"), own("1.2") }), offers({ "1.1", "1.2" }));
        both("other applications only", xml({ entry("Kelmor", "1.1", urlOf("1.1")), entry("orvane") }), silent);
        both("download outside the base", xml({ ownAt("https://dl.example.com.evil.example/") }), offers({}));
        both("download merely containing the base", xml({ ownAt("https://evil.example/?" + base) }), offers({}));
        both("root a dictionary", xml({ "<key>AppName</key><string>Orvane</string>" }, "dict"), refused);
        both("entry not a dictionary", xml({ own("1.1"), "<string>x</string>" }), refused);
        both("entry without AppName", xml({ entry({}, "1.1", urlOf("1.1")) }), refused);
        both("own entry without Version", xml({ entry("Orvane", {}, urlOf("1.1")) }), refused);
        both("own entry without URL", xml({ entry("Orvane", "1.1") }), refused);
        both("Version not a string", xml({ own("1.1").replace("<string>1.1</string>", "<real>1.1</real>") }), refused);
        both("URL not valid", xml({ ownAt(base + "a b") }), refused);
        both("malformed entry after an offering one", xml({ own("1.1"), entry("Orvane", "1.2") }), refused);
        both("empty array", xml({}), { "failed Update Property List has no entries.", "finished" });
        serve("not a property list", { 200, "text/xml", "<html>Orvane 1.1</html>" }, refused);
        serve("empty body", { 200, "text/xml", "" }, refused);
        serve("binary cut short", { 200, "text/xml", manifests::toBinary(offering()).chopped(8) }, refused);
        serve("text/plain with charset", { 200, "text/plain; charset=utf-8", offering() }, offered);
        serve("1 MiB, no length", { 200, "text/xml", offering(1 << 20), false }, offered);
        serve("304", { 304, "text/xml", offering() }, silent);
        serve("application/xml", { 200, "application/xml", offering() }, silent);
        serve("no media type", { 200, std::nullopt, offering() }, silent);
        serve("1 MiB + 1", { 200, "text/xml", offering((1 << 20) + 1) }, silent);
        serve("1 MiB + 1, no length", { 200, "text/xml", offering((1 << 20) + 1), false }, silent);
        QTest::newRow("connection refused") << QUrl(QStringLiteral("http://127.0.0.1:1/")) << silent;
        QTest::newRow("not HTTP") << QUrl::fromEncoded("data:text/xml;base64," + offering().toBase64()) << silent;
        // The download base gets its final slash, or a longer path would pass for one below it.
        const QByteArray downloads = m_server.url("/downloads").toEncoded();
        m_server.serve("/env", { 200, "text/xml", xml({ ownAt(downloads + "/1.1"), ownAt(downloads + "x/") }) });
        qputenv("ORVANE_UPDATE_MANIFEST_URL", m_server.url("/env").toEncoded());
        qputenv("ORVANE_DOWNLOAD_BASE_URL", downloads);
        QTest::newRow("addresses from the environment") << QUrl() << offers({ "1.1" }, downloads + "/1.1");
    }

    void response()
    {
        QFETCH(QUrl, address);
        QFETCH(Log, log);
        QCOMPARE(logOf({ nullptr, {}, {}, address, address.isEmpty() ? QString() : QString::fromLatin1(base) }), log);
    }

    // The settings are stored as text, as the file gives them back; each reading of the clock adds a second.
    void schedule_data()
    {
        QTest::addColumn<QString>("given"); // noUpdateCheck, updateCheckInt, dateLastUpdateCheck ("-": none), version
        QTest::addColumn<Log>("log");
        QTest::addColumn<QString>("written");
        QTest::newRow("first launch") << QString("- - - 1.0.0") << offered << QString("false 43200 100001");
        QTest::newRow("exactly the interval") << QString("- - 56800 1.0.0") << Log() << QString("false 43200 56800");
        QTest::newRow("0.5 as 43200") << QString("- 0.5 99900 1.0.0") << Log() << QString("false 43200 99900");
        QTest::newRow("60 seconds, 61 later") << QString("- 60 99939 1.0.0") << offered << QString("false 60 100001");
        QTest::newRow("switched off") << QString("true - 5 1.0.0") << Log() << QString("true 43200 5");
        QTest::newRow("no version string, date stored")
            << QString("- - -") << noVersion << QString("false 43200 100001");
    }

    void schedule()
    {
        QFETCH(QString, given);
        QFETCH(Log, log);
        QFETCH(QString, written);
        const char* const keys[] = { "noUpdateCheck", "updateCheckInt", "dateLastUpdateCheck" };
        const QStringList values = given.split(' ');
        QSettings settings(m_dir.filePath(QString::fromLatin1(QTest::currentDataTag())), QSettings::IniFormat);
        for (int i = 0; i < 3; ++i)
            if (values[i] != QLatin1String("-"))
                settings.setValue(keys[i], values[i]);
        m_server.serve("/scheduled", { 200, "text/xml", offering() });
        const auto schedule = [](UpdateCheck& check, Log&) { check.scheduleUpdateCheck(); };
        const UpdateCheckHooks hooks { &settings, {}, {}, m_server.url("/scheduled"), QString::fromLatin1(base) };
        QCOMPARE(logOf(hooks, schedule, values.value(3)), log);
        const QSettings after(settings.fileName(), QSettings::IniFormat);
        const auto found = [&after](const char* key) { return after.value(key).toString(); };
        QCOMPARE(found(keys[0]) + ' ' + found(keys[1]) + ' ' + found(keys[2]), written);
    }

    // The response may be handed in from another thread; the manifest is processed later, on the check's own.
    void handOverFromAnotherThread()
    {
        const Log log = logOf({ nullptr, {}, {}, {}, QString::fromLatin1(base) }, [](UpdateCheck& c, Log& log) {
            std::thread([&c] {
                c.handleUpdateResponse(
                    offering(), UpdateResponse { true, 200, "text/xml" }, QNetworkReply::NoError, "1.0.0");
            }).join();
            log << "handed over";
        });
        QCOMPARE(log, Log { "handed over" } + offered);
    }

    // Random bytes behind libplist's heads, and manifests with 1 to 4 edits reaching both outcomes: no crash.
    void manifestReader()
    {
        const QByteArray notes = "<dict><key>N</key><array><integer>4</integer><data>AAEC</data><true/>"
                                 "<date>2024-01-01T00:00:00Z</date></array>";
        const QByteArray manifest =
            xml({ entry("Kelmor", "3.0", base), own("1.1"), own("1.2").replace("<dict>", notes) });
        for (const QByteArray& seed : { QByteArray(), manifest, toBinary(manifest) }) {
            QRandomGenerator random(20240601);
            const auto any = [&random](qsizetype below) { return int(random.bounded(int(below))); };
            static const QByteArray heads[] = { "", "bplist00", "<?xml version=\"1.0\"?><plist><array>" };
            int outcomes[2] = {}; // refused, accepted
            for (int i = 0; i < 20000; ++i) {
                QByteArray input = seed.isEmpty() ? QByteArray(any(600), Qt::Uninitialized) : seed;
                random.generate(seed.isEmpty() ? input.begin() : input.end(), input.end()); // the random bytes
                input.prepend(seed.isEmpty() ? heads[any(3)] : QByteArray());
                for (int n = seed.isEmpty() ? 0 : 1 + any(4); n > 0 && !input.isEmpty(); --n) {
                    const int at = any(input.size()), cut = any(5) ? any(9) : int(input.size());
                    input.replace(
                        at, cut, any(2) ? input.mid(any(input.size()), any(33)) : QByteArray(1, char(any(256))));
                }
                const ParsedManifest parsed = parseManifest(input);
                ++outcomes[parsed.error == ManifestError::None];
                QCOMPARE(parsed.entries.isEmpty(), parsed.error != ManifestError::None);
                for (const ManifestEntry& item : parsed.entries) {
                    const QUrl url(item.url, QUrl::StrictMode);
                    QVERIFY(item.appName == QLatin1String("Orvane") ? url.isValid() && !url.isRelative()
                                                                    : item.url.isEmpty() && item.version.isEmpty());
                }
            }
            QVERIFY(seed.isEmpty() || (outcomes[0] > 0 && outcomes[1] > 0));
        }
    }

private:
    // Starts a check (the clock at 100000); its signals up to its end, marked when off the check's thread.
    static Log logOf(UpdateCheckHooks hooks, const Start& start = {}, const QString& version = "1.0.0")
    {
        hooks.clock = [time = 100000.0]() mutable { return time++; };
        hooks.runningVersion = [version] { return version; };
        Log log;
        UpdateCheck check(hooks);
        const auto note = [&](const QString& what) {
            log << what + QLatin1String(QThread::currentThread() == check.thread() ? "" : " elsewhere");
        };
        connect(&check, &UpdateCheck::ownEntryFound, [note] { note("own"); });
        connect(&check, &UpdateCheck::updateOffered, [note](const QString& v, const QString& r, const QUrl& url) {
            note("offer " + v + ' ' + r + ' ' + url.toString());
        });
        connect(&check, &UpdateCheck::updateCheckFailed, [note](const QString& text) { note("failed " + text); });
        connect(&check, &UpdateCheck::updateCheckFinished, [note] { note("finished"); });
        start ? start(check, log) : check.checkForUpdate();
        static_cast<void>(QTest::qWaitFor([&] { return log.contains("finished"); }, check.isChecking() ? 20000 : 100));
        return log;
    }

    QTemporaryDir m_dir;
    CannedHttpServer m_server;
};

QTEST_GUILESS_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
