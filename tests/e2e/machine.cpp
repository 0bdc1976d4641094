#include "tests/e2e/machine.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "tests/platform/child_process.h"

namespace ledrana::e2e {
namespace {

using testing::ShellQuote;

// Reads one JSON string starting at s[i] == '"'; leaves i after its closing quote.
std::string JsonString(const std::string& s, std::size_t& i) {
    std::string out;
    for (++i; i < s.size() && s[i] != '"'; ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        const char c = s[++i];
        if (c == 'u') {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 4), nullptr, 16));
            i += 4;
        } else {
            out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
        }
    }
    ++i;
    return out;
}

// The value of `key` in one line of the --boxes file, a flat object of strings, numbers and true ("" when
// the key is not there). A quote inside a string is escaped, so `"key": ` is found at the key only.
std::string BoxField(const std::string& line, const std::string& key) {
    std::size_t i = line.find("\"" + key + "\": ");
    if (i == std::string::npos) return "";
    i += key.size() + 4;
    return line[i] == '"' ? JsonString(line, i) : line.substr(i, line.find_first_of(",}", i) - i);
}

Box ParseBox(const std::string& line) {
    return {BoxField(line, "title"), std::stoi(BoxField(line, "style")), BoxField(line, "text"),
            BoxField(line, "answer"), BoxField(line, "input") == "true"};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// A daotool structure line as the comparison after an update must leave it; `fromModel` says what the
// updated archive is expected to hold for that model line.
std::string Normalised(const std::string& line, bool fromModel) {
    const std::size_t sp = line.find(' ');
    const std::size_t sp2 = line.find(' ', sp + 1);
    const std::string kind = line.substr(0, sp);
    const std::string name =
        UCase(line.substr(sp + 1, sp2 == std::string::npos ? std::string::npos : sp2 - sp - 1));
    std::string rest = sp2 == std::string::npos ? "" : line.substr(sp2);
    if (kind == "field" && fromModel && (rest.find(" type=10 ") == 0 || rest.find(" type=12 ") == 0)) {
        const std::size_t z = rest.find("allowzerolength=");
        if (z != std::string::npos) rest[z + 16] = '1';
    }
    if (kind == "index") {
        const std::size_t f = rest.find("fields=");
        std::vector<std::string> fields;
        std::istringstream in(UCase(rest.substr(f + 7)));
        for (std::string one; std::getline(in, one, ',');)
            fields.push_back(one);
        std::sort(fields.begin(), fields.end());
        rest = rest.substr(0, f + 7);
        for (std::size_t i = 0; i < fields.size(); ++i)
            rest += (i ? "," : "") + fields[i];
    }
    if (kind == "query") rest = UCase(rest);
    return kind + " " + name + rest;
}

} // namespace

std::string Outcome::page() const {
    return ledrana::testing::TempPrefix::get(report);
}

std::string Outcome::verdict() const {
    const std::string page = this->page();
    const std::size_t at = page.find("data-verdict=\"");
    return at == std::string::npos ? "" : page.substr(at + 14, page.find('"', at + 14) - at - 14);
}

int Outcome::box(const std::string& fragment) const {
    for (std::size_t i = 0; i < boxes.size(); ++i)
        if (boxes[i].text.find(fragment) != std::string::npos) return static_cast<int>(i);
    return -1;
}

int Outcome::entry(const std::string& wanted) const {
    const auto it = std::find(entries.begin(), entries.end(), wanted);
    return it == entries.end() ? -1 : static_cast<int>(it - entries.begin());
}

std::vector<std::string> Outcome::entriesWith(const std::string& fragment) const {
    std::vector<std::string> out;
    for (const std::string& e : entries)
        if (e.find(fragment) != std::string::npos) out.push_back(e);
    return out;
}

fs::path ReleaseFolder() {
    return fs::path(LEDRANA_BINARY_DIR) / "release";
}

std::string Release(const std::string& name) {
    return (ReleaseFolder() / name).string();
}

std::string ReleaseBytes(const std::string& name) {
    return testing::TempPrefix::get(ReleaseFolder() / name);
}

Machine::Machine(const std::string& kind) {
    if (kind.empty()) return;
    std::string out;
    if (Shell(Shelled({E2E_MKINSTALL, root().string()}) + " " + kind, &out) != 0)
        throw std::runtime_error("mkinstall " + kind + " failed: " + out);
}

fs::path Machine::host(const std::string& windowsPath) const {
    return platform::HostPath(windowsPath);
}

bool Machine::exists(const std::string& windowsPath) const {
    return fs::exists(host(windowsPath));
}

std::string Machine::read(const std::string& windowsPath) const {
    return platform::ReadAllBytes(windowsPath);
}

void Machine::write(const std::string& windowsPath, const std::string& bytes) const {
    ledrana::testing::TempPrefix::put(host(windowsPath), bytes);
}

std::string Machine::ini(const std::string& windowsPath, const std::string& section,
                         const std::string& key) const {
    std::string value;
    platform::GetPrivateProfileString(section, key, "<missing>", value, 1024, windowsPath);
    return value;
}

