#include "tests/refdata/archivio.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/paths.h"
#include "platform/text.h"

namespace ledrana::testing {

namespace {

// The statements of a model script: comment lines dropped, split at ";" outside quoted text.
std::vector<std::string> Statements(const std::string& file) {
    std::ifstream in(std::string(LEDRANA_SOURCE_DIR) + "/model/db/" + file);
    if (!in) throw std::runtime_error("model script missing: " + file);
    std::string text, line;
    while (std::getline(in, line)) {
        const auto first = line.find_first_not_of(" \t");
        if (first != std::string::npos && line.compare(first, 2, "--") == 0) continue;
        text += line + "\n";
    }
    std::vector<std::string> out;
    std::string current;
    bool quoted = false;
    for (char c : text) {
        if (c == '\'') quoted = !quoted;
        if (c == ';' && !quoted) {
            out.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    out.push_back(current);
    return out;
}

// The table a CREATE TABLE or CREATE [UNIQUE] INDEX statement is about, upper-cased; "" for others.
std::string TableOf(const std::string& statement) {
    std::istringstream words(statement);
    std::vector<std::string> w;
    for (std::string s; words >> s && w.size() < 8;)
        w.push_back(UCase(s));
    if (w.size() >= 3 && w[0] == "CREATE" && w[1] == "TABLE") return w[2].substr(0, w[2].find('('));
    for (std::size_t i = 0; i + 1 < w.size(); ++i)
        if (w[0] == "CREATE" && w[i] == "ON") return w[i + 1].substr(0, w[i + 1].find('('));
    return "";
}

} // namespace

RefdataTest::RefdataTest() {
    w.engine = &engine;
    std::filesystem::create_directories(platform::HostPath("C:\\ZU\\DITTA"));
}

dao::Database RefdataTest::CreaArchivio(const std::string& name, const std::vector<std::string>& tables,
                                        const char* modelFile) {
    dao::Database db = engine.CreateDatabase(Percorso(name));
    std::vector<std::string> wanted;
    for (const std::string& t : tables)
        wanted.push_back(UCase(t));
    int created = 0;
    for (const std::string& s : Statements(modelFile)) {
        const std::string table = TableOf(s);
        if (table.empty() || std::find(wanted.begin(), wanted.end(), table) == wanted.end()) continue;
        db.Execute(s, dao::dbFailOnError);
        if (UCase(s).find("CREATE TABLE") != std::string::npos) ++created;
    }
    EXPECT_EQ(created, static_cast<int>(wanted.size())) << "a table is not in " << modelFile;
    for (const std::string& t : tables) {
        dao::TableDef td = db.TableDefs()[t];
        for (int i = 0; i < td.Fields().Count(); ++i) {
            dao::Field f = td.Fields()[i];
            if (f.Type() == dao::dbText || f.Type() == dao::dbMemo) f.SetAllowZeroLength(true);
        }
    }
    return db;
}

dao::Database RefdataTest::Apri(const std::string& name) {
    return engine.OpenDatabase(Percorso(name));
}

std::vector<std::string> RefdataTest::Log() const {
    std::vector<std::string> out;
    const std::string& text = w.Text1.text;
    const std::string sep = "\r\n->";
    for (std::size_t at = text.find(sep); at != std::string::npos;) {
        const std::size_t next = text.find(sep, at + sep.size());
        out.push_back(
            text.substr(at + sep.size(), next == std::string::npos ? next : next - at - sep.size()));
        at = next;
    }
    return out;
}

void Esegui(dao::Database& db, const std::string& sql) {
    db.Execute(sql, dao::dbFailOnError);
}

std::vector<std::string> Righe(dao::Database& db, const std::string& sql,
                               std::initializer_list<const char*> fields) {
    std::vector<std::string> out;
    dao::Recordset rs = db.OpenRecordset(sql);
    for (; !rs.Eof(); rs.MoveNext()) {
        std::string row;
        bool first = true;
        for (const char* f : fields) {
            const dao::Variant v = rs.Fields()[f].Value();
            if (!first) row += "|";
            first = false;
            row += v.IsNull() ? "<Null>" : v.ToString();
        }
        out.push_back(row);
    }
    rs.Close();
    return out;
}

dao::Variant Valore(dao::Database& db, const std::string& sql, const char* field) {
    dao::Recordset rs = db.OpenRecordset(sql);
    dao::Variant v = rs.Eof() ? dao::Variant() : rs.Fields()[field].Value();
    rs.Close();
    return v;
}

} // namespace ledrana::testing
