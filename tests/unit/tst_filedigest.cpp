// The file digest: SHA-256 of the whole contents, however reads were split, alike in both back-ends; the page
// cache left as found; the digest attribute read whole while it changes.

#include "fixtures.h"
#include "integrity/filedigest.h"
#include "integrity/tagstore.h"

#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/uio.h>
#include <thread>
#include <unistd.h>

using namespace orvane;
using namespace fixtures;

namespace {

// The digest as bytes, or the failure's reason prefixed with "failed: ".
QByteArray digestOf(const QString& path,
    Backend backend,
    std::int64_t bufferSize = realBufferSize,
    ReadFunction read = {},
    bool spareCpu = true)
{
    Result<OpenedFile> file = OpenedFile::open(fixtures::local(path));
    if (!file)
        return "failed: " + QByteArray::fromStdString(file.failure().reason);
    FileDigester digester(backend, bufferSize, std::move(read));
    digester.setSpareCpu(spareCpu);
    const Result<Digest> digest = digester.digest(file.value());
    if (!digest)
        return "failed: " + QByteArray::fromStdString(digest.failure().reason);
    return QByteArray(reinterpret_cast<const char*>(digest.value().data()), qsizetype(digest.value().size()));
}

// The digest attribute of the file at path, read through an open descriptor, or the failure's reason.
QByteArray read(const QString& path)
{
    const Result<Bytes> value = readDigestAttribute(OpenedFile::open(local(path)).value().descriptor(), theXattrName);
    if (!value)
        return "failed: " + QByteArray::fromStdString(value.failure().reason);
    return QByteArray(reinterpret_cast<const char*>(value.value().data()), qsizetype(value.value().size()));
}

} // namespace

class TestFileDigest : public QObject
{
    Q_OBJECT

private slots:
    // Lengths around the 512 KiB buffer and read sizes that split it anywhere, through both back-ends.
    void independentOfReadSplit_data()
    {
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<std::int64_t>("bufferSize");
        for (qsizetype size : { 0, 1, 63, 64, 65, 524287, 524288, 524289, 3 * 524288 + 17 })
            QTest::addRow("%lld bytes", static_cast<long long>(size)) << size << realBufferSize;
        for (std::int64_t buffer : { 63, 64, 65, 4096, 1 << 20 })
            QTest::addRow("buffer %lld", static_cast<long long>(buffer)) << qsizetype((1 << 20) + 1) << buffer;
        QTest::newRow("short and interrupted reads, read ahead") << qsizetype(3 * 524288 + 5) << std::int64_t(0);
    }
    void independentOfReadSplit()
    {
        QFETCH(qsizetype, size);
        QFETCH(std::int64_t, bufferSize);
        const QByteArray contents = patternBytes(size, quint32(size));
        const QString path = m_dir.filePath("sized");
        writeFile(path, contents);
        // Buffer size 0: reads of odd lengths, every third one interrupted (EINTR), as read(2) may do.
        int calls = 0;
        const ReadFunction reader = [&calls](int fd, void* buffer, std::size_t count) {
            if (++calls % 3 == 0) {
                errno = EINTR;
                return ssize_t(-1);
            }
            return ::read(fd, buffer, std::min<std::size_t>(count, std::size_t(calls * 997 % 5000 + 1)));
        };
        for (const Backend backend : { Backend::Modern, Backend::Classic })
            QCOMPARE(digestOf(path, backend, bufferSize, bufferSize ? ReadFunction() : reader), sha256(contents));
    }

    // A file that was not in the page cache leaves none of itself there, one that was stays: read in one
    // go, and read ahead of the hash (from the start, or from the first read that waits for the disk when no
    // CPU is to spare) with its pages dropped behind the read.
    void pageCacheLeftAsFound_data()
    {
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<bool>("cached");
        QTest::addColumn<bool>("spareCpu");
        for (qsizetype size : { 8192, 20 << 20 })
            for (bool cached : { false, true })
                QTest::addRow("%lld bytes%s", static_cast<long long>(size), cached ? ", cached" : "")
                    << size << cached << true;
        QTest::newRow("read ahead once the disk is waited for") << qsizetype(20 << 20) << false << false;
    }
    void pageCacheLeftAsFound()
    {
        QFETCH(qsizetype, size);
        QFETCH(bool, cached);
        QFETCH(bool, spareCpu);
        const QString path = m_dir.filePath("cache");
        const QByteArray contents = patternBytes(size, 5);
        writeFile(path, contents);
        const int fd = ::open(local(path).c_str(), O_RDONLY);
        const auto inCache = [fd, size] {
            void* map = ::mmap(nullptr, size_t(size), PROT_READ, MAP_SHARED, fd, 0);
            std::vector<unsigned char> pages(size_t(size) / 4096);
            (void)::mincore(map, size_t(size), pages.data());
            ::munmap(map, size_t(size));
            return std::count_if(pages.begin(), pages.end(), [](unsigned char page) { return page & 1; }) * 4096;
        };
        char byte = 0;
        iovec one { &byte, 1 };
        if (::fdatasync(fd) != 0 || ::preadv2(fd, &one, 1, 0, RWF_NOWAIT) != 1)
            QSKIP("the temporary folder's file system has no reads that take only what is cached");
        QVERIFY(cached || ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0);
        if (inCache() != (cached ? size : 0))
            QSKIP("the temporary folder's file system keeps its files in memory");
        QCOMPARE(digestOf(path, Backend::Modern, realBufferSize, {}, spareCpu), sha256(contents));
        QCOMPARE(inCache(), cached ? size : 0);
        ::close(fd);
    }

    // Changed between the size query and the read: a value stored or the failure, never a mix or padding.
    void valueChangingDuringRead()
    {
        if (!supportsUserAttributes(m_dir.path()))
            QSKIP("the temporary folder's file system takes no user.* attributes");
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

QTEST_APPLESS_MAIN(TestFileDigest)
#include "tst_filedigest.moc"
