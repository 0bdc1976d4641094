// Work done in a child process: its answer, or how it ended, and this process always goes on.

#include "platform/child.h"

#include "tests/platform/temp_prefix.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <thread>
#include <tuple>

using namespace ledrana::platform;
using End = ChildOutcome::End;

TEST(RunInChild, GivesTheAnswerOrHowTheChildEnded) {
    const std::string big(100000, 'x'); // more than a pipe holds at once
    struct Case {
        std::function<std::string()> body;
        End end;
        std::string answer;
        int signal;
    } cases[] = {
        {[&] { return big; }, End::Answered, big, 0},
        {[]() -> std::string { throw 1; }, End::Failed, "", 0},
        // SIGILL rather than SIGSEGV: the sanitizer build turns a SIGSEGV into its report and an exit.
        {[] { return std::raise(SIGILL) ? "" : "after"; }, End::Signalled, "", SIGILL},
        {[] { return std::this_thread::sleep_for(std::chrono::hours(1)), "late"; }, End::TimedOut, "", 0},
    };
    for (const Case& c : cases) {
        const ChildOutcome o = RunInChild(c.body, std::chrono::seconds(2));
        EXPECT_EQ(static_cast<int>(o.end), static_cast<int>(c.end)) << &c - cases;
        EXPECT_EQ(o.answer, c.answer) << &c - cases;
        EXPECT_EQ(o.signal, c.signal) << &c - cases;
    }
}

// The child keeps none of this process's descriptors: only its answer's pipe, and standard streams that lead
// nowhere.
TEST(RunInChild, KeepsNoneOfThisProcesssDescriptors) {
    const int mine = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(mine, 0);
    const ChildOutcome o = RunInChild(
        [] {
            std::string seen;
            for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
                const std::string target = std::filesystem::read_symlink(e.path()).string();
                if (target.rfind("/proc/", 0) != 0) // the listing's own
                    seen += e.path().filename().string() + "=" + target.substr(0, 5) + " ";
            }
            return seen;
        },
        std::chrono::seconds(10));
    close(mine);
    EXPECT_EQ(o.answer, "0=/dev/ 1=/dev/ 2=/dev/ 3=pipe: ");
}

// The superuser's child works as the user of its limits once its body says so, and gives no answer when
// the body forgets to; a reader of a file is its owner, or nobody for the superuser's own files. Anyone
// else's child keeps its user.
TEST(RunInChild, WorksAsTheUserOfItsLimitsOnceItsFilesAreOpen) {
    const auto ids = [] { return std::to_string(geteuid()) + " " + std::to_string(getegid()); };
    const ChildLimits user{4242, 4243, 0};
    const ChildOutcome lowered =
        RunInChild([&] { return LowerChildRights(), ids(); }, std::chrono::seconds(10), user);
    const ChildOutcome forgot = RunInChild(ids, std::chrono::seconds(10), user);
    if (geteuid() != 0) {
        EXPECT_EQ(lowered.answer, ids());
        EXPECT_EQ(forgot.answer, ids());
        return;
    }
    EXPECT_EQ(lowered.answer, "4242 4243");
    EXPECT_EQ(static_cast<int>(forgot.end), static_cast<int>(End::Failed));

    const ledrana::testing::TempPrefix p;
    const std::string owned = (p.root() / "di4242.mdb").string(), root = (p.root() / "root.mdb").string();
    ledrana::testing::TempPrefix::put(owned, "");
    ledrana::testing::TempPrefix::put(root, "");
    ASSERT_EQ(chown(owned.c_str(), 4242, 4243), 0);
    const struct passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    for (const auto& [file, uid, gid] :
         {std::tuple{owned, 4242u, 4243u}, std::tuple{root, nobody->pw_uid, nobody->pw_gid}}) {
        const ChildLimits reader = ReaderOf(file);
        EXPECT_EQ(reader.uid, uid) << file;
        EXPECT_EQ(reader.gid, gid) << file;
    }
}

// Memory beyond the child's ceiling ends it as out of memory; this process goes on.
TEST(RunInChild, MemoryBeyondTheCeilingEndsTheChildAsOutOfMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator ends the process itself when memory is refused";
#endif
    ChildLimits small;
    small.memory = std::uint64_t{64} << 20;
    const auto big = [] {
        const auto block = std::make_unique_for_overwrite<char[]>(std::size_t{1} << 30);
        block[4096] = 'x'; // one page of it in use: the allocation is not left out
        return std::string(1, *static_cast<volatile char*>(&block[4096]));
    };
    EXPECT_EQ(static_cast<int>(RunInChild(big, std::chrono::seconds(30), small).end),
              static_cast<int>(End::OutOfMemory));
    EXPECT_EQ(RunInChild(big, std::chrono::seconds(30)).answer, "x");
}
