// Work done in a child process: its answer, or how it ended, and this process always goes on.

#include "platform/child.h"

#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>
#include <thread>

using namespace ledrana::platform;
using namespace std::chrono_literals;

TEST(RunInChild, GivesTheAnswerOrHowTheChildEnded) {
    struct Case {
        const char* what;
        std::function<std::string()> body;
        ChildOutcome::End end;
        std::string answer;
        int signal;
    } cases[] = {
        {"answers", [] { return std::string(100000, 'x'); }, ChildOutcome::End::Answered,
         std::string(100000, 'x'), 0},
        {"throws", []() -> std::string { throw std::runtime_error("no"); }, ChildOutcome::End::Failed, "", 0},
        {"crashes",
         []() -> std::string {
             std::raise(SIGSEGV);
             return "late";
         },
         ChildOutcome::End::Signalled, "", SIGSEGV},
        {"never ends",
         []() -> std::string {
             std::this_thread::sleep_for(1h);
             return "late";
         },
         ChildOutcome::End::TimedOut, "", 0},
    };
    for (const Case& c : cases) {
        const ChildOutcome o = RunInChild(c.body, 2s);
        EXPECT_EQ(o.end, c.end) << c.what;
        EXPECT_EQ(o.answer, c.answer) << c.what;
        EXPECT_EQ(o.signal, c.signal) << c.what;
    }
}
