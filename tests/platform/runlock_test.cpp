// The data folder's lock between processes and users: one holder at a time, whatever kind of lock another
// holds, whoever made the file and however it was left.

#include "platform/runlock.h"

#include "platform/child.h"
#include "tests/platform/child_process.h"
#include "tests/platform/temp_prefix.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace ledrana::platform;
using ledrana::testing::ChildWhile;
using ledrana::testing::TempPrefix;

namespace {

const std::string kLock = "C:\\ZU\\ledrana\\update.lock";

bool Taken(const RunLock& l) {
    return l.state() == RunLock::State::Taken;
}

// Another process that holds the lock as `uid` (the superuser's test; -1 keeps the user) until it goes.
struct HolderAs : ChildWhile {
    explicit HolderAs(uid_t uid, gid_t gid = 4242)
        : ChildWhile([=] {
              if (uid != static_cast<uid_t>(-1) &&
                  (setgroups(0, nullptr) != 0 || setresgid(gid, gid, gid) != 0 ||
                   setresuid(uid, uid, uid) != 0))
                  return false;
              return Taken(*new RunLock(RunLock::Take(kLock)));
          }) {}
};

class Lock : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(ledrana);
        for (fs::path f = ledrana; f != p.root().parent_path(); f = f.parent_path())
            fs::permissions(f, fs::perms(0755)); // other users reach it, as they reach a data folder
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

// A run as root makes the lock file its folder's (owner, group, the folder's users' mode), and replaces one
// an earlier version left root's and read-only; each user of the folder then holds it alone: another user,
// a second process of the same user and root find it held, and learn who holds it.
TEST_F(Lock, ARootRunLeavesTheFileToTheFoldersUsersWhoHoldItOneAtATime) {
    if (geteuid() != 0) GTEST_SKIP() << "only the superuser can act as other users";
    ASSERT_EQ(chown(ledrana.c_str(), 4242, 4242), 0);
    fs::permissions(ledrana, fs::perms(02770));
    for (const bool leftByRoot : {false, true}) {
        SCOPED_TRACE(leftByRoot ? "a file root left" : "a new file");
        fs::remove(file);
        if (leftByRoot)
            TempPrefix::put(file, "computer=vecchio\r\n");
        else
            EXPECT_TRUE(Taken(RunLock::Take(kLock)));
        const HolderAs user(4242);
        ASSERT_TRUE(user.held());
        EXPECT_EQ(Stat().st_uid, 4242u);
        EXPECT_EQ(Stat().st_gid, 4242u);
        EXPECT_EQ(Stat().st_mode & 07777, 0660u);
        EXPECT_FALSE(HolderAs(4242).held());
        EXPECT_FALSE(HolderAs(4243).held());
        const RunLock root = RunLock::Take(kLock);
        EXPECT_EQ(HeldSentence("C:\\ZU", root.holder()),
                  "Un altro aggiornamento della cartella dati C:\\ZU è in corso dal computer " +
                      ComputerName() + " (utente 4242), iniziato il " + root.holder().since.substr(0, 10) +
                      " alle " + root.holder().since.substr(11));
    }
}

// Whoever holds a lock of either kind on the file keeps it away: flock (exclusive or shared), a plain POSIX
// lock, a preview. What the holder wrote says what holds it; a holder that wrote nothing is "an update or a
// preview".
TEST_F(Lock, EitherKindOfLockHeldElsewhereKeepsItAway) {
    TempPrefix::put(file, "");
    const auto opened = [this](const std::function<bool(int)>& lock) {
        return [this, lock] { return lock(open(file.c_str(), O_RDONLY)); };
    };
    const auto posixRead = [](int fd) {
        struct flock fl {};
        fl.l_type = F_RDLCK;
        return fcntl(fd, F_SETLK, &fl) == 0;
    };
    const std::string unknown = "Un altro aggiornamento o un'anteprima della cartella dati C:\\ZU è in corso";
    const struct {
        std::function<bool()> hold;
        std::string said;
    } cases[] = {
        {opened([](int fd) { return flock(fd, LOCK_EX | LOCK_NB) == 0; }), unknown},
        {opened([](int fd) { return flock(fd, LOCK_SH | LOCK_NB) == 0; }), unknown},
        {opened(posixRead), unknown},
        {[] { return Taken(*new RunLock(RunLock::Take(kLock, "anteprima"))); },
         "Un'anteprima dell'aggiornamento della cartella dati C:\\ZU è in corso dal computer "},
    };
    for (const auto& c : cases) {
        {
            const ChildWhile holder(c.hold);
            ASSERT_TRUE(holder.held());
            const RunLock l = RunLock::Take(kLock);
            EXPECT_EQ(l.state(), RunLock::State::Held) << c.said;
            EXPECT_EQ(HeldSentence("C:\\ZU", l.holder()).rfind(c.said, 0), 0u)
                << HeldSentence("C:\\ZU", l.holder());
        }
        EXPECT_TRUE(Taken(RunLock::Take(kLock))) << c.said;
    }
}

// A name that cannot serve as the lock (a read-only file, a second name of another file, a pipe, a link) is
// given a file of the lock's own, and what it named is left alone; a file someone holds (a reader that took
// it shared) is held, and left as it is.
TEST_F(Lock, AnUnusableFileIsReplacedUnlessSomeoneHoldsIt) {
    const fs::path other = p.root() / "altro.txt";
    TempPrefix::put(other, "intatto");
    const auto readOnly = [this] { TempPrefix::put(file, "x"), fs::permissions(file, fs::perms(0444)); };
    const struct {
        const char* what;
        std::function<void()> make;
        bool held;
    } cases[] = {
        {"read-only", readOnly, false},
        {"read-only, held by a reader", readOnly, true},
        {"second name", [&] { fs::create_hard_link(other, file); }, false},
        {"pipe", [&] { mkfifo(file.c_str(), 0666); }, false},
        {"link", [&] { fs::create_symlink(other, file); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(file);
        c.make();
        const ino_t before = Stat().st_ino;
        const ChildWhile reader([&] {
            struct flock fl {};
            fl.l_type = F_RDLCK;
            return c.held && fcntl(open(file.c_str(), O_RDONLY), F_OFD_SETLK, &fl) == 0;
        });
        EXPECT_EQ(Taken(RunLock::Take(kLock)), !c.held);
        // Held: the same file. Else a plain file of one name, the folder's users' mode.
        const struct stat after = Stat();
        EXPECT_TRUE(!c.held || after.st_ino == before);
        EXPECT_EQ(after.st_mode, c.held ? S_IFREG | 0444u : S_IFREG | 0644u);
        EXPECT_EQ(after.st_nlink, 1u);
        EXPECT_EQ(std::distance(fs::directory_iterator(ledrana), {}), 1); // nothing left beside it
        EXPECT_EQ(TempPrefix::get(other), "intatto");
    }
}

// A preview leaves no lock file where it found none, and keeps the one it found.
TEST_F(Lock, AFileMadeForAPreviewGoesWithItsLock) {
    EXPECT_TRUE(Taken(RunLock::Take(kLock, "anteprima", true)));
    EXPECT_FALSE(fs::exists(file));
    TempPrefix::put(file, "");
    EXPECT_TRUE(Taken(RunLock::Take(kLock, "anteprima", true)));
    EXPECT_TRUE(fs::exists(file));
}

} // namespace
