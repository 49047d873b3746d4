// Generated input for the manifest reader: random bytes and mutated XML and binary manifests, from a fixed
// seed so that a failure repeats. Run under AddressSanitizer in CI: no crash, no leak, and every accepted
// manifest keeps the promises that the update check relies on.

#include "manifestfixtures.h"
#include "update/updatemanifest.h"

#include <QRandomGenerator>
#include <QTest>
#include <QUrl>

using namespace orvane;
using manifests::entry;

namespace {

QByteArray randomBytes(QRandomGenerator& random, qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

// One to four edits: flipped, inserted or removed bytes, a copied stretch, or a cut.
QByteArray mutate(QByteArray bytes, QRandomGenerator& random)
{
    const int edits = 1 + random.bounded(4);
    for (int i = 0; i < edits && !bytes.isEmpty(); ++i) {
        const qsizetype at = random.bounded(int(bytes.size()));
        switch (random.bounded(5)) {
        case 0:
            bytes[at] = char(bytes[at] ^ (1 << random.bounded(8)));
            break;
        case 1:
            bytes.insert(at, char(random.bounded(256)));
            break;
        case 2:
            bytes.remove(at, 1 + random.bounded(8));
            break;
        case 3:
            bytes.insert(at, bytes.mid(random.bounded(int(bytes.size())), 1 + random.bounded(32)));
            break;
        default:
            bytes.truncate(at);
        }
    }
    return bytes;
}

} // namespace

class TestUpdateCheckFuzz : public QObject
{
    Q_OBJECT

private slots:
    void manifestReader_data()
    {
        QTest::addColumn<QByteArray>("seedInput");
        QTest::addColumn<int>("cases");
        const QByteArray xml = manifests::xml({ entry("Kelmor", "3.0", "https://dl.example.com/kelmor"),
            entry("Orvane", "1.1", "https://dl.example.com/orvane-1.1.tar.xz"),
            "<dict><key>AppName</key><string>Orvane</string><key>Version</key><string>1.2</string>"
            "<key>URL</key><string>https://dl.example.com/o</string><key>Size</key><integer>42</integer>"
            "<key>Notes</key><array><data>AAEC</data><date>2024-01-01T00:00:00Z</date><true/></array></dict>" });
        QTest::newRow("random bytes") << QByteArray() << 10000;
        QTest::newRow("mutated xml") << xml << 20000;
        QTest::newRow("mutated binary") << manifests::toBinary(xml) << 20000;
    }

    void manifestReader()
    {
        QFETCH(QByteArray, seedInput);
        QFETCH(int, cases);
        QRandomGenerator random(20240601);
        int accepted = 0;
        int refused = 0;
        for (int i = 0; i < cases; ++i) {
            QByteArray input;
            if (seedInput.isEmpty()) {
                // Random bytes, some behind the magic that sends libplist to its binary or XML reader.
                static const QByteArray heads[] = { "", "bplist00", "<?xml version=\"1.0\"?><plist><array>" };
                input = heads[random.bounded(3)] + randomBytes(random, random.bounded(600));
            } else {
                input = mutate(seedInput, random);
            }
            const ParsedManifest parsed = parseManifest(input);
            if (parsed.error != ManifestError::None) {
                QVERIFY(parsed.entries.isEmpty());
                ++refused;
                continue;
            }
            ++accepted;
            QVERIFY(!parsed.entries.isEmpty());
            for (const ManifestEntry& item : parsed.entries) {
                if (item.appName != QLatin1String("Orvane")) {
                    QVERIFY(item.version.isEmpty() && item.url.isEmpty());
                    continue;
                }
                const QUrl url(item.url, QUrl::StrictMode);
                QVERIFY2(url.isValid() && !url.isRelative(), qPrintable(item.url));
            }
        }
        qInfo("%d accepted, %d refused", accepted, refused);
        // The mutations must reach both outcomes, or the reader was not exercised past its first check.
        if (!seedInput.isEmpty())
            QVERIFY(accepted > 0 && refused > 0);
    }
};

QTEST_APPLESS_MAIN(TestUpdateCheckFuzz)
#include "tst_updatecheck_fuzz.moc"
