// Work done in a child process: its answer, or how it ended, and this process always goes on.

#include "platform/child.h"

#include <gtest/gtest.h>

#include <csignal>
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