std::string Machine::MoveDataToShare() const {
    const std::string share = "\\\\SERVER\\dati\\ZU";
    fs::create_directories(root() / "unc" / "server" / "dati");
    fs::rename(root() / "drive_c" / "ZU", root() / "unc" / "server" / "dati" / "ZU");
    write("C:\\WINDOWS\\dir.txt", share + "\r\n");
    std::string beta = read(share + "\\ledrana\\Beta.ini");
    for (std::size_t at; (at = beta.find("C:\\ZU")) != std::string::npos;)
        beta.replace(at, 5, share);
    write(share + "\\ledrana\\Beta.ini", beta);
    return share;
}

int Machine::Shell(const std::string& commandLine, std::string* out) const {
    testing::CommandResult r = testing::RunWithPrefix(commandLine, root());
    if (out) *out = std::move(r.output);
    return r.status;
}

std::vector<std::string> Machine::RunLine(std::vector<std::string> line, const fs::path& dir,
                                          const std::vector<std::string>& more, const fs::path& model,
                                          const std::string& answers) const {
    fs::create_directories(dir);
    std::ofstream(dir / "answers.txt", std::ios::binary) << answers;
    fs::permissions(dir / "answers.txt", fs::perms::owner_read | fs::perms::owner_write);
    line.insert(line.end(), {"--prefix", root().string(), "--model", model.string(), "--answers",
                             (dir / "answers.txt").string()});
    line.insert(line.end(), more.begin(), more.end());
    return line;
}

std::string Shelled(const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& a : argv)
        line += (line.empty() ? "" : " ") + ShellQuote(a);
    return line;
}

Outcome Machine::Update(const std::string& answers, const fs::path& model, const std::string& options) const {
    const fs::path dir = root() / "run";
    for (const char* f : {"log.txt", "boxes.txt", "bar.txt"})
        fs::remove(dir / f);
    Outcome o;
    o.status = Shell(Shelled(RunLine({E2E_AGGIORNA_BATCH}, dir,
                                     {"--log", (dir / "log.txt").string(), "--boxes",
                                      (dir / "boxes.txt").string(), "--barra", (dir / "bar.txt").string()},
                                     model, answers)) +
                         " " + options,
                     &o.console);
    const std::size_t report = o.console.rfind("\nrapporto: ");
    if (report != std::string::npos)
        o.report = o.console.substr(report + 11, o.console.find('\n', report + 1) - report - 11);
    // Every report the runs write has its JSON twin, which the schema in docs/ describes.
    if (!o.report.empty()) {
        std::string faults;
        EXPECT_EQ(Shell(Shelled({LEDRANA_SOURCE_DIR "/tests/e2e/validate_report.py",
                                 LEDRANA_SOURCE_DIR "/docs/report.schema.json",
                                 fs::path(o.report).replace_extension(".json").string()}),
                        &faults),
                  0)
            << "the report's JSON twin does not follow docs/report.schema.json:\n"
            << faults;
    }
    o.log = testing::TempPrefix::get(dir / "log.txt");
    const std::string sep = "\r\n->";
    for (std::size_t at = o.log.find(sep); at != std::string::npos;) {
        const std::size_t next = o.log.find(sep, at + sep.size());
        o.entries.push_back(
            o.log.substr(at + sep.size(), next == std::string::npos ? next : next - at - sep.size()));
        at = next;
    }
    for (const std::string& line : Lines(testing::TempPrefix::get(dir / "boxes.txt")))
        if (!line.empty()) o.boxes.push_back(ParseBox(line));
    for (const std::string& line : Lines(testing::TempPrefix::get(dir / "bar.txt"))) {
        const std::size_t slash = line.find('/');
        o.bar.emplace_back(std::stoi(line.substr(0, slash)), std::stoi(line.substr(slash + 1)));
    }
    return o;
}

// daotool's output for `args`; a failure of the test when daotool fails.
std::string Machine::DaoTool(const std::string& password, const std::string& args, bool* ok) const {
    std::string out;
    const std::string pwd = password.empty() ? "" : "LEDRANA_PWD=" + ShellQuote(password) + " ";
    *ok = Shell(pwd + ShellQuote(E2E_DAOTOOL) + " " + args, &out) == 0;
    if (!*ok) ADD_FAILURE() << "daotool " << args << ": " << out;
    return out;
}

std::string Machine::Schema(const std::string& path, const std::string& password) const {
    bool ok = false;
    return DaoTool(password, "schema " + ShellQuote(path), &ok);
}

std::vector<std::string> Machine::Query(const std::string& path, const std::string& sql,
                                        const std::string& password) const {
    bool ok = false;
    const std::string out = DaoTool(password, "query " + ShellQuote(path) + " " + ShellQuote(sql), &ok);
    if (!ok) return {};
    std::vector<std::string> rows = Lines(out);
    if (!rows.empty()) rows.erase(rows.begin());
    return rows;
}

std::string Machine::Value(const std::string& path, const std::string& sql,
                           const std::string& password) const {
    const std::vector<std::string> rows = Query(path, sql, password);
    if (rows.empty()) return "<no row>";
    return rows[0].substr(0, rows[0].find('\t'));
}

