// The data folder's lock between processes and users: one holder at a time, whatever kind of lock another
// holds, whoever made the file and however it was left.

#include "platform/runlock.h"

#include "platform/child.h"
#include "tests/platform/child_process.h"
#include "tests/platform/temp_prefix.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

namespace fs = std::filesystem;
using namespace ledrana::platform;
using ledrana::testing::ChildWhile;
using ledrana::testing::TempPrefix;

namespace {

constexpr uid_t kUser = 4242, kColleague = 4243;
constexpr gid_t kGroup = 4242;
const std::string kLock = "C:\\ZU\\ledrana\\update.lock";

std::string Said(const RunLock& l) {
    switch (l.state()) {
    case RunLock::State::Taken:
        return "taken";
    case RunLock::State::Held:
        return "held";
    default:
        return "other";
    }
}

// Becomes `uid` for good (a forked child of the test).
void Become(uid_t uid, gid_t gid) {
    if (setgroups(0, nullptr) != 0 || setresgid(gid, gid, gid) != 0 || setresuid(uid, uid, uid) != 0)
        _exit(9);
}

// Another process that holds the lock as `uid` until the object goes.
struct HolderAs : ChildWhile {
    HolderAs(uid_t uid, gid_t gid)
        : ChildWhile([=] {
              Become(uid, gid);
              return (new RunLock(RunLock::Take(kLock)))->state() == RunLock::State::Taken;
          }) {}
};

// What taking the lock gives in another process run as `uid`.
std::string TakeAs(uid_t uid, gid_t gid) {
    return RunInChild(
               [=] {
                   Become(uid, gid);
                   return Said(RunLock::Take(kLock));
               },
               std::chrono::seconds(30))
        .answer;
}

class Lock : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(ledrana);
        // Other users must reach the folder, as they reach a data folder.
        for (fs::path f = ledrana; f != p.root().parent_path(); f = f.parent_path())
            fs::permissions(f, fs::perms(0755));
    }
    struct stat Stat() const {
        struct stat st {};
        EXPECT_EQ(lstat(file.c_str(), &st), 0);
        return st;
    }
    TempPrefix p;
    fs::path ledrana = p.driveC() / "ZU" / "ledrana";
    fs::path file = ledrana / "update.lock";
};

// A run as root makes the lock file its folder's (owner, group, the folder's users' mode), and every user of
// the folder then holds it exclusively: a second user, or root, finds it held.
TEST_F(Lock, ARootRunMakesTheFileItsFoldersAndEachUserOfTheFolderHoldsItAlone) {
    if (geteuid() != 0) GTEST_SKIP() << "only the superuser can act as other users";
    ASSERT_EQ(chown(ledrana.c_str(), kUser, kGroup), 0);
    fs::permissions(ledrana, fs::perms(02770));
    { const RunLock root = RunLock::Take(kLock); }
    const struct stat st = Stat();
    EXPECT_EQ(st.st_uid, kUser);
    EXPECT_EQ(st.st_gid, kGroup);
    EXPECT_EQ(st.st_mode & 07777, 0660u);

    const HolderAs user(kUser, kGroup);
    ASSERT_TRUE(user.held());
    EXPECT_EQ(TakeAs(kColleague, kGroup), "held");
    const RunLock root = RunLock::Take(kLock);
    EXPECT_EQ(Said(root), "held");
    EXPECT_EQ(HeldSentence("C:\\ZU", root.holder())
                  .rfind("Un altro aggiornamento della cartella dati C:\\ZU è "
                         "in corso dal computer " +
                             ComputerName() + " (utente 4242), iniziato il ",
                         0),
              0u)
        << HeldSentence("C:\\ZU", root.holder());
}

// A lock file an earlier version left root's and read-only: the folder's user replaces it and holds it, and
// a second process of that user finds it held (it used to take it shared, beside the first).
TEST_F(Lock, AFileTheSuperuserLeftIsReplacedAndHeldByOneUserAtATime) {
    if (geteuid() != 0) GTEST_SKIP() << "only the superuser can act as other users";
    ASSERT_EQ(chown(ledrana.c_str(), kUser, kGroup), 0);
    TempPrefix::put(file, "computer=vecchio\r\n");
    fs::permissions(file, fs::perms(0644));
    const HolderAs first(kUser, kGroup);
    ASSERT_TRUE(first.held());
    EXPECT_EQ(Stat().st_uid, kUser);
    EXPECT_EQ(TakeAs(kUser, kGroup), "held");
}

