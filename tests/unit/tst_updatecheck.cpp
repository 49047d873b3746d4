// The update check end to end: manifests served over HTTP by a server on the loopback interface, a real
// settings file and a clock the test sets; what the check found is what it signals.

#include "cannedhttpserver.h"
#include "manifestfixtures.h"
#include "update/updatecheck.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>

using namespace orvane;
using manifests::entry;

namespace {

const QByteArray base = "https://dl.example.com/";
const QByteArray url11 = base + "orvane-1.1.tar.xz";
const QByteArray url12 = base + "orvane-1.2.tar.xz";
const QString running = QStringLiteral("1.0.0");

// What the check signalled.
struct Outside
{
    QStringList errors;
    QStringList offers; ///< "listed/running" per offer
    QList<QThread*> offeredOn; ///< the thread each offer was signalled on
    QList<QUrl> downloads;
    int ownEntryFound = 0;
};

} // namespace

class TestUpdateCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
    }

    void init()
    {
        m_outside = Outside {};
        // A settings file of its own for every test and row.
        m_settings = std::make_unique<QSettings>(
            m_dir.filePath(QStringLiteral("settings-%1.conf").arg(++m_settingsFiles)), QSettings::IniFormat);
    }

    void manifestOutcome_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<bool>("marked");
        QTest::addColumn<QStringList>("offers");
        QTest::addColumn<QList<QUrl>>("downloads");
        QTest::addColumn<QStringList>("errors");

        const QStringList none;
        const QList<QUrl> noUrl;
        const QUrl u11(QString::fromLatin1(url11));
        const QByteArray xml = "text/xml";
        const QByteArray same = manifests::xml({ entry("Orvane", "1.0.0", url11) });
        const QByteArray newer = manifests::xml({ entry("Kelmor", "9.9", url12), entry("Orvane", "1.1", url11) });
        const QByteArray twoOffers = manifests::xml({ entry("Orvane", "1.1", url11),
            entry("Kelmor"),
            entry("Orvane", "1.0.0", url11),
            entry("Orvane", "1.2", url12) });
        const auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };

        row("xml, running version listed") << same << xml << true << none << noUrl << none;
        row("binary, running version listed") << manifests::toBinary(same) << xml << true << none << noUrl << none;
        row("xml, newer") << newer << xml << true << QStringList { "1.1/1.0.0" } << QList<QUrl> { u11 } << none;
        row("binary, newer, text/plain with charset")
            << manifests::toBinary(newer) << QByteArray("text/plain; charset=utf-8") << true
            << QStringList { "1.1/1.0.0" } << QList<QUrl> { u11 } << none;
        row("lower version offered") << manifests::xml({ entry("Orvane", "0.9", url11) }) << xml << true
                                     << QStringList { "0.9/1.0.0" } << QList<QUrl> { u11 } << none;
        row("1.0 offered to 1.0.0") << manifests::xml({ entry("Orvane", "1.0", url11) }) << xml << true
                                    << QStringList { "1.0/1.0.0" } << QList<QUrl> { u11 } << none;
        row("one offer per offering entry") << twoOffers << xml << true << QStringList { "1.1/1.0.0", "1.2/1.0.0" }
                                            << QList<QUrl> { u11, QUrl(QString::fromLatin1(url12)) } << none;
        row("other applications only") << manifests::xml({ entry("Kelmor", "1.1", url11) }) << xml << false << none
                                       << noUrl << none;
        row("base only inside the address")
            << manifests::xml({ entry("Orvane", "1.1", "https://elsewhere.example/?" + base) }) << xml << true << none
            << noUrl << none;
        row("not a property list") << QByteArray("<html>Orvane 1.1</html>") << xml << false << none << noUrl
                                   << QStringList { "Error in update Property List." };
        row("empty array") << manifests::xml({}) << xml << false << none << noUrl
                           << QStringList { "Update Property List has no entries." };
    }

    void manifestOutcome()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, contentType);
        QFETCH(bool, marked);
        QFETCH(QStringList, offers);
        QFETCH(QList<QUrl>, downloads);
        QFETCH(QStringList, errors);

        m_server.serve("/manifest", CannedHttpServer::Response { 200, contentType, body, true });
        runCheck(m_server.url("/manifest"));
        if (QTest::currentTestFailed())
            return;

        QCOMPARE(m_outside.offers, offers);
        QCOMPARE(m_outside.downloads, downloads);
        QCOMPARE(m_outside.errors, errors);
        QCOMPARE(m_outside.ownEntryFound, marked ? 1 : 0);
    }

    // Every way a response can fail is dropped without a word: the manifest served would otherwise offer an
    // update and mark the menus.
    void droppedResponse_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("contentType"); // null: no Content-Type
        QTest::addColumn<int>("bodySize");
        QTest::addColumn<bool>("announceLength");
        QTest::addColumn<QString>("where"); // empty: the server's manifest

        const int normal = 0;
        QTest::newRow("304") << 304 << QByteArray("text/xml") << normal << true << QString();
        QTest::newRow("application/xml") << 200 << QByteArray("application/xml") << normal << true << QString();
        QTest::newRow("no media type") << 200 << QByteArray() << normal << true << QString();
        QTest::newRow("1 MiB + 1") << 200 << QByteArray("text/xml") << (1 << 20) + 1 << true << QString();
        QTest::newRow("2 MiB, no length") << 200 << QByteArray("text/xml") << (2 << 20) << false << QString();
        QTest::newRow("connection refused") << 200 << QByteArray("text/xml") << normal << true << "refused";
        QTest::newRow("not HTTP") << 200 << QByteArray("text/xml") << normal << true << "file";
    }

    void droppedResponse()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, contentType);
        QFETCH(int, bodySize);
        QFETCH(bool, announceLength);
        QFETCH(QString, where);

        const QByteArray body = offeringManifest(bodySize);
        std::optional<QByteArray> type;
        if (!contentType.isNull())
            type = contentType;
        m_server.serve("/dropped", CannedHttpServer::Response { status, type, body, announceLength });
        QUrl address = m_server.url("/dropped");
        if (where == QLatin1String("refused")) {
            QTcpServer closed; // a port that was just free and is closed again
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            address.setPort(closed.serverPort());
        } else if (where == QLatin1String("file")) {
            address = QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("manifest.plist")));
            QFile file(address.toLocalFile());
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(body) == body.size());
        }
        runCheck(address);
        if (QTest::currentTestFailed())
            return;

        QCOMPARE(m_outside.offers, QStringList());
        QCOMPARE(m_outside.errors, QStringList());
        QCOMPARE(m_outside.ownEntryFound, 0);
    }

    void largestManifestAccepted()
    {
        const QByteArray body = offeringManifest(1 << 20);
        QCOMPARE(body.size(), 1 << 20);
        m_server.serve("/large", CannedHttpServer::Response { 200, QByteArray("text/xml"), body, false });
        runCheck(m_server.url("/large"));
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(m_outside.offers, QStringList { "1.1/1.0.0" });
    }

    void noVersionString()
    {
        m_server.serve("/unasked", CannedHttpServer::Response { 200, QByteArray("text/xml"), offeringManifest(0) });
        const auto check = makeCheck(m_server.url("/unasked"), 800000000.0, QString());
        check->scheduleUpdateCheck();
        QVERIFY(!check->isChecking());
        QCOMPARE(m_outside.errors, QStringList { "Can't check for updates:\nNo app version string found." });
        QCOMPARE(m_server.requestCount("/unasked"), 0);
        // The date is stored even so: the next launch waits a full interval.
        QCOMPARE(QSettings(m_settings->fileName(), QSettings::IniFormat).value("dateLastUpdateCheck").toDouble(),
            800000001.0);
    }

    // Each row starts with the settings file as given (a missing value stays out of the file) and the clock
    // at 800000000; every reading of the clock advances it by one second.
    void schedule_data()
    {
        QTest::addColumn<QVariant>("noUpdateCheck");
        QTest::addColumn<QVariant>("interval");
        QTest::addColumn<QVariant>("lastCheck");
        QTest::addColumn<bool>("checks");
        QTest::addColumn<bool>("writtenNoUpdateCheck");
        QTest::addColumn<double>("writtenInterval");
        QTest::addColumn<double>("writtenLastCheck");

        const double now = 800000000.0;
        const QVariant absent;
        QTest::newRow("first launch") << absent << absent << absent << true << false << 43200.0 << now + 1;
        QTest::newRow("exactly the interval")
            << absent << absent << QVariant(now - 43200) << false << false << 43200.0 << now - 43200;
        QTest::newRow("0.5 written back as 43200")
            << absent << QVariant(0.5) << QVariant(now - 100) << false << false << 43200.0 << now - 100;
        QTest::newRow("60, 61 seconds later")
            << absent << QVariant(60.0) << QVariant(now - 61) << true << false << 60.0 << now + 1;
        QTest::newRow("switched off") << QVariant(true) << absent << QVariant(5.0) << false << true << 43200.0 << 5.0;
        QTest::newRow("as strings in the file")
            << QVariant("false") << QVariant("60") << QVariant("799999000") << true << false << 60.0 << now + 1;
    }

    void schedule()
    {
        QFETCH(QVariant, noUpdateCheck);
        QFETCH(QVariant, interval);
        QFETCH(QVariant, lastCheck);
        QFETCH(bool, checks);
        QFETCH(bool, writtenNoUpdateCheck);
        QFETCH(double, writtenInterval);
        QFETCH(double, writtenLastCheck);

        const auto put = [this](const char* key, const QVariant& value) {
            if (value.isValid())
                m_settings->setValue(QString::fromLatin1(key), value);
        };
        put("noUpdateCheck", noUpdateCheck);
        put("updateCheckInt", interval);
        put("dateLastUpdateCheck", lastCheck);
        m_settings->sync();

        m_server.serve("/scheduled", CannedHttpServer::Response { 200, QByteArray("text/xml"), offeringManifest(0) });
        const auto check = makeCheck(m_server.url("/scheduled"), 800000000.0, running);
        QSignalSpy finished(check.get(), &UpdateCheck::updateCheckFinished);
        check->scheduleUpdateCheck();
        QCOMPARE(check->isChecking(), checks);
        if (checks) {
            QVERIFY(finished.wait());
            QTRY_COMPARE(m_outside.offers, QStringList { "1.1/1.0.0" });
        }
        QCOMPARE(m_server.requestCount("/scheduled"), checks ? 1 : 0);

        const QSettings written(m_settings->fileName(), QSettings::IniFormat);
        QCOMPARE(written.value("noUpdateCheck").toBool(), writtenNoUpdateCheck);
        QVERIFY(written.contains("updateCheckInt"));
        QCOMPARE(written.value("updateCheckInt").toDouble(), writtenInterval);
        QCOMPARE(written.value("dateLastUpdateCheck").toDouble(), writtenLastCheck);
    }

    // The response may be handed in from another thread; the manifest is processed later, on the check's own.
    void handOverFromAnotherThread()
    {
        const auto check = makeCheck(QUrl(), 0, running);
        QThread* worker = QThread::create([&check] {
            check->handleUpdateResponse(offeringManifest(0),
                UpdateResponse { true, 200, QStringLiteral("text/xml") },
                QNetworkReply::NoError,
                QStringLiteral("1.0.0"));
        });
        worker->start();
        QVERIFY(worker->wait());
        delete worker;
        QCOMPARE(m_outside.offers, QStringList());
        QTRY_COMPARE(m_outside.offers, QStringList { "1.1/1.0.0" });
        QCOMPARE(m_outside.offeredOn, QList<QThread*> { QThread::currentThread() });
    }

    // The built-in manifest address is https: without a TLS back-end every check would fail unnoticed.
    void httpsAvailable()
    {
        QCOMPARE(UpdateCheck::manifestAddress().scheme(), QStringLiteral("https"));
        QVERIFY2(QSslSocket::supportsSsl(), "no TLS back-end for Qt Network");
    }

