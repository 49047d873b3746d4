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

// The digest as bytes, or the failure's reason prefixed with "failed: ".
QByteArray digestOf(
    const QString& path, Backend backend, std::int64_t bufferSize = realBufferSize, ReadFunction read = {})
{
    Result<OpenedFile> file = OpenedFile::open(fixtures::local(path));
    if (!file)
        return "failed: " + QByteArray::fromStdString(file.failure().reason);
    FileDigester digester(backend, bufferSize, std::move(read));
    const Result<Digest> digest = digester.digest(file.value());
    if (!digest)
        return "failed: " + QByteArray::fromStdString(digest.failure().reason);
    return QByteArray(reinterpret_cast<const char*>(digest.value().data()), qsizetype(digest.value().size()));
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

    // Lengths around the 512 KiB buffer and read sizes that split it anywhere, through both back-ends.
    void independentOfReadSplit_data()
    {
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<std::int64_t>("bufferSize");
        for (qsizetype size : { 0, 1, 63, 64, 65, 524287, 524288, 524289, 3 * 524288 + 17 })
            QTest::addRow("%lld bytes", static_cast<long long>(size)) << size << realBufferSize;
        for (std::int64_t buffer : { 1, 63, 64, 65, 4096, 1 << 20 })
            QTest::addRow("buffer %lld", static_cast<long long>(buffer)) << qsizetype((1 << 20) + 1) << buffer;
    }
    void independentOfReadSplit()
    {
        QFETCH(qsizetype, size);
        QFETCH(std::int64_t, bufferSize);
        const QByteArray contents = patternBytes(size, quint32(size));
        const QString path = m_dir.filePath("sized");
        writeFile(path, contents);
        QCOMPARE(digestOf(path, Backend::Modern, bufferSize), sha256(contents));
        QCOMPARE(digestOf(path, Backend::Classic, bufferSize), sha256(contents));
    }

    // Short reads and interrupted reads (EINTR) are normal for read(2) and must not change the digest.
    void shortAndInterruptedReads()
    {
        const QByteArray contents = patternBytes(300000, 3);
        const QString path = m_dir.filePath("short");
        writeFile(path, contents);
        int calls = 0;
        const auto reader = [&calls](int fd, void* buffer, std::size_t count) {
            if (++calls % 3 == 0) {
                errno = EINTR;
                return ssize_t(-1);
            }
            return ::read(fd, buffer, std::min<std::size_t>(count, std::size_t(calls * 997 % 5000 + 1)));
        };
        QCOMPARE(digestOf(path, Backend::Modern, realBufferSize, reader), sha256(contents));
    }

    // A read error mid-file gives no digest: the bytes before the error are not the file's digest.
    void readErrorMidFile_data()
    {
        QTest::addColumn<Backend>("backend");
        QTest::newRow("modern") << Backend::Modern;
        QTest::newRow("classic") << Backend::Classic;
    }
    void readErrorMidFile()
    {
        QFETCH(Backend, backend);
        const QString path = m_dir.filePath("failing");
        writeFile(path, patternBytes(3 * 524288, 5));
        std::size_t delivered = 0;
        const auto reader = [&delivered](int fd, void* buffer, std::size_t count) {
            if (delivered >= 524288) {
                errno = EIO;
                return ssize_t(-1);
            }
            const ssize_t n = ::read(fd, buffer, count);
            delivered += std::size_t(std::max<ssize_t>(n, 0));
            return n;
        };
        QCOMPARE(digestOf(path, backend, realBufferSize, reader), QByteArray("failed: Input/output error"));
    }

    // Nothing but a regular file on a real file system is opened: FIFOs would block, devices and the
    // files of /proc and /sys never end or change as they are read.
    void noDigestWithoutARegularFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("reason");
        QTest::newRow("missing") << "missing" << QByteArray("No such file or directory");
        QTest::newRow("dangling link") << "dangling" << QByteArray("No such file or directory");
        QTest::newRow("directory") << "directory" << QByteArray("not a regular file");
        QTest::newRow("fifo") << "fifo" << QByteArray("not a regular file");
        QTest::newRow("device") << "/dev/zero" << QByteArray("not a regular file");
        QTest::newRow("proc") << "/proc/self/pagemap" << QByteArray("on a pseudo file system");
        QTest::newRow("sysfs") << "/sys/kernel/mm/transparent_hugepage/enabled"
                               << QByteArray("on a pseudo file system");
    }
    void noDigestWithoutARegularFile()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, reason);
        QString path = m_dir.filePath("special-" + kind);
        if (kind == "dangling")
            fixtures::makeSymlink(m_dir.filePath("nowhere"), path);
        else if (kind == "directory")
            QVERIFY(QDir().mkpath(path));
        else if (kind == "fifo")
            fixtures::makeFifo(path); // no writer: opening it for reading in blocking mode would hang
        else if (kind.startsWith('/'))
            path = kind;
        if (kind.startsWith('/') && !QFile::exists(path))
            QSKIP("this machine has no such file");
        QCOMPARE(digestOf(path, Backend::Modern), "failed: " + reason);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_APPLESS_MAIN(TestFileDigest)
#include "tst_filedigest.moc"
