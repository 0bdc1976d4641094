// Work done in a child process: its answer, or how it ended, and this process always goes on.

#include "platform/child.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <thread>

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
// the body forgets to; anyone else's child keeps its user.
TEST(RunInChild, WorksAsTheUserOfItsLimitsOnceItsFilesAreOpen) {
    const auto ids = [] { return std::to_string(geteuid()) + " " + std::to_string(getegid()); };
    const ChildLimits user{4242, 4243, 0};
    const ChildOutcome lowered =
        RunInChild([&] { return LowerChildRights(), ids(); }, std::chrono::seconds(10), user);
    const ChildOutcome forgot = RunInChild(ids, std::chrono::seconds(10), user);
    const bool root = geteuid() == 0;
    EXPECT_EQ(lowered.answer, root ? "4242 4243" : ids());
    EXPECT_EQ(forgot.answer, root ? "" : ids());
}
