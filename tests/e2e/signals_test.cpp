// What the unattended program says about a run: its exit status, the report's verdict and the preview's
// prediction never claim more than the run did; a wrong start is refused before anything is touched; the
// progress file moves while the run works. (What an interrupted run left is named once: E2eSecondRun.)

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "tests/e2e/machine.h"
#include "tests/platform/child_process.h"

namespace ledrana::e2e {
namespace {

using ledrana::testing::ShellQuote;
using ledrana::testing::TempPrefix;

const std::string kAlfaCont = "C:\\ZU\\Alfa\\CONT32.MDB";

// A rebuild refused by the value check leaves its archive undone: the preview predicts it (status 5, a
// verdict that is not green, what would not succeed before the companies) and the run's report names the
// cause beside the archive. The run's own status 5, verdict and success box for an archive left undone are
// the Jet suite's; an archive another program holds is the Jet suite's case, and its preview E2ePreview's.
TEST(E2eSignals, ARunThatLeavesSomethingUndoneSaysSoAndThePreviewPredictsIt) {
    Machine m("old");
    m.Exec(kAlfaCont, {"UPDATE ARTICOLI SET Protocollo = '12A' WHERE NumDoc = 1"});
    const Outcome preview = m.Update(kAnswers, ReleaseFolder(), "--anteprima");
    EXPECT_EQ(preview.status, 5) << preview.console;
    EXPECT_EQ(preview.verdict(), "warn");
    EXPECT_NE(preview.console.find("terminerebbe con lo stato 5"), std::string::npos) << preview.console;
    const std::string predicted = preview.page();
    EXPECT_LT(predicted.find("Che cosa non riuscirebbe"), predicted.find("<h2>Ditte</h2>"));

    const std::string page = m.Update().page();
    const std::size_t failed = page.find("Che cosa non è riuscito");
    ASSERT_NE(failed, std::string::npos);
    EXPECT_NE(page.substr(failed, page.find("<h2>", failed + 10) - failed).find("12A"), std::string::npos)
        << page.substr(failed, 2000);
}

// The models, the machine's folder and the answers are checked before anything is touched: a wrong start
// ends with status 2 and the reason, and the whole machine is as it was.
TEST(E2eSignals, AWrongStartIsRefusedBeforeAnythingIsTouched) {
    Machine m("old");
    const fs::path runs = m.root() / "run-start";
    const fs::path empty = runs / "vuota", damaged = runs / "danneggiata";
    fs::create_directories(empty);
    fs::copy(ReleaseFolder(), damaged, fs::copy_options::recursive);
    std::string bytes = TempPrefix::get(damaged / "CONT32.MDB");
    bytes.replace(200, 4000, std::string(4000, '\x5a'));
    fs::remove(damaged / "CONT32.MDB");
    TempPrefix::put(damaged / "CONT32.MDB", bytes);
    TempPrefix::put(runs / "risposte", kAnswers); // with the umask's mode: readable by others
    fs::permissions(runs / "risposte", fs::perms::group_read | fs::perms::others_read, fs::perm_options::add);
    const auto before = Snapshot(m.root());

    const std::string batch = ShellQuote(E2E_AGGIORNA_BATCH) + " --prefix " + ShellQuote(m.root().string());
    const struct {
        std::string options;
        const char* says;
    } cases[] = {
        {" --model " + ShellQuote(empty.string()), "non contiene il modello CONT32.MDB"},
        {"", "non contiene il modello CONT32.MDB"}, // the program's own folder holds no models
        {" --model " + ShellQuote(damaged.string()), "CONT32.MDB non è un archivio leggibile"},
        {" --model " + ShellQuote(ReleaseFolder().string()) + " --answers " +
             ShellQuote((runs / "risposte").string()),
         "contiene una password"},
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(m.Shell(batch + c.options, &out), 2) << c.options << "\n" << out;
        EXPECT_EQ(out.rfind("aggiorna-batch: ", 0), 0u) << out;
        EXPECT_NE(out.find(c.says), std::string::npos) << out;
    }
    EXPECT_TRUE(Snapshot(m.root()) == before) << "a refused start changed the machine";

    // A prefix that does not exist is not made into a new installation, unless that is asked for.
    const fs::path missing = m.root() / "run-manca";
    const std::string onMissing =
        Shelled({E2E_AGGIORNA_BATCH, "--prefix", missing.string(), "--model", ReleaseFolder().string()});
    std::string out;
    EXPECT_EQ(m.Shell(onMissing, &out), 2) << out;
    EXPECT_NE(out.find("--nuova-installazione"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_EQ(m.Shell(onMissing + " --nuova-installazione", &out), 0) << out;
    EXPECT_TRUE(fs::exists(missing / "drive_c" / "ZU" / "DittaEsempio"));
}

// A watcher of the progress file reads one whole line at every look, and sees the run move to its end.
TEST(E2eSignals, TheProgressFileMovesWhileTheRunWorksAndIsAlwaysOneWholeLine) {
    Machine m("large --rows 60000");
    const fs::path file = m.root() / "run-avanzamento";
    std::atomic<bool> done{false};
    Outcome o;
    std::thread run([&] {
        o = m.Update(kAnswers, ReleaseFolder(), "--progress " + ShellQuote(file.string()));
        done = true;
    });
    std::vector<std::string> seen;
    int reads = 0;
    while (!done) {
        const std::string text = TempPrefix::get(file);
        if (!text.empty()) {
            ++reads;
            EXPECT_EQ(text.find('\n'), text.size() - 1) << "not one whole line: " << text;
            if (seen.empty() || seen.back() != text) seen.push_back(text);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.join();
    ASSERT_EQ(o.status, 0) << o.console;
    std::set<std::string> companies;
    int last = -1, lastMax = -1;
    for (const std::string& line : seen) {
        std::vector<std::string> fields;
        for (std::size_t at = 0, tab; at < line.size(); at = tab + 1) {
            tab = line.find_first_of("\t\n", at);
            fields.push_back(line.substr(at, tab - at));
        }
        ASSERT_EQ(fields.size(), 6u) << line;
        // The bar takes its maximum when the run's work begins; from then on it only goes forward.
        const int value = std::stoi(fields[0]), max = std::stoi(fields[0].substr(fields[0].find('/') + 1));
        if (max == lastMax) {
            EXPECT_GE(value, last) << "the progress went back: " << line;
        }
        last = value;
        lastMax = max;
        if (!fields[2].empty()) companies.insert(fields[2]);
    }
    EXPECT_GE(seen.size(), 5u) << "the watcher saw the file move " << seen.size() << " times in " << reads;
    EXPECT_GE(companies.size(), 2u);
    EXPECT_EQ(TempPrefix::get(file).rfind("500/500\t100%\t", 0), 0u) << TempPrefix::get(file);
    EXPECT_NE(TempPrefix::get(file).find("Aggiornamento eseguito"), std::string::npos);
}

} // namespace
} // namespace ledrana::e2e
