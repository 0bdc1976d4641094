#include "tests/common/archive_fixture.h"

#include <algorithm>
#include <regex>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tools/manifest/manifest.h"

namespace ledrana::testing {

namespace {

// The table a CREATE TABLE or CREATE [UNIQUE] INDEX statement is about, upper-cased; "" for others.
std::string TableOf(const std::string& statement) {
    static const std::regex create(R"(^\s*CREATE\s+(?:TABLE|(?:UNIQUE\s+)?INDEX\s+\S+\s+ON)\s+(\w+))",
                                   std::regex::icase);
    std::smatch m;
    return std::regex_search(statement, m, create) ? UCase(m[1].str()) : "";
}

} // namespace

std::filesystem::path ArchiveFixture::Host(const std::string& path) {
    return platform::HostPath(path);
}

dao::Database ArchiveFixture::Open(const std::string& path, const std::string& password) {
    return engine.OpenDatabase(path, false, false, ";pwd=" + password);
}

dao::Database ArchiveFixture::CreateFromModel(const std::string& path, const Strings& tables,
                                              const char* modelFile) {
    std::filesystem::create_directories(Host(path).parent_path());
    dao::Database db = engine.CreateDatabase(path);
    Strings wanted;
    for (const std::string& t : tables)
        wanted.push_back(UCase(t));
    const std::string script = std::string(LEDRANA_SOURCE_DIR) + "/model/db/" + modelFile;
    int created = 0;
    for (const std::string& s :
         manifest::SplitStatements(platform::ReadAllBytes(platform::WindowsPath(script)))) {
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

void ArchiveFixture::MakeFromModel(const std::string& path, const Strings& tables, const Strings& statements,
                                   const char* modelFile) {
    dao::Database db = CreateFromModel(path, tables, modelFile);
    for (const std::string& sql : statements)
        Execute(db, sql);
    db.Close();
}

void ArchiveFixture::ExecuteAt(const std::string& path, const std::string& sql) {
    dao::Database db = Open(path);
    Execute(db, sql);
    db.Close();
}

Strings ArchiveFixture::RowsAt(const std::string& path, const std::string& sql,
                               std::initializer_list<const char*> fields) {
    dao::Database db = Open(path);
    Strings rows = QueryRows(db, sql, fields);
    db.Close();
    return rows;
}

Strings ArchiveFixture::LogEntries() const {
    Strings out;
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

Strings ArchiveFixture::BoxTexts() const {
    Strings out;
    for (const DialogRecord& r : dialogs.messageBoxes())
        out.push_back(r.text);
    return out;
}

void Execute(dao::Database& db, const std::string& sql) {
    db.Execute(sql, dao::dbFailOnError);
}

Strings QueryRows(dao::Database& db, const std::string& sql, std::initializer_list<const char*> fields) {
    Strings out;
    dao::Recordset rs = db.OpenRecordset(sql);
    for (; !rs.Eof(); rs.MoveNext()) {
        std::string row;
        bool first = true;
        for (const char* f : fields) {
            const dao::Variant v = rs.Fields()[f].Value();
            row += (first ? "" : "|") + (v.IsNull() ? "<Null>" : v.ToString());
            first = false;
        }
        out.push_back(row);
    }
    rs.Close();
    return out;
}

} // namespace ledrana::testing
