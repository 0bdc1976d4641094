// The reports as a technician sees them: in a real browser (headless Chromium) at 1024 pixels, and printed
// through it. Nothing is wider than the window, the overview is on the first screen, and the printed report
// keeps to three pages a company. The screenshots are left in build/report-shots/ (the README's pictures
// in docs/ are copies of them).

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <vector>

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

// The printed report's pages, as the PDF the browser prints holds them: the text of each page.
std::vector<std::string> PrintedPages(const Machine& m, const fs::path& report, const fs::path& pdf) {
    std::string out, text;
    m.Shell(std::string(kChromium) + kFlags + "--print-to-pdf=" + ShellQuote(pdf.string()) + " " +
                ShellQuote("file://" + report.string()) + " 2>/dev/null",
            &out);
    m.Shell("pdftotext -layout " + ShellQuote(pdf.string()) + " -", &text);
    std::vector<std::string> pages;
    for (std::size_t at = 0, ff; at < text.size(); at = ff + 1) {
        ff = text.find('\f', at);
        if (ff == std::string::npos) ff = text.size();
        pages.push_back(text.substr(at, ff - at));
    }
    if (!pages.empty() && pages.back().find_first_not_of(" \n") == std::string::npos) pages.pop_back();
    return pages;
}

// How many printed pages each company takes: from the page its section begins on to the next section.
std::map<std::string, int> PagesPerCompany(const std::vector<std::string>& pages) {
    std::map<std::string, int> taken;
    std::string current;
    for (const std::string& page : pages) {
        std::smatch heading;
        if (std::regex_search(page, heading, std::regex("^\\s*Ditta (\\S+\\.ini)\\s*\\n")))
            current = heading[1];
        if (page.find("Finestre mostrate") != std::string::npos && page.find("Finestre mostrate") < 200)
            current.clear();
        if (!current.empty()) ++taken[current];
    }
    return taken;
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
    troubled.Exec("C:\\ZU\\Alfa\\CONT32.MDB", {"UPDATE ARTICOLI SET Protocollo = '12A' WHERE NumDoc = 1"});
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
        const auto pages = PrintedPages(r.m, r.o.report, shots / (std::string(r.name) + ".pdf"));
        std::cout << r.name << ": " << pages.size() << " printed pages";
        ASSERT_FALSE(pages.empty());
        // The verdict and the overview on the first page; each company on at most three of its own.
        EXPECT_NE(pages[0].find("Panoramica"), std::string::npos);
        const auto companies = PagesPerCompany(pages);
        EXPECT_EQ(companies.size(), 4u);
        for (const auto& [company, n] : companies) {
            std::cout << ", " << company << " " << n;
            EXPECT_LE(n, 3) << company;
        }
        std::cout << "\n";
    }
}

} // namespace
} // namespace ledrana::e2e