ModelFolder::ModelFolder() {
    std::string tmpl = (fs::temp_directory_path() / "ledrana-model-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
    fs::copy(ReleaseFolder(), path_, fs::copy_options::recursive);
}

ModelFolder::~ModelFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void ModelFolder::remove(const std::string& name) const {
    if (!fs::remove(path_ / name)) throw std::runtime_error("no " + name + " in the model folder");
}

void ExpectGammaLeftAsItWas(const Machine& m, const Outcome& o, const std::string& before, int number,
                            const std::string& said, const std::string& advice, bool scadUpdated) {
    EXPECT_EQ(m.read(kGammaCont), before);
    // The opening's error as the comparison reports it, the company update's own line, then each later step
    // of the company meets the same refusal from the engine and says so in its own words; the run ends well.
    const std::string n = std::to_string(number);
    ASSERT_NE(o.box(" " + n), -1) << o.console;
    const std::string error = o.boxes[o.box(" " + n)].text;
    EXPECT_EQ(error.rfind(" " + n, 0), 0u) << error;
    EXPECT_NE(error.find(said), std::string::npos) << error;
    const std::string company = "ditta Gamma.ini database " + kGammaCont;
    const std::string refused =
        "File " + kGammaCont + "\nFunz. ApreDb: err." + n + " " + error.substr(1 + n.size());
    const std::string undone = company + " non aggiornato correttamente";
    std::vector<std::string> expected{error, undone, refused, "91 |AggiornaCampiVari"};
    expected.insert(expected.end(), {"Agg.campi vari: " + undone, refused, "Agg.DIVERSI " + undone});
    for (const char* step : {"CopiaDatiCodiciCausaliTrasporto", "CopiaDatiCategorieFisse",
                             "CopiaDatiRitenute", "ModificaCausaliFisse"})
        expected.insert(expected.end(), {refused, std::string("91 |") + step});
    std::vector<std::string> boxes;
    for (std::size_t i = static_cast<std::size_t>(o.box(error));
         i < o.boxes.size() && boxes.size() < expected.size(); ++i) {
        const std::string& t = o.boxes[i].text;
        // A step's own report: its number, then the step's name among its lines.
        const auto funz = t.find("funz. ");
        boxes.push_back(t.rfind("91 ", 0) != 0 ? t
                        : funz == std::string::npos
                            ? "91 |" + t
                            : "91 |" + t.substr(funz + 6, t.find_first_of(" \n", funz + 6) - funz - 6));
    }
    EXPECT_EQ(boxes, expected) << o.console;
    ASSERT_GE(o.boxes.size(), 2u);
    EXPECT_EQ(o.boxes[o.boxes.size() - 2].text, "Aggiornamento eseguito");
    // The status and the report's verdict say that the run left Gamma undone.
    EXPECT_EQ(o.status, 5) << o.console;
    EXPECT_EQ(o.verdict(), "warn");
    EXPECT_NE(o.entry(undone), -1) << o.log;
    std::string shown; // as the page spells it
    for (char c : advice)
        shown += c == '\'' ? std::string("&#39;") : std::string(1, c);
    EXPECT_NE(o.page().find(shown), std::string::npos) << advice;

    EXPECT_EQ(StructureDifferences(m.Schema(Release("CONT32.MDB")), m.Schema("C:\\ZU\\Alfa\\Cont32.mdb")),
              "");
    EXPECT_NE(o.entry("ditta Alfa.ini database C:\\ZU\\Alfa\\CONT32.MDB aggiornato"), -1) << o.log;
    if (!scadUpdated) return;
    EXPECT_EQ(StructureDifferences(m.Schema(Release("SCAD32.MDB")), m.Schema("C:\\ZU\\Gamma\\Scad32.mdb")),
              "");
    EXPECT_NE(o.entry("ditta Gamma.ini database C:\\ZU\\Gamma\\SCAD32.MDB aggiornato"), -1) << o.log;
}

std::map<std::string, std::string> Snapshot(const fs::path& root) {
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = fs::relative(it->path(), root).string();
        if (name.rfind("run", 0) == 0) {
            it.disable_recursion_pending();
            continue;
        }
        struct stat st {};
        ::lstat(it->path().c_str(), &st);
        std::string& v = out[name] = std::to_string(st.st_mode) + " ";
        if (S_ISREG(st.st_mode)) v += ledrana::testing::TempPrefix::get(it->path());
        if (S_ISLNK(st.st_mode)) v += fs::read_symlink(it->path()).string();
    }
    return out;
}

std::string StructureDifferences(const std::string& model, const std::string& archive) {
    std::multiset<std::string> expected, actual;
    for (const std::string& l : Lines(model))
        if (!l.empty()) expected.insert(Normalised(l, true));
    for (const std::string& l : Lines(archive))
        if (!l.empty()) actual.insert(Normalised(l, false));
    std::string out;
    for (const std::string& l : expected)
        if (!actual.count(l)) out += "model:   " + l + "\n";
    for (const std::string& l : actual)
        if (!expected.count(l)) out += "archive: " + l + "\n";
    return out;
}

} // namespace ledrana::e2e
