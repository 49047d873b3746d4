// The file digest: standard SHA-256 of the whole contents, independent of how reads were split, identical
// between back-ends, and absent (never a digest of part of the file) when the file cannot be read whole.

#include "fixtures.h"
#include "integrity/filedigest.h"

#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <unistd.h>

using namespace orvane;
using fixtures::patternBytes;
using fixtures::sha256;
using fixtures::writeFile;

Q_DECLARE_METATYPE(orvane::Backend)

namespace {

QByteArray asBytes(const Digest& digest)
{
    return QByteArray(reinterpret_cast<const char*>(digest.data()), qsizetype(digest.size()));
}

std::optional<Digest> digestOf(const QString& path, Backend backend, std::int64_t bufferSize = realBufferSize)
{
    FileDigester digester(backend, bufferSize);
    return digester.digest(fixtures::local(path));
}

void addBackendRows()
{
    QTest::addColumn<Backend>("backend");
    QTest::newRow("modern") << Backend::Modern;
    QTest::newRow("classic") << Backend::Classic;
}

} // namespace

class TestFileDigest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
    }

    void knownAnswers_data()
    {
        addBackendRows();
    }
    void knownAnswers()
    {
        QFETCH(Backend, backend);
        writeFile(m_dir.filePath("empty"), {});
        writeFile(m_dir.filePath("abc"), "abc");
        const auto empty = digestOf(m_dir.filePath("empty"), backend);
        const auto abc = digestOf(m_dir.filePath("abc"), backend);
        QVERIFY(empty && abc);
        QCOMPARE(
            asBytes(*empty).toHex(), QByteArray("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"));
        QCOMPARE(asBytes(*abc).toHex(), QByteArray("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    }

    // Lengths around the 512 KiB buffer, and the same file through both back-ends.
    void sizesAroundTheBuffer_data()
    {
        QTest::addColumn<qsizetype>("size");
        for (qsizetype size : { 1, 63, 64, 65, 524287, 524288, 524289, 2 * 524288, 3 * 524288 + 17 })
            QTest::addRow("%lld bytes", static_cast<long long>(size)) << size;
    }
    void sizesAroundTheBuffer()
    {
        QFETCH(qsizetype, size);
        const QByteArray contents = patternBytes(size, quint32(size));
        const QString path = m_dir.filePath("sized");
        writeFile(path, contents);
        const auto modern = digestOf(path, Backend::Modern);
        const auto classic = digestOf(path, Backend::Classic);
        QVERIFY(modern && classic);
        QCOMPARE(asBytes(*modern), sha256(contents));
        QCOMPARE(asBytes(*classic), sha256(contents));
    }

    void independentOfReadSplit_data()
    {
        QTest::addColumn<std::int64_t>("bufferSize");
        for (std::int64_t size : { 1, 63, 64, 65, 4096, 1 << 20 })
            QTest::addRow("buffer %lld", static_cast<long long>(size)) << size;
    }
    void independentOfReadSplit()
    {
        QFETCH(std::int64_t, bufferSize);
        const QByteArray contents = patternBytes((1 << 20) + 1, 7);
        const QString path = m_dir.filePath("split");
        writeFile(path, contents);
        for (Backend backend : { Backend::Modern, Backend::Classic }) {
            const auto digest = digestOf(path, backend, bufferSize);
            QVERIFY(digest);
            QCOMPARE(asBytes(*digest), sha256(contents));
        }
    }

    // Short reads and interrupted reads are normal for read(2) and must not change the digest.
    void shortAndInterruptedReads()
    {
        const QByteArray contents = patternBytes(300000, 3);
        const QString path = m_dir.filePath("short");
        writeFile(path, contents);
        int calls = 0;
        FileDigester digester(Backend::Modern, realBufferSize, [&calls](int fd, void* buffer, std::size_t count) {
            if (++calls % 3 == 0) {
                errno = EINTR;
                return ssize_t(-1);
            }
            return ::read(fd, buffer, std::min<std::size_t>(count, std::size_t(calls * 997 % 5000 + 1)));
        });
        const auto digest = digester.digest(fixtures::local(path));
        QVERIFY(digest);
        QCOMPARE(asBytes(*digest), sha256(contents));
    }

    // A read error mid-file gives no digest: the bytes before the error are not the file's digest.
    void readErrorMidFile_data()
    {
        addBackendRows();
    }
    void readErrorMidFile()
    {
        QFETCH(Backend, backend);
        const QString path = m_dir.filePath("failing");
        writeFile(path, patternBytes(3 * 524288, 5));
        std::size_t delivered = 0;
        FileDigester digester(backend, realBufferSize, [&delivered](int fd, void* buffer, std::size_t count) {
            if (delivered >= 524288) {
                errno = EIO;
                return ssize_t(-1);
            }
            const ssize_t n = ::read(fd, buffer, count);
            delivered += std::size_t(std::max<ssize_t>(n, 0));
            return n;
        });
        std::string why;
        QVERIFY(!digester.digest(fixtures::local(path), &why));
        QCOMPARE(why, std::string("Input/output error"));

        // The same digester goes on to serve the next file normally.
        writeFile(m_dir.filePath("fine"), "abc");
        delivered = 0;
        const auto next = digester.digest(fixtures::local(m_dir.filePath("fine")));
        QVERIFY(next);
        QCOMPARE(asBytes(*next), sha256("abc"));
    }

    void noDigestWithoutARegularFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "missing"
                                 << "No such file or directory";
        QTest::newRow("dangling link") << "dangling"
                                       << "No such file or directory";
        QTest::newRow("directory") << "directory"
                                   << "not a regular file";
        QTest::newRow("fifo") << "fifo"
                              << "not a regular file";
        QTest::newRow("device /dev/zero") << "device"
                                          << "not a regular file";
    }
    void noDigestWithoutARegularFile()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QString path = m_dir.filePath("special-" + kind);
        if (kind == "dangling")
            fixtures::makeSymlink(m_dir.filePath("nowhere"), path);
        else if (kind == "directory")
            QVERIFY(QDir().mkpath(path));
        else if (kind == "fifo")
            fixtures::makeFifo(path); // no writer: opening it for reading in blocking mode would hang
        else if (kind == "device")
            path = "/dev/zero"; // reading it would never end
        for (Backend backend : { Backend::Modern, Backend::Classic }) {
            FileDigester digester(backend);
            std::string why;
            QVERIFY(!digester.digest(fixtures::local(path), &why));
            QCOMPARE(QString::fromStdString(why), reason);
        }
    }

    void linkToFileIsFollowed()
    {
        const QString target = m_dir.filePath("target");
        writeFile(target, "linked contents");
        fixtures::makeSymlink(target, m_dir.filePath("link"));
        const auto digest = digestOf(m_dir.filePath("link"), Backend::Modern);
        QVERIFY(digest);
        QCOMPARE(asBytes(*digest), sha256("linked contents"));
    }

    // Files in /proc report a size of 0 and still have contents: the digest covers what reads deliver.
    void procFileIsReadToItsEnd()
    {
        QFile version("/proc/version");
        if (!version.open(QIODevice::ReadOnly))
            QSKIP("no /proc/version on this machine");
        const QByteArray contents = version.readAll();
        QVERIFY(!contents.isEmpty());
        const auto digest = digestOf("/proc/version", Backend::Classic);
        QVERIFY(digest);
        QCOMPARE(asBytes(*digest), sha256(contents));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_APPLESS_MAIN(TestFileDigest)
#include "tst_filedigest.moc"
