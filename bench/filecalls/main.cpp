// The system calls a Check makes for each file (open, fstat, read, fstat, fgetxattr, close), and nothing
// else, over every regular file of a tree: on one thread, on two threads of one process (each on its own
// half of the files, or both in the same folders at once, as a folder run with two jobs is, sharing the
// process's table of open files or each with one of its own, as Orvane's pool threads have), and in two
// processes. It shows what two cores give this work before Orvane adds anything of its own.
//
//   bench_filecalls TREE

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <ftw.h>
#include <linux/close_range.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> files;

int collect(const char* path, const struct stat*, int type, struct FTW*)
{
    if (type == FTW_F)
        files.emplace_back(path);
    return 0;
}

void touch(std::size_t from, std::size_t to, std::size_t step)
{
    static thread_local std::vector<char> buffer(512 * 1024);
    for (std::size_t i = from; i < to; i += step) {
        const int fd = ::open(files[i].c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat status = {};
        char value[64];
        (void)::fstat(fd, &status);
        (void)::read(fd, buffer.data(), buffer.size());
        (void)::fstat(fd, &status);
        (void)::fgetxattr(fd, "user.co.sablewickfern.kelmor.hash#S", value, sizeof value);
        ::close(fd);
    }
}

double timed(void (*run)())
{
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || ::nftw(argv[1], collect, 64, FTW_PHYS) != 0) {
        std::fprintf(stderr, "usage: bench_filecalls TREE\n");
        return 2;
    }
    static std::size_t half = files.size() / 2;
    const struct
    {
        const char* name;
        void (*run)();
    } ways[] = {
        { "one thread", [] { touch(0, files.size(), 1); } },
        { "two threads, a half each",
            [] {
                std::thread other(touch, half, files.size(), 1);
                touch(0, half, 1);
                other.join();
            } },
        { "two threads, the same folders at once",
            [] {
                std::thread other(touch, 1, files.size(), 2);
                touch(0, files.size(), 2);
                other.join();
            } },
        { "two threads, the same folders, own tables",
            [] {
                std::thread other([] {
                    ::close_range(3, ~0U, CLOSE_RANGE_UNSHARE);
                    touch(1, files.size(), 2);
                });
                touch(0, files.size(), 2);
                other.join();
            } },
        { "two processes, a half each",
            [] {
                const pid_t child = ::fork();
                if (child == 0) {
                    touch(half, files.size(), 1);
                    ::_exit(0);
                }
                touch(0, half, 1);
                ::waitpid(child, nullptr, 0);
            } },
    };
    std::printf("%zu files; best of 10 rounds\n", files.size());
    double best[5] = { 1e9, 1e9, 1e9, 1e9, 1e9 };
    for (int round = 0; round < 10; ++round)
        for (int i = 0; i < 5; ++i)
            best[i] = std::min(best[i], timed(ways[i].run));
    for (int i = 0; i < 5; ++i)
        std::printf("%-42s %7.1f ms  %.2fx\n", ways[i].name, best[i], best[0] / best[i]);
}
