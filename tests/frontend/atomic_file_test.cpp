// The one way host files are rewritten: whole or not at all, beside the real
// file behind any link, with the old file's mode and owner, never through a
// name someone else planted, and without leaving dead writers' temporaries.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "os/atomic_file.h"
#include "support/sim_host.h"

using hlvdtest::read_file;
using hlvdtest::write_file;

namespace {

std::vector<std::string> entries(const std::string &dir)
{
    std::vector<std::string> out;
    DIR *d = opendir(dir.c_str());
    while (d) {
        dirent *e = readdir(d);
        if (!e)
            break;
        std::string n = e->d_name;
        if (n != "." && n != "..")
            out.push_back(n);
    }
    if (d)
        closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

struct stat lstat_of(const std::string &p)
{
    struct stat st = {};
    EXPECT_EQ(0, lstat(p.c_str(), &st)) << p;
    return st;
}

int put(const std::string &path, const std::string &text, unsigned mode = 0666, unsigned flags = 0)
{
    return replace_file_atomically(path.c_str(), text.data(), text.size(), mode, flags);
}

class AtomicFile : public ::testing::Test {
protected:
    std::string dir = hlvdtest::make_temp_dir("hlvdatomic");
    mode_t old_umask = umask(022);
    void TearDown() override
    {
        umask(old_umask);
        hlvdtest::remove_tree(dir);
    }
    std::string at(const std::string &rel) const { return dir + "/" + rel; }
};

TEST_F(AtomicFile, LinksAreFollowedAndModeAndOwnerKept)
{
    ASSERT_EQ(0, mkdir(at("real").c_str(), 0755));
    ASSERT_EQ(0, mkdir(at("real/sub").c_str(), 0755));
    const bool root = geteuid() == 0;
    struct Case {
        const char *what;
        std::function<void()> setup;
        const char *given;  // path handed to the helper
        const char *real;   // file that must hold the new text
        const char *link;   // expected link text of `given`, or null
        unsigned mode, flags;
        mode_t mask;
        unsigned want_mode;
        bool chowned;       // made 1234:1234 before, must stay so
    } cases[] = {
        {"private plain file", [&] { write_file(at("p"), "old"); chmod(at("p").c_str(), 0600); }, "p", "p",
         nullptr, 0666, 0, 022, 0600, false},
        {"file of another owner", [&] {
             write_file(at("o"), "old");
             chmod(at("o").c_str(), 0640);
             if (root) {
                 ASSERT_EQ(0, chown(at("o").c_str(), 1234, 1234));
             }
         }, "o", "o", nullptr, 0666, 0, 022, 0640, root},
        {"set-id bits of our own file", [&] { write_file(at("s"), "old"); chmod(at("s").c_str(), 04751); }, "s",
         "s", nullptr, 0666, 0, 022, 04751, false},
        {"absolute link to a private file", [&] {
             write_file(at("real/a"), "old");
             chmod(at("real/a").c_str(), 0600);
             ASSERT_EQ(0, symlink(at("real/a").c_str(), at("la").c_str()));
         }, "la", "real/a", "", 0666, 0, 022, 0600, false},
        {"chain of relative links", [&] {
             write_file(at("real/sub/c"), "old");
             chmod(at("real/sub/c").c_str(), 0604);
             ASSERT_EQ(0, symlink("sub/c", at("real/lc").c_str()));
             ASSERT_EQ(0, symlink("real/lc", at("lc").c_str()));
         }, "lc", "real/sub/c", "real/lc", 0666, 0, 022, 0604, false},
        {"link to a file not yet there", [&] { ASSERT_EQ(0, symlink("real/n", at("ln").c_str())); }, "ln",
         "real/n", "real/n", 0666, 0, 022, 0644, false},
        {"new file under the umask", [] {}, "u", "u", nullptr, 0640, 0, 027, 0640, false},
        {"new file under a strict umask", [] {}, "v", "v", nullptr, 0644, 0, 077, 0600, false},
        {"new file of an exact mode", [] {}, "x", "x", nullptr, 0644, ATOMIC_FILE_EXACT_MODE, 077, 0644, false},
        {"existing file ignores the exact mode", [&] { write_file(at("y"), "old"); chmod(at("y").c_str(), 0600); },
         "y", "y", nullptr, 0644, ATOMIC_FILE_EXACT_MODE, 022, 0600, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        c.setup();
        std::string link_before;
        if (c.link) {
            char buf[4096];
            ssize_t n = readlink(at(c.given).c_str(), buf, sizeof buf);
            ASSERT_GT(n, 0);
            link_before.assign(buf, static_cast<size_t>(n));
        }
        umask(c.mask);
        std::string text = std::string("new contents of ") + c.what;
        EXPECT_EQ(0, put(at(c.given), text, c.mode, c.flags));
        umask(022);
        EXPECT_EQ(text, read_file(at(c.real)));
        struct stat given = lstat_of(at(c.given));
        if (c.link) {
            ASSERT_TRUE(S_ISLNK(given.st_mode)) << "the link stays a link";
            char buf[4096];
            ssize_t n = readlink(at(c.given).c_str(), buf, sizeof buf);
            EXPECT_EQ(link_before, std::string(buf, n > 0 ? static_cast<size_t>(n) : 0));
        }
        struct stat real = lstat_of(at(c.real));
        EXPECT_TRUE(S_ISREG(real.st_mode));
        EXPECT_EQ(c.want_mode, real.st_mode & 07777);
        if (c.chowned) {
            EXPECT_EQ(1234u, real.st_uid);
            EXPECT_EQ(1234u, real.st_gid);
        }
    }
    // Nothing else was made anywhere.
    EXPECT_EQ((std::vector<std::string>{"la", "lc", "ln", "o", "p", "real", "s", "u", "v", "x", "y"}), entries(dir));
    EXPECT_EQ((std::vector<std::string>{"a", "lc", "n", "sub"}), entries(at("real")));
    EXPECT_EQ((std::vector<std::string>{"c"}), entries(at("real/sub")));
}

TEST_F(AtomicFile, TargetsThatAreNoRegularFileAreRefusedAndLeftAlone)
{
    ASSERT_EQ(0, mkdir(at("d").c_str(), 0755));
    ASSERT_EQ(0, mkfifo(at("fifo").c_str(), 0644));
    ASSERT_EQ(0, symlink("fifo", at("to-fifo").c_str()));
    ASSERT_EQ(0, symlink("loop-b", at("loop-a").c_str()));
    ASSERT_EQ(0, symlink("loop-a", at("loop-b").c_str()));
    // A device of our own: a faulty rewrite must not hit the host's.
    if (mknod(at("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        ASSERT_EQ(0, mkfifo(at("null").c_str(), 0666)); // not allowed to make devices
    }
    const std::string long_name(250, 'n');
    write_file(at(long_name), "old");
    struct Case {
        std::string path;
        int err;
    } cases[] = {
        {at("d"), EISDIR},
        {at("d/"), EISDIR},
        {at("fifo"), EINVAL},
        {at("to-fifo"), EINVAL},
        {at("null"), EINVAL},
        {at("no/such/dir/f"), ENOENT},
        {at("loop-a"), ELOOP},
        // Its temporary would not fit a directory entry.
        {at(long_name), ENAMETOOLONG},
        {"", EINVAL},
    };
    auto start = std::chrono::steady_clock::now();
    for (const Case &c : cases)
        EXPECT_EQ(c.err, put(c.path, "new")) << c.path;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << "no open of a FIFO blocks";
    EXPECT_TRUE(S_ISFIFO(lstat_of(at("fifo")).st_mode));
    EXPECT_FALSE(S_ISREG(lstat_of(at("null")).st_mode));
    EXPECT_EQ("old", read_file(at(long_name)));
    EXPECT_EQ((std::vector<std::string>{"d", "fifo", "loop-a", "loop-b", long_name, "null", "to-fifo"}),
              entries(dir));
    EXPECT_TRUE(entries(at("d")).empty());
}

// As the kernel does for an open: a link that someone else planted in a
// sticky, world-writable directory (a /tmp) is not followed.
TEST_F(AtomicFile, ForeignLinkInAStickyDirectoryIsNotFollowed)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs to own a link as another user";
    ASSERT_EQ(0, mkdir(at("tmp").c_str(), 0777));
    ASSERT_EQ(0, chmod(at("tmp").c_str(), 01777));
    write_file(at("victim"), "precious");
    ASSERT_EQ(0, symlink(at("victim").c_str(), at("tmp/d.xml").c_str()));
    ASSERT_EQ(0, lchown(at("tmp/d.xml").c_str(), 1234, 1234));
    EXPECT_EQ(EACCES, put(at("tmp/d.xml"), "new"));
    EXPECT_EQ("precious", read_file(at("victim")));
    // Our own link there is followed.
    ASSERT_EQ(0, lchown(at("tmp/d.xml").c_str(), 0, 0));
    EXPECT_EQ(0, put(at("tmp/d.xml"), "new"));
    EXPECT_EQ("new", read_file(at("victim")));
    EXPECT_EQ((std::vector<std::string>{"d.xml"}), entries(at("tmp")));
}

TEST_F(AtomicFile, PlantedLinksAtTemporaryNamesAreNeverWrittenThrough)
{
    write_file(at("victim"), "precious");
    write_file(at("f"), "old");
    const std::vector<std::string> planted = {
        "f.tmp." + std::to_string(getpid()), // the name of an earlier scheme
        ".f.tmp.AAAAAAAAAAAA",               // a name of ours
        ".f.tmp." + std::to_string(getpid()),
    };
    for (const std::string &p : planted)
        ASSERT_EQ(0, symlink(at("victim").c_str(), at(p).c_str()));
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(0, put(at("f"), "new " + std::to_string(i)));
    EXPECT_EQ("new 19", read_file(at("f")));
    EXPECT_EQ("precious", read_file(at("victim")));
    for (const std::string &p : planted)
        EXPECT_TRUE(S_ISLNK(lstat_of(at(p)).st_mode)) << p << " is not ours to remove";
}

TEST_F(AtomicFile, OnlyDeadWritersTemporariesOfTheSameFileAreRemoved)
{
    write_file(at("f"), "old");
    write_file(at("victim"), "precious");
    // A writer that is gone left this one: nothing holds its lock.
    write_file(at(".f.tmp.AAAAAAAAAAAA"), "half a fil");
    write_file(at(".f.tmp.a1b2c3d4e5f6"), "");
    // A writer still at work holds the lock on its temporary.
    write_file(at(".f.tmp.BBBBBBBBBBBB"), "in progress");
    int live = open(at(".f.tmp.BBBBBBBBBBBB").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(live, 0);
    ASSERT_EQ(0, flock(live, LOCK_EX));
    // Names that are not ours for this file, or not regular files.
    const std::vector<std::string> kept_files = {".g.tmp.CCCCCCCCCCCC", ".f.tmp.DDDDDD", ".f.tmp.GGGGGGGGGGG-",
                                                 "f.tmp.12345", ".f.tmp.AAAAAAAAAAAAA", "x.f.tmp.AAAAAAAAAAAA"};
    for (const std::string &k : kept_files)
        write_file(at(k), "someone else's");
    ASSERT_EQ(0, symlink(at("victim").c_str(), at(".f.tmp.EEEEEEEEEEEE").c_str()));
    ASSERT_EQ(0, mkdir(at(".f.tmp.FFFFFFFFFFFF").c_str(), 0755));
    ASSERT_EQ(0, mkfifo(at(".f.tmp.HHHHHHHHHHHH").c_str(), 0644));

    EXPECT_EQ(0, put(at("f"), "new"));
    EXPECT_EQ("new", read_file(at("f")));
    std::vector<std::string> want = kept_files;
    want.insert(want.end(), {"f", "victim", ".f.tmp.BBBBBBBBBBBB", ".f.tmp.EEEEEEEEEEEE", ".f.tmp.FFFFFFFFFFFF",
                             ".f.tmp.HHHHHHHHHHHH"});
    std::sort(want.begin(), want.end());
    EXPECT_EQ(want, entries(dir));
    EXPECT_EQ("in progress", read_file(at(".f.tmp.BBBBBBBBBBBB")));
    EXPECT_EQ("precious", read_file(at("victim")));

    // Once its writer is gone, the next write takes it away.
    close(live);
    EXPECT_EQ(0, put(at("f"), "newer"));
    want.erase(std::find(want.begin(), want.end(), ".f.tmp.BBBBBBBBBBBB"));
    EXPECT_EQ(want, entries(dir));
}

// Writers of the same file at once, each also cleaning up: none takes
// another's temporary away, and the file is always one whole text.
TEST_F(AtomicFile, ConcurrentWritersNeverSpoilEachOther)
{
    const int kThreads = 6, kRounds = 40;
    std::vector<std::string> texts;
    for (int t = 0; t < kThreads; ++t)
        texts.push_back(std::string(3000 + 97 * t, static_cast<char>('a' + t)));
    write_file(at("f"), texts[0]);
    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRounds; ++i)
                if (put(at("f"), texts[t]) != 0)
                    ++failures[t];
        });
    bool torn = false;
    for (int i = 0; i < 200; ++i)
        torn = torn || std::find(texts.begin(), texts.end(), read_file(at("f"))) == texts.end();
    for (std::thread &th : threads)
        th.join();
    EXPECT_FALSE(torn);
    EXPECT_EQ(std::vector<int>(kThreads, 0), failures);
    EXPECT_EQ(std::vector<std::string>{"f"}, entries(dir));
}

} // namespace
