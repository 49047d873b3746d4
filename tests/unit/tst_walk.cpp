// The walk: trees of any depth, on a bounded number of descriptors, with paths beyond PATH_MAX.

#include "fixtures.h"
#include "operations/walk.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvane;

class TestWalk : public QObject
{
    Q_OBJECT

private slots:
    // Fault 6: paths longer than PATH_MAX are walked and reported in full, on a bounded number of
    // descriptors, and their files open.
    void deepTreeBeyondPathMax()
    {
        QTemporaryDir dir;
        int fd = ::open(fixtures::local(dir.path()).c_str(), O_RDONLY | O_DIRECTORY);
        QString expected = dir.path();
        for (int level = 0; level < 300; ++level) {
            const QString name = QString("level-%1-of-the-tree").arg(level, 3, 10, QChar('0')).left(20);
            QVERIFY(::mkdirat(fd, fixtures::local(name).c_str(), 0755) == 0);
            const int child = ::openat(fd, fixtures::local(name).c_str(), O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = child;
            expected += "/" + name;
        }
        ::close(::openat(fd, "bottom", O_CREAT | O_WRONLY, 0644));
        ::close(fd);

        qsizetype mostDescriptors = 0;
        bool opens = false;
        WalkCallbacks callbacks;
        QStringList files;
        callbacks.visitFile = [&](int folder, const std::string& name, const std::string& path, bool) {
            files << QFile::decodeName(path.c_str());
            mostDescriptors = QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size();
            opens = bool(OpenedFile::openAt(folder, name));
        };
        QVERIFY(!walkTree(fixtures::local(dir.path()), callbacks));
        QProcess::execute("rm", { "-rf", dir.path() }); // QDir cannot remove paths this long
        QCOMPARE(files, QStringList { expected + "/bottom" });
        QVERIFY(expected.size() > 4096);
        QVERIFY(opens);
        QVERIFY2(mostDescriptors < 100, qPrintable(QString::number(mostDescriptors)));
    }
};

QTEST_APPLESS_MAIN(TestWalk)
#include "tst_walk.moc"
