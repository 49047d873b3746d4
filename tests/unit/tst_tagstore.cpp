// The digest attribute read whole while another thread changes it.

#include "fixtures.h"
#include "integrity/tagstore.h"

#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

using namespace orvane;
using namespace fixtures;

namespace {

// The digest attribute of the file at path, read through an open descriptor, or the failure's reason.
QByteArray read(const QString& path)
{
    const Result<Bytes> value = readDigestAttribute(OpenedFile::open(local(path)).value().descriptor(), theXattrName);
    if (!value)
        return "failed: " + QByteArray::fromStdString(value.failure().reason);
    return QByteArray(reinterpret_cast<const char*>(value.value().data()), qsizetype(value.value().size()));
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

    // Changed between the size query and the read: a value stored or the failure, never a mix or padding.
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
