// The digest attribute: its exact name on Linux, raw values of any length, the error text of every failing
// call, links followed, and failed writes that leave the old value in place.

#include "fixtures.h"
#include "integrity/tagstore.h"

#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <thread>

using namespace orvane;
using fixtures::attribute;
using fixtures::local;
using fixtures::writeFile;

namespace {

Digest digestFrom(const QByteArray& bytes)
{
    Digest digest {};
    std::copy_n(bytes.constData(), digest.size(), digest.begin());
    return digest;
}

QByteArray asQBytes(const Bytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

Bytes asBytes(const QByteArray& bytes)
{
    return Bytes(bytes.begin(), bytes.end());
}

// The error a call threw, as code and text; code 0 when nothing was thrown.
template <typename Call> std::pair<int, QString> errorOf(Call call)
{
    try {
        call();
    } catch (const AttributeError& error) {
        return { error.code(), QString::fromStdString(error.description()) };
    }
    return { 0, {} };
}

} // namespace

class TestTagStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        if (!fixtures::supportsUserAttributes(m_dir.path()))
            QSKIP("the temporary folder's file system takes no user.* attributes");
    }

    void nameOnLinux()
    {
        QCOMPARE(platformAttributeName(theXattrName), std::string("user.co.sablewickfern.kelmor.hash#S"));
        const QString path = m_dir.filePath("named");
        writeFile(path, "x");
        writeDigestAttribute(local(path), Bytes(32, 0xab), theXattrName);
        QCOMPARE(fixtures::attributeNames(path), QStringList { "user.co.sablewickfern.kelmor.hash#S" });
        QCOMPARE(*attribute(path), QByteArray(32, char(0xab)));
    }

    void missingAttributeThrows()
    {
        const QString path = m_dir.filePath("untagged");
        writeFile(path, "x");
        const auto [code, text] = errorOf([&] { (void)readDigestAttribute(local(path), theXattrName); });
        QCOMPARE(code, ENODATA);
        QCOMPARE(text, QStringLiteral("No data available"));
    }

    void missingFileThrows()
    {
        const auto [code, text] =
            errorOf([&] { (void)readDigestAttribute(local(m_dir.filePath("gone")), theXattrName); });
        QCOMPARE(code, ENOENT);
        QCOMPARE(text, QStringLiteral("No such file or directory"));
    }

    void valuesOfAnyLengthComeBackWhole_data()
    {
        QTest::addColumn<int>("length");
        for (int length : { 0, 1, 31, 32, 33, 64, 1000 })
            QTest::addRow("%d bytes", length) << length;
    }
    void valuesOfAnyLengthComeBackWhole()
    {
        QFETCH(int, length);
        const QString path = m_dir.filePath("len");
        writeFile(path, "x");
        const QByteArray value = fixtures::patternBytes(length, quint32(length) + 9);
        QVERIFY(fixtures::setAttribute(path, value));
        QCOMPARE(asQBytes(readDigestAttribute(local(path), theXattrName)), value);
    }

    void writingTwiceKeepsTheSecondValue()
    {
        const QString path = m_dir.filePath("twice");
        writeFile(path, "x");
        writeDigestAttribute(local(path), Bytes(32, 1), theXattrName);
        writeDigestAttribute(local(path), Bytes(32, 2), theXattrName);
        QCOMPARE(*attribute(path), QByteArray(32, char(2)));
        QCOMPARE(fixtures::attributeNames(path).size(), 1);
    }

    void comparison()
    {
        const QByteArray digestBytes = fixtures::sha256("contents");
        const Digest digest = digestFrom(digestBytes);
        QVERIFY(digestsEqual(asBytes(digestBytes), digest));
        QVERIFY(!digestsEqual(asBytes(digestBytes.toHex()), digest)); // the 64-character hex form
        QVERIFY(!digestsEqual(asBytes(digestBytes.left(31)), digest));
        QVERIFY(!digestsEqual(asBytes(digestBytes + '\0'), digest)); // a trailing terminator is a difference
        QVERIFY(!digestsEqual({}, digest));
        QByteArray flipped = digestBytes;
        flipped[31] = char(flipped[31] ^ 1);
        QVERIFY(!digestsEqual(asBytes(flipped), digest));
    }

    void linkIsFollowed()
    {
        const QString target = m_dir.filePath("target");
        const QString link = m_dir.filePath("link");
        writeFile(target, "x");
        fixtures::makeSymlink(target, link);
        writeDigestAttribute(local(link), Bytes(32, 7), theXattrName);
        QCOMPARE(*attribute(target), QByteArray(32, char(7)));
        QCOMPARE(asQBytes(readDigestAttribute(local(link), theXattrName)), QByteArray(32, char(7)));
    }

    // /proc takes no user attributes: both primitives fail with the platform's own message.
    void fileSystemWithoutUserAttributes()
    {
        if (!QFile::exists("/proc/version"))
            QSKIP("no /proc on this machine");
        const auto written = errorOf([] { writeDigestAttribute("/proc/version", Bytes(32, 0), theXattrName); });
        QCOMPARE(written.first, EOPNOTSUPP);
        QCOMPARE(written.second, QStringLiteral("Operation not supported"));
        const auto read = errorOf([] { (void)readDigestAttribute("/proc/version", theXattrName); });
        QVERIFY(read.first == EOPNOTSUPP || read.first == ENODATA);
    }

    void readOnlyMountRefusesAndKeepsTheOldValue()
    {
        fixtures::ScratchMount mount(m_dir.filePath("ro"));
        if (!mount.valid())
            QSKIP(qPrintable(mount.reason()));
        const QString path = m_dir.filePath("ro/file");
        writeFile(path, "x");
        QVERIFY(fixtures::setAttribute(path, "old"));
        if (!mount.makeReadOnly())
            QSKIP(qPrintable(mount.reason()));
        const auto [code, text] = errorOf([&] { writeDigestAttribute(local(path), Bytes(32, 1), theXattrName); });
        QCOMPARE(code, EROFS);
        QCOMPARE(text, QStringLiteral("Read-only file system"));
        QCOMPARE(*attribute(path), QByteArray("old"));
    }

    void immutableFileRefusesAndKeepsTheOldValue()
    {
        const QString path = m_dir.filePath("immutable");
        writeFile(path, "x");
        QVERIFY(fixtures::setAttribute(path, "old"));
        fixtures::ImmutableFlag immutable(path);
        if (!immutable.valid())
            QSKIP("chattr +i is not possible here (needs root on ext4, xfs or btrfs)");
        const auto [code, text] = errorOf([&] { writeDigestAttribute(local(path), Bytes(32, 1), theXattrName); });
        QCOMPARE(code, EPERM);
        QCOMPARE(text, QStringLiteral("Operation not permitted"));
        QCOMPARE(*attribute(path), QByteArray("old"));
    }

    // While another thread keeps switching the value between 64 and 32 bytes, every read returns one of the
    // two values whole or throws ERANGE; it never pads a shrunken value with zero bytes.
    void valueChangingDuringRead()
    {
        const QString path = m_dir.filePath("racing");
        writeFile(path, "x");
        const QByteArray longValue(64, 'L');
        const QByteArray shortValue(32, 'S');
        QVERIFY(fixtures::setAttribute(path, longValue));
        std::atomic<bool> stop { false };
        std::thread writer([&] {
            for (int i = 0; !stop; ++i)
                fixtures::setAttribute(path, i % 2 ? shortValue : longValue);
        });
        int grewErrors = 0;
        bool clean = true;
        for (int i = 0; i < 20000 && clean; ++i) {
            try {
                const QByteArray value = asQBytes(readDigestAttribute(local(path), theXattrName));
                clean = value == longValue || value == shortValue;
            } catch (const AttributeError& error) {
                clean = error.code() == ERANGE;
                ++grewErrors;
            }
        }
        stop = true;
        writer.join();
        QVERIFY2(clean, "a read returned a value that was never stored");
        qDebug() << grewErrors << "reads met a value that grew meanwhile";
    }

private:
    QTemporaryDir m_dir;
};

QTEST_APPLESS_MAIN(TestTagStore)
#include "tst_tagstore.moc"
