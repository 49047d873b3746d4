// The digest attribute: its exact name on Linux, raw values of any length, the error of every failing
// call, and failed writes that leave the old value in place.

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

// The digest attribute of the file at path, read through an open descriptor, or the failure's reason.
QByteArray read(const QString& path)
{
    const Result<Bytes> value = readDigestAttribute(OpenedFile::open(local(path)).value().descriptor(), theXattrName);
    if (!value)
        return "failed: " + QByteArray::fromStdString(value.failure().reason);
    return QByteArray(reinterpret_cast<const char*>(value.value().data()), qsizetype(value.value().size()));
}

std::optional<Failure> write(const QString& path, unsigned char byte)
{
    return writeDigestAttribute(OpenedFile::open(local(path)).value().descriptor(), Bytes(32, byte), theXattrName);
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

    void writtenUnderItsNameAndReadBack()
    {
        const QString path = m_dir.filePath("named");
        writeFile(path, "x");
        QCOMPARE(read(path), QByteArray("failed: No data available"));
        QVERIFY(!write(path, 1));
        QVERIFY(!write(path, 0xab));
        QCOMPARE(fixtures::attributeNames(path), QStringList { "user.co.sablewickfern.kelmor.hash#S" });
        QCOMPARE(*attribute(path), QByteArray(32, char(0xab)));
    }

    void valuesOfAnyLengthComeBackWhole_data()
    {
        QTest::addColumn<int>("length");
        for (int length : { 0, 1, 31, 32, 33, 64, 65, 1000 })
            QTest::addRow("%d bytes", length) << length;
    }
    void valuesOfAnyLengthComeBackWhole()
    {
        QFETCH(int, length);
        const QString path = m_dir.filePath("len");
        writeFile(path, "x");
        const QByteArray value = fixtures::patternBytes(length, quint32(length) + 9);
        QVERIFY(fixtures::setAttribute(path, value));
        QCOMPARE(read(path), value);
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
        const auto failure = write(path, 1);
        QVERIFY(failure && failure->code == EROFS);
        QCOMPARE(failure->reason, std::string("Read-only file system"));
        QCOMPARE(*attribute(path), QByteArray("old"));
    }

    // While another thread keeps switching the value between 64 and 32 bytes, every read returns one of the
    // two values whole or fails with ERANGE; it never pads a shrunken value with zero bytes.
    void valueChangingDuringRead()
    {
        const QString path = m_dir.filePath("racing");
        writeFile(path, "x");
        const QByteArray longValue(65, 'L');
        const QByteArray shortValue(32, 'S');
        QVERIFY(fixtures::setAttribute(path, longValue));
        std::atomic<bool> stop { false };
        std::thread writer([&] {
            for (int i = 0; !stop; ++i)
                fixtures::setAttribute(path, i % 2 ? shortValue : longValue);
        });
        bool clean = true;
        for (int i = 0; i < 20000 && clean; ++i) {
            const QByteArray value = read(path);
            clean = value == longValue || value == shortValue || value == "failed: Numerical result out of range";
        }
        stop = true;
        writer.join();
        QVERIFY2(clean, "a read returned a value that was never stored");
    }

private:
    QTemporaryDir m_dir;
};

QTEST_APPLESS_MAIN(TestTagStore)
#include "tst_tagstore.moc"
