// A data folder shared by users and programs that do not cooperate: a run as root before the folder's own
// users, a script holding the lock with flock(1), a preview beside an update, links that lead back into the
// folder or out of the machine, an archive named outside the data folder and missing, a preview killed
// half way, a temporary folder without room. One run at a time, and a preview that leaves the machine as
// it found it.

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

#include "platform/runlock.h"
#include "platform/text.h"
#include "tests/e2e/machine.h"
#include "tests/platform/child_process.h"

namespace ledrana::e2e {
namespace {

using ledrana::testing::Background;
using ledrana::testing::ShellQuote;
using ledrana::testing::TempPrefix;

// aggiorna-batch's statuses for a data folder another run holds (the run's, the preview's) before it has
// its own: the end of a failed run, a preview that could not be made.
bool HeldStatus(int status, bool preview) {
    return status == 6 || status == (preview ? 4 : 1);
}

// How one run of a program ended: its status, what it printed, the entries of its log.
struct Ran {
    int status = -1;
    std::string console;
    std::vector<std::string> entries;
};

// An unattended run of `program` on the machine, its files in `dir` (answers, log, trace), with more
// arguments; with `tmpdir` as its temporary folder when one is given; as the user `uid` (the superuser
// becomes it with setpriv), who updates from `model`.
std::vector<std::string> RunLine(const Machine& m, const fs::path& dir, const std::string& program,
                                 const std::vector<std::string>& more, const std::string& tmpdir = "",
                                 uid_t uid = geteuid(), gid_t gid = getegid(),
                                 const fs::path& model = ReleaseFolder()) {
    fs::create_directories(dir);
    std::ofstream(dir / "answers.txt") << kAnswers;
    std::vector<std::string> line;
    if (uid != geteuid()) {
        EXPECT_EQ(chown(dir.c_str(), uid, gid), 0);
        line = {"setpriv", "--reuid=" + std::to_string(uid), "--regid=" + std::to_string(gid),
                "--clear-groups"};
    }
    line.push_back("env");
    if (uid != geteuid()) line.push_back("HOME=" + dir.string());
    if (!tmpdir.empty()) line.push_back("TMPDIR=" + tmpdir);
    for (const std::string& a : {program, std::string("--prefix"), m.root().string(), std::string("--model"),
                                 model.string(), std::string("--answers"), (dir / "answers.txt").string(),
                                 std::string("--log"), (dir / "log.txt").string()})
        line.push_back(a);
    line.insert(line.end(), more.begin(), more.end());
    return line;
}

// Waits for a program started with RunLine and reads what it left in `dir`.
Ran Finish(Background& b, const fs::path& dir) {
    b.WaitForLine("\x01", 600); // everything it prints, until it ends
    Ran r;
    r.status = b.Continue();
    r.console = b.output();
    const std::string log = TempPrefix::get(dir / "log.txt"), sep = "\r\n->";
    for (std::size_t at = log.find(sep); at != std::string::npos;) {
        const std::size_t next = log.find(sep, at + sep.size());
        r.entries.push_back(
            log.substr(at + sep.size(), next == std::string::npos ? next : next - at - sep.size()));
        at = next;
    }
    return r;
}

Ran RunNow(const Machine& m, const fs::path& dir, const std::vector<std::string>& more,
           const fs::path& tmpdir, const std::string& program = E2E_AGGIORNA_BATCH) {
    Background b(RunLine(m, dir, program, more, tmpdir.string()), m.root());
    return Finish(b, dir);
}

// Every file, folder and link under `root` as Snapshot gives it (kind, mode, a file's bytes, a link's
// target), with its owner and group, then (after a tab) the time of its last change.
std::map<std::string, std::string> Digest(const fs::path& root) {
    std::map<std::string, std::string> out = Snapshot(root);
    for (auto& [name, v] : out) {
        struct stat st {};
        lstat((root / name).c_str(), &st);
        v += " " + std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid) + "\t" +
             std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
    }
    return out;
}

// The digest of a machine after a preview, its report left out, and the folders on the report's way: one
// made for it, the time of change of one that was there (a name was added in it); and the time of change
// of the company folder, where the preview's lock file was made and removed.
std::map<std::string, std::string> DigestBut(const fs::path& root, const fs::path& report,
                                             const std::map<std::string, std::string>& before) {
    std::map<std::string, std::string> after = Digest(root);
    const auto untimed = [](const std::string& v) { return v.substr(0, v.rfind('\t')); };
    // The lock file: made in the company folder when it has none, and removed.
    for (const auto& [name, was] : before)
        if (UCase(name) == "DRIVE_C/ZU/LEDRANA" && after.count(name) && untimed(after[name]) == untimed(was))
            after[name] = was;
    const fs::path rel = fs::relative(report, root);
    if (report.empty() || rel.begin()->string() == ".." || rel.begin()->string().rfind("run", 0) == 0)
        return after;
    EXPECT_EQ(after.erase(rel.string()), 1u);
    for (fs::path folder = rel.parent_path(); !folder.empty(); folder = folder.parent_path()) {
        const auto was = before.find(folder.string());
        if (was == before.end())
            after.erase(folder.string());
        else if (untimed(after[folder.string()]) == untimed(was->second))
            after[folder.string()] = was->second;
    }
    return after;
}

// The names whose digest differs, for a failure's message.
std::string Differences(const std::map<std::string, std::string>& a,
                        const std::map<std::string, std::string>& b) {
    std::string out;
    for (const auto& [name, v] : a)
        if (!b.count(name) || b.at(name) != v) out += name + "\n";
    for (const auto& [name, v] : b)
        if (!a.count(name)) out += name + " (new)\n";
    return out;
}

std::string Printed(const Ran& r, const std::string& prefix) {
    const std::size_t at = r.console.find(prefix);
    return at == std::string::npos
               ? ""
               : r.console.substr(at + prefix.size(), r.console.find('\n', at) - at - prefix.size());
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

// A run as root, then two runs of the folder's owner 0.4 s apart. The root run leaves everything it made
// in the data folder the owner's, and the lock file usable by the folder's users; of the two that follow
// one updates, the other says who holds the folder and changes nothing at all.
TEST(E2eLocks, ARootRunThenTwoRunsOfTheFoldersUserOneRunsTheOtherTouchesNothing) {
    if (geteuid() != 0) GTEST_SKIP() << "only the superuser can run as root and as another user";
    const struct passwd* user = getpwnam("nobody");
    ASSERT_NE(user, nullptr);
    // The installation and the new version are the user's; root runs first.
    Machine m("old");
    const ModelFolder model;
    for (const fs::path& root : {m.root(), model.path()}) {
        ASSERT_EQ(chown(root.c_str(), user->pw_uid, user->pw_gid), 0);
        for (const auto& e : fs::recursive_directory_iterator(root))
            ASSERT_EQ(lchown(e.path().c_str(), user->pw_uid, user->pw_gid), 0) << e.path();
    }

    const Outcome root = m.Update(kAnswers, model.path());
    ASSERT_EQ(root.status, 0) << root.console;
    std::vector<std::string> roots;
    for (const auto& e : fs::recursive_directory_iterator(m.host(kData))) {
        struct stat st {};
        lstat(e.path().c_str(), &st);
        if (st.st_uid != user->pw_uid || st.st_gid != user->pw_gid) roots.push_back(e.path().string());
    }
    EXPECT_EQ(roots, std::vector<std::string>{}) << "made by the root run and not the folder's";
    struct stat lock {
    }, ledrana{};
    ASSERT_EQ(stat(m.host(kData + "\\ledrana\\update.lock").c_str(), &lock), 0);
    ASSERT_EQ(stat(m.host(kData + "\\ledrana").c_str(), &ledrana), 0);
    EXPECT_EQ(lock.st_mode & 0777, ledrana.st_mode & 0666);

    const fs::path a = m.root() / "run-a", b = m.root() / "run-b";
    Background first(RunLine(m, a, E2E_AGGIORNA_GUASTI, {"--trace", (a / "trace.txt").string()}, "",
                             user->pw_uid, user->pw_gid, model.path()),
                     m.root());
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    Background second(RunLine(m, b, E2E_AGGIORNA_GUASTI, {"--trace", (b / "trace.txt").string()}, "",
                              user->pw_uid, user->pw_gid, model.path()),
                      m.root());
    const Ran one = Finish(first, a), two = Finish(second, b);
    ASSERT_TRUE((one.status == 0) != (two.status == 0)) << one.console << "\n----\n" << two.console;
    const Ran& ran = one.status == 0 ? one : two;
    const Ran& held = one.status == 0 ? two : one;
    const fs::path heldDir = one.status == 0 ? b : a;
    EXPECT_EQ(ran.entries.back(), "Aggiornamento eseguito");
    EXPECT_TRUE(HeldStatus(held.status, false)) << held.console;
    EXPECT_NE(held.console.find("Un altro aggiornamento della cartella dati C:\\ZU è in corso dal computer " +
                                platform::ComputerName() + " (utente nobody), iniziato il "),
              std::string::npos)
        << held.console;
    EXPECT_EQ(held.entries, std::vector<std::string>{kFailed});
    EXPECT_EQ(TempPrefix::get(heldDir / "trace.txt"), "") << "the held run changed something";
    EXPECT_EQ(Printed(held, "rapporto: "), "");
}

// A script that holds the lock file with flock(1) keeps an update and a preview away: both say so and
// change nothing.
TEST(E2eLocks, AFlockHolderKeepsTheUpdateAndThePreviewAway) {
    Machine m("old");
    const std::string lock = m.host(kData + "\\ledrana\\update.lock").string();
    Background holder({"flock", "-n", lock, "-c", "echo holding; exec sleep 600"}, m.root());
    ASSERT_TRUE(holder.WaitForLine("holding")) << holder.output();
    const auto before = Snapshot(m.root());

    const Outcome run = m.Update();
    EXPECT_TRUE(HeldStatus(run.status, false)) << run.console;
    EXPECT_NE(run.box("Un altro aggiornamento o un'anteprima della cartella dati C:\\ZU è in corso.\n"), -1)
        << run.console;
    EXPECT_EQ(run.entries, std::vector<std::string>{kFailed});
    const Outcome preview = m.Update(kAnswers, ReleaseFolder(), "--anteprima");
    EXPECT_TRUE(HeldStatus(preview.status, true)) << preview.console;
    EXPECT_NE(
        preview.console.find("Un altro aggiornamento o un'anteprima della cartella dati C:\\ZU è in corso.\n"
                             "L'anteprima termina senza fare nulla"),
        std::string::npos)
        << preview.console;
    EXPECT_TRUE(Snapshot(m.root()) == before);
}

// An update and a preview exclude each other: each finds the other holding the folder, says which, and
// ends without changing anything; the one that held it ends well.
TEST(E2eLocks, APreviewAndAnUpdateExcludeEachOther) {
    Machine m("old");
    const fs::path dir = m.root() / "run-first";
    // Stopped just before its second change: it holds the lock (its first change made the lock file).
    Background update(RunLine(m, dir, E2E_AGGIORNA_GUASTI, {"--stop-at", "2"}), m.root());
    ASSERT_TRUE(update.WaitForLine("stopped")) << update.output();
    const auto before = Snapshot(m.root());
    const Outcome preview = m.Update(kAnswers, ReleaseFolder(), "--anteprima");
    EXPECT_TRUE(HeldStatus(preview.status, true)) << preview.console;
    EXPECT_NE(
        preview.console.find("Un altro aggiornamento della cartella dati C:\\ZU è in corso dal computer " +
                             platform::ComputerName()),
        std::string::npos)
        << preview.console;
    EXPECT_NE(preview.console.find("L'anteprima termina senza fare nulla"), std::string::npos);
    EXPECT_TRUE(Snapshot(m.root()) == before);
    EXPECT_EQ(update.Continue(), 0) << update.output();

    // Stopped at its first change, a copy in its scratch machine: it holds the lock.
    const fs::path again = m.root() / "run-preview";
    Background previewing(RunLine(m, again, E2E_AGGIORNA_GUASTI, {"--anteprima", "--stop-at", "1"}),
                          m.root());
    ASSERT_TRUE(previewing.WaitForLine("stopped")) << previewing.output();
    const auto seen = Snapshot(m.root());
    const Outcome run = m.Update();
    EXPECT_TRUE(HeldStatus(run.status, false)) << run.console;
    EXPECT_NE(run.box("Un'anteprima dell'aggiornamento della cartella dati C:\\ZU è in corso dal computer " +
                      platform::ComputerName()),
              -1)
        << run.console;
    EXPECT_EQ(run.entries, std::vector<std::string>{kFailed});
    EXPECT_TRUE(Snapshot(m.root()) == seen);
    EXPECT_EQ(previewing.Continue(), 0) << previewing.output();
}

// Nothing outside the scratch machine is created, written or removed by a preview, not even a folder: on
// the sample installation; on an empty machine (whose report goes to the temporary folder, the machine has
// no data folder); and with links that lead back into the data folder or out of the machine and a company
// whose accounting archive is named outside the data folder and is missing (whose pictures the run puts
// beside it). The scratch machine goes with the preview.
TEST(E2ePreviewBox, APreviewLeavesTheMachineAsItFoundIt) {
    const struct Case {
        const char* what;
        const char* kind;
        std::function<void(const Machine&)> prepare;
    } cases[] = {
        {"sample", "old", [](const Machine&) {}},
        {"empty", "", [](const Machine& m) { fs::remove_all(m.root() / "drive_c"); }}, // not even a skeleton
        {"links and a missing archive elsewhere", "old",
         [](const Machine& m) {
             fs::create_directory_symlink("..", m.host(kData + "\\Alfa") / "giro");
             fs::create_directory_symlink("/", m.host(kData) / "radice");
             fs::create_directories(m.root() / "altrove");
             const std::string ini = kData + "\\ledrana\\Beta.ini";
             std::string beta = m.read(ini);
             const std::string was = "C:\\ZU\\Beta\\CONT32.MDB";
             std::string elsewhere = "Z:" + (m.root() / "altrove" / "CONT32.MDB").string();
             std::replace(elsewhere.begin(), elsewhere.end(), '/', '\\');
             ASSERT_NE(beta.find(was), std::string::npos) << beta;
             beta.replace(beta.find(was), was.size(), elsewhere);
             m.write(ini, beta);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Machine m(c.kind);
        c.prepare(m);
        const fs::path temp = m.root() / "run-tmp";
        fs::create_directories(temp);
        const auto before = Digest(m.root());
        const Ran r = RunNow(m, m.root() / "run", {"--anteprima"}, temp);
        ASSERT_EQ(r.status, 0) << r.console;
        const fs::path report = Printed(r, "rapporto: ");
        ASSERT_TRUE(fs::exists(report)) << r.console;
        EXPECT_EQ(Differences(before, DigestBut(m.root(), report, before)), "")
            << "the preview changed the machine";
        // The scratch machine is gone; the temporary folder holds the report of an empty machine only.
        EXPECT_EQ(Names(temp), std::string(c.kind).empty()
                                   ? std::vector<std::string>{report.filename().string()}
                                   : std::vector<std::string>{});
        if (std::string(c.kind).empty()) continue;
        const std::string html = TempPrefix::get(report);
        const bool links = c.what == std::string("links and a missing archive elsewhere");
        EXPECT_EQ(html.find("il collegamento C:\\ZU\\radice porta a Z:\\, fuori dalla macchina") !=
                      std::string::npos,
                  links);
    }
}

// A preview killed half way leaves its scratch machine; the next preview, or the next run, removes it.
TEST(E2ePreviewBox, AKilledPreviewsScratchIsRemovedByTheNextPreviewOrRun) {
    Machine m("old");
    const fs::path temp = m.root() / "run-tmp";
    fs::create_directories(temp);
    for (const std::vector<std::string>& next :
         {std::vector<std::string>{"--anteprima"}, std::vector<std::string>{}}) {
        SCOPED_TRACE(next.empty() ? "a run" : "a preview");
        const Ran killed =
            RunNow(m, m.root() / "run-killed", {"--anteprima", "--kill-at", "30"}, temp, E2E_AGGIORNA_GUASTI);
        EXPECT_EQ(killed.status, -1) << killed.console;
        const std::vector<std::string> left = Names(temp);
        ASSERT_EQ(left.size(), 1u);
        EXPECT_EQ(left[0].rfind("ledrana-", 0), 0u);
        EXPECT_FALSE(fs::is_empty(temp / left[0]));
        const Ran r = RunNow(m, m.root() / "run", next, temp);
        EXPECT_EQ(r.status, 0) << r.console;
        EXPECT_EQ(Names(temp), std::vector<std::string>{});
    }
}

// A temporary folder without room for the copies stops the preview before it copies anything, saying how
// much it needs.
TEST(E2ePreviewBox, WithoutRoomForItsCopiesThePreviewDoesNotStart) {
    if (std::system("unshare -m true 2>/dev/null") != 0) GTEST_SKIP() << "no mount namespace of our own here";
    Machine m("old");
    const fs::path small = m.root() / "run-small", dir = m.root() / "run";
    fs::create_directories(small);
    const auto before = Digest(m.root());
    std::string line;
    for (const std::string& a : RunLine(m, dir, E2E_AGGIORNA_BATCH, {"--anteprima"}, small.string()))
        line += ShellQuote(a) + " ";
    std::string out;
    const int status = m.Shell("unshare -m sh -c " + ShellQuote("mount -t tmpfs -o size=1m none " +
                                                                ShellQuote(small.string()) + " && " + line),
                               &out);
    EXPECT_EQ(status, 4) << out;
    EXPECT_NE(
        out.find(
            "anteprima impossibile: 61 Spazio insufficiente per l'anteprima: le copie dell'installazione "
            "richiedono "),
        std::string::npos)
        << out;
    EXPECT_EQ(Differences(before, DigestBut(m.root(), "", before)), "");
}

} // namespace
} // namespace ledrana::e2e