private:
    // A manifest offering 1.1, padded with a note in another application's entry to size bytes (0: unpadded).
    static QByteArray offeringManifest(qsizetype size)
    {
        const auto build = [](qsizetype padding) {
            return manifests::xml({ "<dict><key>AppName</key><string>Kelmor</string><key>Notes</key><string>"
                    + QByteArray(padding, 'x') + "</string></dict>",
                entry("Orvane", "1.1", url11) });
        };
        const QByteArray bare = build(0);
        return size == 0 ? bare : build(size - bare.size());
    }

    std::unique_ptr<UpdateCheck> makeCheck(const QUrl& manifest, double startTime, const QString& version)
    {
        UpdateCheckHooks hooks;
        hooks.settings = m_settings.get();
        hooks.clock = [time = startTime]() mutable { return time++; };
        hooks.runningVersion = [version] { return version; };
        hooks.manifestUrl = manifest;
        hooks.downloadBase = QString::fromLatin1(base);
        auto check = std::make_unique<UpdateCheck>(hooks);
        connect(check.get(), &UpdateCheck::updateCheckFailed, this, [this](const QString& text) {
            m_outside.errors.append(text);
        });
        connect(check.get(),
            &UpdateCheck::updateOffered,
            this,
            [this](const QString& listed, const QString& runningVersion, const QUrl& download) {
                m_outside.offers.append(listed + u'/' + runningVersion);
                m_outside.offeredOn.append(QThread::currentThread());
                m_outside.downloads.append(download);
            });
        connect(check.get(), &UpdateCheck::ownEntryFound, this, [this] { ++m_outside.ownEntryFound; });
        return check;
    }

    // Starts a check against address and waits until it has come to its end.
    void runCheck(const QUrl& address)
    {
        const auto check = makeCheck(address, 1000.0, running);
        QSignalSpy finished(check.get(), &UpdateCheck::updateCheckFinished);
        check->checkForUpdate();
        QVERIFY(check->isChecking());
        QVERIFY(finished.wait());
        QCOMPARE(finished.count(), 1);
        QVERIFY(!check->isChecking());
    }

    QTemporaryDir m_dir;
    CannedHttpServer m_server;
    Outside m_outside;
    std::unique_ptr<QSettings> m_settings;
    int m_settingsFiles = 0;
};

QTEST_GUILESS_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
