// A data folder shared by users and programs that do not cooperate: a run as root before the folder's own
// users, a preview beside an update, links that lead back into the folder or out of the machine, an
// archive named outside the data folder and missing, a preview killed half way, a temporary folder without
// room. One run at a time, and a preview that leaves the machine as it found it.

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/paths.h"
#include "platform/runlock.h"
#include "tests/e2e/machine.h"
#include "tests/platform/child_process.h"

namespace ledrana::e2e {
namespace {

using ledrana::testing::Background;
using ledrana::testing::ScopedEnv;
using ledrana::testing::ShellQuote;
using ledrana::testing::TempPrefix;

// aggiorna-guasti run on the machine as `uid` (with setpriv) from `model`, its answers (private to `uid`),
// its log and every change it makes (its trace) in `dir`.
std::vector<std::string> RunAs(const Machine& m, const fs::path& dir, uid_t uid, gid_t gid,
                               const fs::path& model) {
    const std::vector<std::string> line = m.RunLine(
        {"setpriv", "--reuid=" + std::to_string(uid), "--regid=" + std::to_string(gid), "--clear-groups",
         "env", "HOME=" + dir.string(), E2E_AGGIORNA_GUASTI, "--trace", (dir / "trace.txt").string()},
        dir, {"--log", (dir / "log.txt").string()}, model);
    EXPECT_EQ(chown((dir / "answers.txt").c_str(), uid, gid), 0);
    EXPECT_EQ(chown(dir.c_str(), uid, gid), 0);
    return line;
}

// A run as root, then two runs of the folder's owner 0.4 s apart. The root run leaves everything it made
// in the data folder the owner's; of the two that follow one updates, the other says who holds the folder
// and changes nothing at all (its trace of changes is empty).
TEST(E2eLocks, ARootRunThenTwoRunsOfTheFoldersUserOneRunsTheOtherTouchesNothing) {
    if (geteuid() != 0) GTEST_SKIP() << "only the superuser can run as root and as another user";
    const struct passwd* user = getpwnam("nobody");
    ASSERT_NE(user, nullptr);
    Machine m("old");
    const ModelFolder model;
    for (const fs::path& root : {m.root(), model.path()}) {
        ASSERT_EQ(chown(root.c_str(), user->pw_uid, user->pw_gid), 0);
        for (const auto& e : fs::recursive_directory_iterator(root))
            ASSERT_EQ(lchown(e.path().c_str(), user->pw_uid, user->pw_gid), 0) << e.path();
    }
    const Outcome root = m.Update(kAnswers, model.path());
    ASSERT_EQ(root.status, 0) << root.console;
    for (const auto& e : fs::recursive_directory_iterator(m.host(kData))) {
        struct stat st {};
        lstat(e.path().c_str(), &st);
        EXPECT_EQ(st.st_uid, user->pw_uid) << e.path() << " is the root run's";
        EXPECT_EQ(st.st_gid, user->pw_gid) << e.path() << " is the root run's";
    }

    const fs::path a = m.root() / "run-a", b = m.root() / "run-b";
    Background first(RunAs(m, a, user->pw_uid, user->pw_gid, model.path()), m.root());
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    Background second(RunAs(m, b, user->pw_uid, user->pw_gid, model.path()), m.root());
    first.WaitForLine("\x01", 600); // all it prints, until it ends
    second.WaitForLine("\x01", 600);
    const int one = first.Continue(), two = second.Continue();
    ASSERT_TRUE((one == 0) != (two == 0)) << first.output() << "\n----\n" << second.output();
    const Background& held = one == 0 ? second : first;
    const fs::path heldDir = one == 0 ? b : a;
    EXPECT_EQ(one == 0 ? two : one, 6) << held.output();
    EXPECT_NE(
        held.output().find("Un altro aggiornamento della cartella dati C:\\ZU è in corso dal computer " +
                           platform::ComputerName() + " (utente nobody), iniziato il "),
        std::string::npos)
        << held.output();
    EXPECT_EQ(TempPrefix::get(heldDir / "trace.txt"), "") << "the held run changed something";
}

// Two runs on one data folder exclude each other. An update or a preview stopped just before its second
// change (its first made the lock file) holds the folder: an update or a preview beside it says who holds
// it since when, and ends having changed nothing; the first then ends well.
TEST(E2eLocks, OfTwoRunsAtOnceOneRunsTheOtherTouchesNothing) {
    const struct {
        const char *first, *second, *holder, *end;
    } cases[] = {
        {"", "", "Un altro aggiornamento", "Questo aggiornamento termina senza modificare nulla"},
        {"", "--anteprima", "Un altro aggiornamento", "L'anteprima termina senza fare nulla"},
        {"--anteprima", "", "Un'anteprima dell'aggiornamento",
         "Questo aggiornamento termina senza modificare nulla"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("held by '") + c.first + "', then '" + c.second + "'");
        Machine m("old");
        const fs::path dir = m.root() / "run-first";
        std::vector<std::string> more{"--log", (dir / "log.txt").string()};
        if (*c.first) more.push_back(c.first);
        Background first(m.RunLine({E2E_AGGIORNA_GUASTI, "--stop-at", "2"}, dir, more), m.root());
        ASSERT_TRUE(first.WaitForLine("stopped")) << first.output();
        const auto before = Snapshot(m.root());
        const Outcome second = m.Update(kAnswers, ReleaseFolder(), c.second);
        EXPECT_EQ(second.status, 6) << second.console;
        const std::string said = std::string(c.holder) +
                                 " della cartella dati C:\\ZU è in corso dal computer " +
                                 platform::ComputerName() + " (utente ";
        for (const std::string& text : {said, std::string(", iniziato il "), std::string(c.end)})
            EXPECT_NE(second.console.find(text), std::string::npos) << text << "\n" << second.console;
        if (!*c.second) {
            EXPECT_NE(second.box(said), -1) << second.console;
            EXPECT_EQ(second.entries, std::vector<std::string>{kFailed}) << second.log;
        }
        EXPECT_TRUE(Snapshot(m.root()) == before) << "the second run changed a file";
        EXPECT_EQ(first.Continue(), 0) << first.output();
        EXPECT_TRUE(*c.first || TempPrefix::get(dir / "log.txt").find("\r\n->Aggiornamento eseguito") !=
                                    std::string::npos);
    }
}

// Nothing outside the scratch machine is created, written or removed by a preview, not even a folder (on
// the sample installation as it is, the update suite's preview checks it): on an empty machine without even
// a skeleton (its report goes to the temporary folder); and on the sample with links that lead back into the
// data folder or out of the machine and a company whose accounting archive is named outside the data folder
// and is missing (whose pictures the run puts beside it), an archive that holds half of a change and one
// with a link where a write-ahead log would be. The scratch machine goes with the preview.
TEST(E2ePreviewBox, APreviewLeavesTheMachineAsItFoundIt) {
    for (const bool links : {false, true}) {
        SCOPED_TRACE(links ? "the sample with links" : "an empty machine");
        Machine m(links ? "old" : "");
        if (!links) fs::remove_all(m.root() / "drive_c");
        if (links) {
            fs::create_directory_symlink("..", m.host(kData + "\\Alfa") / "giro");
            fs::create_directory_symlink("/", m.host(kData) / "radice");
            fs::create_directories(m.root() / "altrove");
            std::string beta = m.read(kData + "\\ledrana\\Beta.ini");
            ASSERT_NE(beta.find("C:\\ZU\\Beta"), std::string::npos) << beta;
            beta.replace(beta.find("C:\\ZU\\Beta"), 10,
                         platform::WindowsPath((m.root() / "altrove").string()));
            m.write(kData + "\\ledrana\\Beta.ini", beta);
            m.LeaveHalfWritten("C:\\ZU\\Gamma\\Cont32.mdb");
            fs::create_symlink("/proc/self/mem", m.host(kData + "\\Alfa\\Cont32.mdb-wal"));
        }
        const fs::path temp = m.root() / "run-tmp";
        fs::create_directories(temp);
        const ScopedEnv tmpdir("TMPDIR", temp.string());
        const auto before = Digest(m.root());
        const Outcome o = m.Update(kAnswers, ReleaseFolder(), "--anteprima");
        ASSERT_EQ(o.status, links ? 5 : 0) << o.console; // Beta without its archive is not updated
        EXPECT_EQ(ChangedSince(before, m.root(), o.report), "");
        // The scratch machine is gone; the temporary folder holds the report of an empty machine only.
        EXPECT_EQ(Names(temp).size(), links ? 0u : 1u);
        EXPECT_EQ(o.report.parent_path().parent_path() == temp, !links) << o.report;
        const std::string html = TempPrefix::get(o.report);
        EXPECT_EQ(html.find("il collegamento C:\\ZU\\radice porta a Z:\\, fuori dalla macchina") !=
                      std::string::npos,
                  links);
        // Half of a change left in Gamma's archive: undone on the preview's copy, the archive left as it is.
        EXPECT_EQ(html.find("modifica lasciata a metà") != std::string::npos, links);
        // The link where Alfa's log would be leads to what cannot be read: missing from the copy, its
        // archive copied without it.
        EXPECT_EQ(html.find("Cont32.mdb-wal non è stato copiato") != std::string::npos, links);
        EXPECT_EQ(html.find("Cont32.mdb non è stato copiato"), std::string::npos);
    }
}

// A preview killed half way leaves its scratch machine; the next preview, or the next run, removes it.
TEST(E2ePreviewBox, AKilledPreviewsScratchIsRemovedByTheNextPreviewOrRun) {
    Machine m("old");
    const fs::path temp = m.root() / "run-tmp";
    fs::create_directories(temp);
    const ScopedEnv tmpdir("TMPDIR", temp.string());
    const std::string killed =
        Shelled(m.RunLine({E2E_AGGIORNA_GUASTI, "--kill-at", "30", "--anteprima"}, m.root() / "run"));
    for (const char* next : {"--anteprima", ""}) {
        SCOPED_TRACE(*next ? "a preview" : "a run");
        EXPECT_NE(m.Shell(killed, nullptr), 0);
        ASSERT_EQ(Names(temp).size(), 1u);
        EXPECT_FALSE(fs::is_empty(temp / Names(temp)[0]));
        EXPECT_EQ(m.Update(kAnswers, ReleaseFolder(), next).status, 0);
        EXPECT_EQ(Names(temp), std::vector<std::string>{});
    }
}

// A temporary folder without room for the copies stops the preview before it copies anything, saying how
// much it needs.
TEST(E2ePreviewBox, WithoutRoomForItsCopiesThePreviewDoesNotStart) {
    if (std::system("unshare -m true 2>/dev/null") != 0) GTEST_SKIP() << "no mount namespace of our own here";
    Machine m("old");
    const fs::path small = m.root() / "run-small";
    fs::create_directories(small);
    const std::string preview = Shelled(m.RunLine({E2E_AGGIORNA_BATCH, "--anteprima"}, m.root() / "run"));
    const auto before = Digest(m.root());
    std::string out;
    const int status = m.Shell("unshare -m sh -c " +
                                   ShellQuote("mount -t tmpfs -o size=1m none " + ShellQuote(small.string()) +
                                              " && TMPDIR=" + ShellQuote(small.string()) + " " + preview),
                               &out);
    EXPECT_EQ(status, 4) << out;
    EXPECT_NE(
        out.find(
            "anteprima impossibile: 61 Spazio insufficiente per l'anteprima: le copie dell'installazione "
            "richiedono "),
        std::string::npos)
        << out;
    EXPECT_EQ(ChangedSince(before, m.root(), ""), "");
}

} // namespace
} // namespace ledrana::e2e
