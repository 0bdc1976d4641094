// The reports as a technician sees them: in a real browser (headless Chromium) at 1024 pixels, and printed
// through it. Nothing is wider than the window, the overview is on the first screen, and the printed report
// keeps to a few pages per company. The screenshots are left in build/report-shots/ (the README's pictures
// in docs/ are copies of them).

#include <gtest/gtest.h>

#include <regex>

#include "tests/e2e/machine.h"
#include "tests/platform/child_process.h"

namespace ledrana::e2e {
namespace {

using ledrana::testing::ShellQuote;
using ledrana::testing::TempPrefix;

constexpr const char* kChromium = "/usr/bin/chromium";
const char* const kFlags = " --headless --no-sandbox --disable-gpu --hide-scrollbars --no-pdf-header-footer ";

// What the page measures in the browser, written into the page by a script added to a copy of it (the
// report itself has none): the widest element's right edge, and the overview's top.
struct Measure {
    int right = -1, overviewTop = -1;
};

Measure Measured(const Machine& m, const fs::path& report) {
    std::string page = TempPrefix::get(report);
    const std::string script =
        "<script>addEventListener('load',()=>{let r=0;for(const e of document.querySelectorAll('body *'))"
        "r=Math.max(r,e.getBoundingClientRect().right);const o=document.getElementById('panoramica');"
        "document.title='MEASURE '+Math.round(r)+' '+(o?Math.round(o.getBoundingClientRect().top):-1);});"
        "</script>";
    page.insert(page.rfind("</body>"), script);
    const fs::path copy = report.parent_path() / ("misura-" + report.filename().string());
    TempPrefix::put(copy, page);
    std::string dom;
    m.Shell(std::string(kChromium) + kFlags + "--window-size=1024,768 --dump-dom " +
                ShellQuote("file://" + copy.string()) + " 2>/dev/null",
            &dom);
    fs::remove(copy);
    Measure out;
    std::smatch match;
    if (std::regex_search(dom, match, std::regex("MEASURE (\\d+) (-?\\d+)"))) {
        out.right = std::stoi(match[1]);
        out.overviewTop = std::stoi(match[2]);
    }
    return out;
}

// The printed report's pages, counted in the PDF the browser prints.
int PrintedPages(const Machine& m, const fs::path& report, const fs::path& pdf) {
    std::string out;
    m.Shell(std::string(kChromium) + kFlags + "--print-to-pdf=" + ShellQuote(pdf.string()) + " " +
                ShellQuote("file://" + report.string()) + " 2>/dev/null",
            &out);
    const std::string bytes = TempPrefix::get(pdf);
    const std::regex page("/Type\\s*/Page[^s]");
    return static_cast<int>(std::distance(std::sregex_iterator(bytes.begin(), bytes.end(), page), {}));
}

TEST(E2eBrowser, ReportsFitTheWindowShowTheOverviewFirstAndPrintInFewPages) {
    if (!fs::exists(kChromium))
        GTEST_SKIP() << "no Chromium at " << kChromium << " (scripts/setup installs it)";
    const fs::path shots = fs::path(LEDRANA_BINARY_DIR) / "report-shots";
    fs::create_directories(shots);

    Machine clean("old");
    const Outcome preview = clean.Update(kAnswers, ReleaseFolder(), "--anteprima");
    const Outcome run = clean.Update();
    // A run that leaves things undone: a rebuild refused by the value check, an archive in use.
    Machine troubled("old");
    bool ok = false;
    troubled.DaoTool("",
                     "exec " + ShellQuote("C:\\ZU\\Alfa\\CONT32.MDB") + " " +
                         ShellQuote("UPDATE ARTICOLI SET Protocollo = '12A' WHERE NumDoc = 1"),
                     &ok);
    ledrana::testing::Background holder({E2E_DAOTOOL, "hold", troubled.host(kGammaCont).string(), "600"},
                                        troubled.root());
    ASSERT_TRUE(holder.WaitForLine("tengo aperto")) << holder.output();
    const Outcome refused = troubled.Update();
    holder.Stop();
    ASSERT_EQ(refused.status, 5) << refused.console;

    const struct {
        const char* name;
        const Outcome& o;
        const Machine& m;
    } reports[] = {
        {"rapporto", run, clean}, {"anteprima", preview, clean}, {"rapporto-problemi", refused, troubled}};
    for (const auto& r : reports) {
        SCOPED_TRACE(r.name);
        ASSERT_FALSE(r.o.report.empty()) << r.o.console;
        const Measure measure = Measured(r.m, r.o.report);
        ASSERT_GE(measure.right, 0) << "the browser measured nothing";
        EXPECT_LE(measure.right, 1024) << "an element is wider than the window";
        EXPECT_GE(measure.overviewTop, 0);
        EXPECT_LT(measure.overviewTop, 768 - 100) << "the overview is not on the first screen";

        std::string out;
        r.m.Shell(std::string(kChromium) + kFlags + "--window-size=1024,1400 --screenshot=" +
                      ShellQuote((shots / (std::string(r.name) + ".png")).string()) + " " +
                      ShellQuote("file://" + r.o.report.string()) + " 2>/dev/null",
                  &out);
        EXPECT_TRUE(fs::exists(shots / (std::string(r.name) + ".png")));
        const int pages = PrintedPages(r.m, r.o.report, shots / (std::string(r.name) + ".pdf"));
        std::cout << r.name << ": " << pages << " printed pages\n";
        EXPECT_GE(pages, 1);
        EXPECT_LE(pages, 1 + 3 * 4) << "more than 3 printed pages a company";
    }
}

} // namespace
} // namespace ledrana::e2e
