// The walk: every non-directory entry below the root exactly once, with its full path; links to folders
// neither entered nor visited; a root that cannot be listed reported as such.

#include "fixtures.h"
#include "operations/walk.h"

#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

using namespace orvane;
using fixtures::writeFile;

namespace {

struct Walked
{
    bool listed = false;
    int error = 0;
    QStringList files;
    QStringList regular; // the files the listing called regular
    QStringList unlisted;
};

Walked walk(const QString& root)
{
    Walked result;
    WalkCallbacks callbacks;
    callbacks.visitFile = [&result](const std::string& path, bool regular) {
        result.files << QFile::decodeName(path.c_str());
        if (regular)
            result.regular << QFile::decodeName(path.c_str());
    };
    callbacks.unlistedFolder = [&result](const std::string& path, int) {
        result.unlisted << QFile::decodeName(path.c_str());
    };
    result.listed = walkTree(fixtures::local(root), callbacks, &result.error);
    return result;
}

} // namespace

class TestWalk : public QObject
{
    Q_OBJECT

private slots:
    void visitsEveryNonDirectoryOnce()
    {
        QTemporaryDir dir;
        const QString root = dir.path();
        writeFile(root + "/top.txt", "1");
        writeFile(root + "/.hidden", "2");
        writeFile(root + "/a/one.txt", "3");
        writeFile(root + "/a/b/c/deep.txt", "4");
        writeFile(root + "/a/b/.also-hidden", "5");
        QVERIFY(QDir().mkpath(root + "/empty/nested/empty"));
        fixtures::makeSymlink(root + "/a", root + "/link-to-folder"); // not entered, not visited
        fixtures::makeSymlink(root + "/top.txt", root + "/link-to-file");
        fixtures::makeSymlink(root + "/nowhere", root + "/dangling");
        fixtures::makeSymlink(".", root + "/a/loop"); // a link back up must not make the walk go round
        fixtures::makeFifo(root + "/a/fifo");

        const Walked walked = walk(root);
        QVERIFY(walked.listed);
        QStringList files = walked.files;
        files.sort();
        QStringList expected { "/.hidden",
            "/a/b/.also-hidden",
            "/a/b/c/deep.txt",
            "/a/fifo",
            "/a/one.txt",
            "/dangling",
            "/link-to-file",
            "/top.txt" };
        for (QString& path : expected)
            path.prepend(root);
        QCOMPARE(files, expected);
        QVERIFY(walked.unlisted.isEmpty());

        // Only plain regular entries are marked so; links and FIFOs get checked when they are opened.
        QStringList regular = walked.regular;
        regular.sort();
        QStringList expectedRegular { "/.hidden", "/a/b/.also-hidden", "/a/b/c/deep.txt", "/a/one.txt", "/top.txt" };
        for (QString& path : expectedRegular)
            path.prepend(root);
        QCOMPARE(regular, expectedRegular);
    }

    // A folder's files come before the files of the folders listed after it: the walk is depth first.
    void depthFirst()
    {
        QTemporaryDir dir;
        for (const char* folder : { "p", "q", "r" })
            for (const char* name : { "1", "2", "3" })
                writeFile(dir.path() + "/" + folder + "/sub/" + name, "x");
        const QStringList files = walk(dir.path()).files;
        QCOMPARE(files.size(), 9);
        for (int i = 0; i < files.size(); i += 3) {
            const QString folder = files[i].section('/', -3, -3);
            QCOMPARE(files[i + 1].section('/', -3, -3), folder);
            QCOMPARE(files[i + 2].section('/', -3, -3), folder);
        }
    }

    void emptyFolders()
    {
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.path() + "/x/y"));
        const Walked walked = walk(dir.path());
        QVERIFY(walked.listed);
        QVERIFY(walked.files.isEmpty());
    }

    void rootThatCannotBeListed_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("error");
        QTest::newRow("missing") << "missing" << ENOENT;
        QTest::newRow("regular file") << "file" << ENOTDIR;
    }
    void rootThatCannotBeListed()
    {
        QFETCH(QString, kind);
        QFETCH(int, error);
        QTemporaryDir dir;
        const QString root = dir.path() + "/root";
        if (kind == "file")
            writeFile(root, "x");
        const Walked walked = walk(root);
        QVERIFY(!walked.listed);
        QCOMPARE(walked.error, error);
        QVERIFY(walked.files.isEmpty());
    }

    void pathsJoinWithOneSlash()
    {
        QCOMPARE(childPath("/", "etc"), std::string("/etc"));
        QCOMPARE(childPath("/srv/photos", "a.jpg"), std::string("/srv/photos/a.jpg"));
    }

    // Names are bytes: a name that is not UTF-8 is visited under its own bytes.
    void nonUtf8Names()
    {
        QTemporaryDir dir;
        const std::string name = fixtures::local(dir.path()) + "/caf\xe9.txt";
        FILE* file = std::fopen(name.c_str(), "w");
        QVERIFY(file);
        std::fclose(file);
        std::vector<std::string> seen;
        WalkCallbacks callbacks;
        callbacks.visitFile = [&seen](const std::string& path, bool) { seen.push_back(path); };
        QVERIFY(walkTree(fixtures::local(dir.path()), callbacks));
        QCOMPARE(seen.size(), std::size_t(1));
        QCOMPARE(seen.front(), name);
        std::remove(name.c_str()); // QTemporaryDir cannot name it to remove it
    }
};

QTEST_APPLESS_MAIN(TestWalk)
#include "tst_walk.moc"
