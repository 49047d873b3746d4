// The walk: no way out of the tree, however it changes meanwhile; no depth limit.

#include "fixtures.h"
#include "operations/integrityrun.h"
#include "operations/workerpool.h"
#include "reports.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace orvane;
using fixtures::writeFile;

namespace {

bool exchange(const QString& a, const QString& b)
{
    return ::renameat2(AT_FDCWD, fixtures::local(a).c_str(), AT_FDCWD, fixtures::local(b).c_str(), RENAME_EXCHANGE)
        == 0;
}

} // namespace

class TestWalk : public QObject
{
    Q_OBJECT

private slots:
    // Fault 6: folders swapped for links after the listing and before they are entered are not followed.
    void folderSwappedForALinkIsNotFollowed()
    {
        QTemporaryDir dir;
        const QString root = dir.filePath("tree");
        writeFile(dir.filePath("outside/secret"), "s");
        for (int i = 0; i < 10; ++i) {
            writeFile(root + QString("/sub%1/inner").arg(i), "i");
            writeFile(root + QString("/file%1").arg(i), "f");
            fixtures::makeSymlink(dir.filePath("outside"), dir.filePath(QString("link%1").arg(i)));
        }
        bool swapped = false;
        const QStringList files = fixtures::walkOrder(root, [&](int, const std::string&) {
            for (int i = 0; i < 10 && !swapped; ++i)
                QVERIFY(exchange(root + QString("/sub%1").arg(i), dir.filePath(QString("link%1").arg(i))));
            swapped = true;
        });
        QVERIFY(swapped);
        QVERIFY2(files.filter("/inner").size() < 10, "no folder was swapped before it was entered");
        QCOMPARE(files.filter("/secret"), QStringList());
    }

    // Tag over a tree another thread keeps changing: no attribute lands outside, none is stale.
    void concurrentMutationFuzz()
    {
        QTemporaryDir dir;
        const QString root = dir.filePath("tree");
        for (int i = 0; i < 5; ++i)
            writeFile(dir.filePath("outside/o%1").arg(i), fixtures::patternBytes(3000, quint32(i)));
        for (int a = 0; a < 4; ++a) {
            fixtures::makeSymlink(dir.filePath("outside"), dir.filePath(QString("link%1").arg(a)));
            for (int j = 0; j < 5; ++j)
                writeFile(
                    root + QString("/d%1/f%2").arg(a).arg(j), fixtures::patternBytes(5000 + j, quint32(a * 5 + j)));
        }
        std::atomic<bool> stop { false };
        bool swapped[4] = {};
        std::thread mutator([&] {
            std::mt19937 random(8);
            const std::string staging = fixtures::local(dir.filePath("staging"));
            const auto file = [&](int a) {
                return fixtures::local(root + QString("/d%1/f%2").arg(a).arg(random() % 8));
            };
            for (int i = 0; i < 200000 && !stop; ++i) {
                const int a = int(random() % 4);
                const int b = int(random() % 4);
                if (random() % 4 == 0) {
                    swapped[a] ^= exchange(root + QString("/d%1").arg(a), dir.filePath(QString("link%1").arg(a)));
                } else if (swapped[a] || swapped[b]) {
                    continue; // through a swapped folder, a change would reach outside
                } else if (const int kind = int(random() % 3); kind == 0) {
                    ::rename(file(a).c_str(), file(b).c_str());
                } else if (kind == 1) {
                    ::unlink(file(a).c_str());
                } else {
                    const QByteArray contents = fixtures::patternBytes(int(random() % 70000), quint32(i));
                    if (std::FILE* staged = std::fopen(staging.c_str(), "w")) {
                        std::fwrite(contents.constData(), 1, std::size_t(contents.size()), staged);
                        std::fclose(staged);
                        ::rename(staging.c_str(), file(a).c_str());
                    }
                }
            }
        });
        // Runs with one job and with two, so that files hashed on the pool meet the changes too.
        WorkerPool pool(2);
        for (int run = 0; run < 60; ++run) {
            RunSettings settings;
            settings.pool = &pool;
            settings.jobs = 1 + run % 2;
            (void)runFolder(Operation::Tag, fixtures::local(root), settings);
        }
        stop = true;
        mutator.join();
        for (int a = 0; a < 4; ++a)
            if (swapped[a])
                QVERIFY(exchange(root + QString("/d%1").arg(a), dir.filePath(QString("link%1").arg(a))));

        QDirIterator outside(dir.filePath("outside"), QDir::Files | QDir::NoSymLinks);
        while (outside.hasNext())
            QCOMPARE(fixtures::attributeNames(outside.next()), QStringList());
        int tagged = 0;
        QDirIterator inside(root, QDir::Files | QDir::NoSymLinks, QDirIterator::Subdirectories);
        while (inside.hasNext()) {
            const QString path = inside.next();
            if (const auto stored = fixtures::attribute(path); stored && ++tagged)
                QCOMPARE(*stored, fixtures::digestOfFile(path));
        }
        QVERIFY(tagged > 0);
    }
};

QTEST_APPLESS_MAIN(TestWalk)
#include "tst_walk.moc"