// Whoever holds a lock of either kind on the file keeps it: flock (exclusive or shared), an open-file
// description lock (another run), a plain POSIX lock. The holder's file says what holds it, when it does.
TEST_F(Lock, EitherKindOfLockHeldElsewhereKeepsItAway) {
    TempPrefix::put(file, "");
    const auto flockAs = [this](int how) {
        return [this, how] {
            const int fd = open(file.c_str(), O_RDONLY);
            return fd >= 0 && flock(fd, how | LOCK_NB) == 0;
        };
    };
    const auto posixRead = [this] {
        struct flock fl {};
        fl.l_type = F_RDLCK;
        fl.l_whence = SEEK_SET;
        const int fd = open(file.c_str(), O_RDONLY);
        return fd >= 0 && fcntl(fd, F_SETLK, &fl) == 0;
    };
    const auto preview = [] {
        return (new RunLock(RunLock::Take(kLock, "anteprima")))->state() == RunLock::State::Taken;
    };
    const struct Case {
        const char* what;
        std::function<bool()> hold;
        const char* sentence;
    } cases[] = {
        {"flock exclusive", flockAs(LOCK_EX),
         "Un altro aggiornamento o un'anteprima della cartella dati C:\\ZU è in corso"},
        {"flock shared", flockAs(LOCK_SH),
         "Un altro aggiornamento o un'anteprima della cartella dati C:\\ZU è in corso"},
        {"POSIX read lock", posixRead,
         "Un altro aggiornamento o un'anteprima della cartella dati C:\\ZU è in corso"},
        {"a preview", preview,
         "Un'anteprima dell'aggiornamento della cartella dati C:\\ZU è in corso dal computer "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        {
            const ChildWhile holder(c.hold);
            ASSERT_TRUE(holder.held());
            const RunLock l = RunLock::Take(kLock);
            EXPECT_EQ(Said(l), "held");
            EXPECT_EQ(HeldSentence("C:\\ZU", l.holder()).rfind(c.sentence, 0), 0u)
                << HeldSentence("C:\\ZU", l.holder());
        }
        EXPECT_EQ(Said(RunLock::Take(kLock)), "taken");
    }
}

// A file that cannot serve as the lock (read-only, a second name of another file, a pipe) is replaced by a
// file of the lock's own, unless someone holds it: then it is held, and left as it is.
TEST_F(Lock, AnUnusableFileIsReplacedUnlessSomeoneHoldsIt) {
    const fs::path other = p.root() / "altro.txt";
    TempPrefix::put(other, "intatto");
    const struct Case {
        const char* what;
        std::function<void()> make;
        bool heldByReader;
    } cases[] = {
        {"read-only", [&] { TempPrefix::put(file, "x"), fs::permissions(file, fs::perms(0444)); }, false},
        {"read-only, held", [&] { TempPrefix::put(file, "x"), fs::permissions(file, fs::perms(0444)); },
         true},
        {"second name", [&] { fs::create_hard_link(other, file); }, false},
        {"pipe", [&] { mkfifo(file.c_str(), 0666); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(file);
        c.make();
        const ino_t before = Stat().st_ino;
        {
            const ChildWhile reader([&] {
                struct flock fl {};
                fl.l_type = F_RDLCK;
                fl.l_whence = SEEK_SET;
                const int fd = c.heldByReader ? open(file.c_str(), O_RDONLY) : -1;
                return fd >= 0 && fcntl(fd, F_OFD_SETLK, &fl) == 0;
            });
            ASSERT_EQ(reader.held(), c.heldByReader);
            const RunLock l = RunLock::Take(kLock);
            EXPECT_EQ(Said(l), c.heldByReader ? "held" : "taken");
            const struct stat st = Stat();
            EXPECT_EQ(st.st_ino == before, c.heldByReader);
            EXPECT_EQ(std::distance(fs::directory_iterator(ledrana), {}), 1); // nothing left beside it
            if (!c.heldByReader) {
                EXPECT_TRUE(S_ISREG(st.st_mode));
                EXPECT_EQ(st.st_nlink, 1u);
                EXPECT_EQ(st.st_mode & 0777, 0644u); // the folder's users' mode (0755 less the execute bits)
            }
        }
        EXPECT_EQ(TempPrefix::get(other), "intatto");
    }
}

// A preview leaves no lock file where it found none, and keeps the one it found.
TEST_F(Lock, AFileMadeForAPreviewGoesWithItsLock) {
    {
        const RunLock l = RunLock::Take(kLock, "anteprima", true);
        EXPECT_EQ(Said(l), "taken");
        EXPECT_TRUE(fs::exists(file));
    }
    EXPECT_FALSE(fs::exists(file));
    TempPrefix::put(file, "");
    { const RunLock l = RunLock::Take(kLock, "anteprima", true); }
    EXPECT_TRUE(fs::exists(file));
}

} // namespace
