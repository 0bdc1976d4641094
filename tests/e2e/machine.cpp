#include "tests/e2e/machine.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QJsonDocument>
#include <QJsonObject>

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

// One line of the --boxes file, a flat JSON object.
Box ParseBox(const std::string& line) {
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
    const auto text = [&o](const char* key) { return o[key].toString().toStdString(); };
    return {text("title"), o["style"].toInt(), text("text"), text("answer"), o["input"].toBool()};
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

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

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

void Machine::Exec(const std::string& path, const std::vector<std::string>& statements) const {
    std::string args = "exec " + ShellQuote(path);
    for (const std::string& sql : statements)
        args += " " + ShellQuote(sql);
    bool ok = false;
    DaoTool("", args, &ok);
}

void Machine::LeaveHalfWritten(const std::string& path) const {
    // The sqlite3 tool inside a transaction whose pages spill into a copy of the file: the copy and its
    // journal as they stand are put over the archive, then the tool leaves without committing.
    const fs::path archive = host(path), scratch = root() / "meta.mdb";
    fs::copy_file(archive, scratch);
    const std::string before = read(path);
    std::string out;
    const int status = Shell(
        "sqlite3 " + ShellQuote(scratch.string()) +
            " 'PRAGMA cache_size=4' 'BEGIN' 'CREATE TABLE Mezza(x)' "
            "'WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
            "INSERT INTO Mezza SELECT randomblob(900) FROM n' 'UPDATE CLIENTI SET RagSoc = NULL' " +
            ShellQuote(".shell cp " + ShellQuote(scratch.string()) + " " + ShellQuote(archive.string()) +
                       " && cp " + ShellQuote(scratch.string() + "-journal") + " " +
                       ShellQuote(archive.string() + "-journal")),
        &out);
    fs::remove(scratch);
    EXPECT_EQ(status, 0) << out;
    EXPECT_TRUE(fs::exists(archive.string() + "-journal"));
    EXPECT_TRUE(read(path) != before) << "the archive does not hold half of the change";
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

std::string Differences(const std::map<std::string, std::string>& before,
                        const std::map<std::string, std::string>& now) {
    std::string out;
    for (const auto& [name, value] : before) {
        const auto it = now.find(name);
        if (it == now.end())
            out += "missing: " + name + "\n";
        else if (it->second != value)
            out += "changed: " + name + "\n";
    }
    for (const auto& [name, value] : now)
        if (!before.count(name)) out += "added:   " + name + "\n";
    return out;
}

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

std::string ChangedSince(std::map<std::string, std::string> before, const fs::path& root,
                         const fs::path& report) {
    std::map<std::string, std::string> after = Digest(root);
    const auto untimed = [](const std::string& v) { return v.substr(0, v.rfind('\t')); };
    std::vector<std::string> timeless;
    for (const auto& [name, v] : before)
        if (UCase(name) == "DRIVE_C/ZU/LEDRANA") timeless.push_back(name);
    const fs::path rel = report.empty() ? fs::path() : fs::relative(report, root);
    if (!rel.empty() && rel.begin()->string() != ".." && rel.begin()->string().rfind("run", 0) != 0) {
        EXPECT_EQ(after.count(rel.string()), 1u);
        EXPECT_EQ(after.count((rel.parent_path() / "index.html").string()), 1u) << "no index of the reports";
        for (auto* digest : {&before, &after})
            std::erase_if(*digest, [&](const auto& e) {
                return e.first.rfind(rel.parent_path().string() + "/", 0) == 0;
            });
        for (fs::path f = rel.parent_path(); !f.empty(); f = f.parent_path())
            before.count(f.string()) ? timeless.push_back(f.string()) : (void)after.erase(f.string());
    }
    for (const std::string& f : timeless)
        if (after.count(f) && untimed(after[f]) == untimed(before.at(f))) after[f] = before.at(f);
    return Differences(before, after);
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
