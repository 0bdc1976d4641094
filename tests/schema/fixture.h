#pragma once
// Archive pairs for the comparison tests: the model (w.NomeDb1) and the archive (w.NomeDb2) made with
// MakeDatabase. The helpers open straight through the engine, leaving the window's password list alone.

#include <cstdint>
#include <ostream>

#include "dao/dao.h"
#include "platform/error.h"
#include "schema/confronto.h"
#include "tests/common/archive_fixture.h"

namespace ledrana::testing {

struct Box {
    std::string text;
    int style = 0;
    std::string title;
    bool operator==(const Box&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Box& b) {
    return os << "{\"" << b.text << "\", " << b.style << ", \"" << b.title << "\"}";
}

inline std::vector<Box> AsBoxes(const ScriptedDialogs& dialogs) {
    std::vector<Box> out;
    for (const DialogRecord& r : dialogs.messageBoxes())
        out.push_back({r.text, r.style, r.title});
    return out;
}

struct FieldSpec {
    std::string name;
    int type = dao::dbText;
    std::int32_t size = 0;       // 0: the type's default (Text 50)
    std::int32_t attributes = 0; // dbAutoIncrField for a counter
    bool allowZeroLength = false;
};

struct IndexSpec {
    std::string name;
    std::vector<std::string> fields;
    bool primary = false;
    bool unique = false;
};

struct TableSpec {
    std::string name;
    std::vector<FieldSpec> fields;
    std::vector<IndexSpec> indexes;
    std::string description;                     // the table's "description" property; "" = none
    std::vector<std::vector<dao::Variant>> rows; // values in the order of `fields`
};

struct QuerySpec {
    std::string name, sql;
};

// An attached table: `name` in the database refers to `sourceTable` of the database at `sourcePath`.
struct AttachedSpec {
    std::string name, sourcePath, sourceTable;
};

class SchemaFixture : public ArchiveFixture {
public:
    static constexpr const char* kCompanyFile = "Ditta2000.ini";

    std::string model = std::string(kModelFolder) + "\\CONT32.MDB";
    std::string archive = "C:\\ZU\\Ditta2000\\Cont32.mdb";

    SchemaFixture() {
        w.NomeDb1 = model;
        w.NomeDb2 = archive;
        w.File1.entries = {kCompanyFile};
        w.File1.listIndex = 0;
    }

    // A new database at `path`: the tables (fields, indexes, description, rows), the attached tables, the
    // queries, in that order; `password` "" leaves it unprotected.
    void MakeDatabase(const std::string& path, const std::vector<TableSpec>& tables,
                      const std::vector<QuerySpec>& queries = {}, const std::string& password = "",
                      const std::vector<AttachedSpec>& attached = {}) {
        std::filesystem::create_directories(Host(path).parent_path());
        dao::Database db = engine.CreateDatabase(path, password.empty() ? "" : ";pwd=" + password);
        for (const TableSpec& t : tables) {
            dao::TableDef td = db.CreateTableDef(t.name);
            for (const FieldSpec& f : t.fields) {
                dao::Field field = td.CreateField(f.name, f.type, f.size);
                if (f.attributes != 0) field.SetAttributes(f.attributes);
                if (f.allowZeroLength) field.SetAllowZeroLength(true);
                td.Fields().Append(field);
            }
            for (const IndexSpec& ix : t.indexes) {
                dao::Index index = td.CreateIndex(ix.name);
                for (const std::string& name : ix.fields)
                    index.Fields().Append(index.CreateField(name));
                index.SetPrimary(ix.primary);
                index.SetUnique(ix.unique);
                td.Indexes().Append(index);
            }
            db.TableDefs().Append(td);
            if (!t.description.empty()) {
                td.Properties().Append(td.CreateProperty("description", dao::dbText, t.description));
            }
            if (!t.rows.empty()) {
                dao::Recordset rs = db.OpenRecordset(t.name);
                for (const auto& row : t.rows) {
                    rs.AddNew();
                    for (std::size_t i = 0; i < row.size() && i < t.fields.size(); ++i) {
                        if (t.fields[i].attributes & dao::dbAutoIncrField) continue;
                        rs.Fields()[t.fields[i].name].SetValue(row[i]);
                    }
                    rs.Update();
                }
                rs.Close();
            }
        }
        for (const AttachedSpec& a : attached) {
            db.TableDefs().Append(db.CreateTableDef(a.name, 0, a.sourceTable, ";DATABASE=" + a.sourcePath));
        }
        for (const QuerySpec& q : queries)
            db.CreateQueryDef(q.name, q.sql).Close();
        db.Close();
    }

    // A database's structure, one line per object in collection order: the tables but the engine's own,
    // with "description", fields and indexes; then the saved queries with their SQL.
    std::string Structure(const std::string& path, const std::string& password = "") {
        dao::Database db = Open(path, password);
        std::string out;
        dao::TableDefs tables = db.TableDefs();
        for (int i = 0; i < tables.Count(); ++i) {
            dao::TableDef td = tables[i];
            if (IsEngineTable(td)) continue;
            out += "table " + td.Name();
            if (!td.Connect().empty()) out += " -> " + td.Connect() + " " + td.SourceTableName();
            try {
                out += " description=" + td.Properties()["description"].Value().ToString();
            } catch (const Error&) {
            }
            out += "\n";
            if (!td.Connect().empty()) continue;
            dao::Fields fields = td.Fields();
            for (int j = 0; j < fields.Count(); ++j) {
                dao::Field f = fields[j];
                out += "  field " + f.Name() + " type=" + std::to_string(f.Type()) +
                       " size=" + std::to_string(f.Size()) + " attr=" + std::to_string(f.Attributes()) +
                       " zl=" + std::to_string(f.AllowZeroLength()) + " req=" + std::to_string(f.Required()) +
                       " default=" + f.DefaultValue() + "\n";
            }
            dao::Indexes indexes = td.Indexes();
            for (int j = 0; j < indexes.Count(); ++j) {
                dao::Index ix = indexes[j];
                out += "  index " + ix.Name() + " primary=" + std::to_string(ix.Primary()) +
                       " unique=" + std::to_string(ix.Unique()) + " (";
                dao::Fields ixf = ix.Fields();
                for (int k = 0; k < ixf.Count(); ++k)
                    out += (k ? "," : "") + ixf[k].Name();
                out += ")\n";
            }
        }
        dao::QueryDefs queries = db.QueryDefs();
        for (int i = 0; i < queries.Count(); ++i) {
            out += "query " + queries[i].Name() + ": " + queries[i].SQL() + "\n";
        }
        db.Close();
        return out;
    }

    // The rows of a table in the table's order, each as its values' Describe() joined by " | ".
    Strings Rows(const std::string& path, const std::string& table, const std::string& password = "") {
        dao::Database db = Open(path, password);
        Strings rows;
        dao::Recordset rs = db.OpenRecordset(table);
        while (!rs.Eof()) {
            std::string row;
            dao::Fields fields = rs.Fields();
            for (int i = 0; i < fields.Count(); ++i)
                row += (i ? " | " : "") + fields[i].Value().Describe();
            rows.push_back(row);
            rs.MoveNext();
        }
        rs.Close();
        db.Close();
        return rows;
    }

    // Names of the tables but the engine's own ("table") or of the saved queries ("query"), in collection
    // order.
    Strings Names(const std::string& kind, const std::string& path, const std::string& password = "") {
        dao::Database db = Open(path, password);
        Strings names;
        dao::TableDefs tables = db.TableDefs();
        dao::QueryDefs queries = db.QueryDefs();
        for (int i = 0; kind == "table" && i < tables.Count(); ++i)
            if (!IsEngineTable(tables[i])) names.push_back(tables[i].Name());
        for (int i = 0; kind == "query" && i < queries.Count(); ++i)
            names.push_back(queries[i].Name());
        db.Close();
        return names;
    }

    // Names of the fields of a table, in order.
    Strings FieldNames(const std::string& path, const std::string& table) {
        dao::Database db = Open(path);
        Strings names;
        dao::Fields fields = db.TableDefs()[table].Fields();
        for (int i = 0; i < fields.Count(); ++i)
            names.push_back(fields[i].Name());
        db.Close();
        return names;
    }

    // Opens w.Db1 and w.Db2 through ApreDb, as the driver does.
    void OpenPair() {
        w.Db1 = ApreDb(w, w.NomeDb1);
        w.Db2 = ApreDb(w, w.NomeDb2);
    }

    // The model and the archive of one table each, opened; TD1 and TD2 are that table in each.
    void MakePair(const TableSpec& modelTable, const TableSpec& archiveTable) {
        MakeDatabase(model, {modelTable});
        MakeDatabase(archive, {archiveTable});
        OpenPair();
        TD1 = w.Db1.TableDefs()[modelTable.name];
        TD2 = w.Db2.TableDefs()[modelTable.name];
    }
    dao::TableDef TD1, TD2;

    // Back to no databases nor files of the pair, empty log and report, fresh dialogs.
    void ResetPair() {
        if (w.Db1.IsOpen()) w.Db1.Close();
        if (w.Db2.IsOpen()) w.Db2.Close();
        w.Db1 = {};
        w.Db2 = {};
        std::filesystem::remove(Host(model));
        std::filesystem::remove(Host(archive));
        w.Text1.text.clear();
        w.ErroreConfronto = vbFalse;
        if (!w.DiarioConversioni.empty()) std::filesystem::remove(Host(w.DiarioConversioni));
        w.DiarioConversioni.clear();
        w.runReport = RunReport();
        dialogs = ScriptedDialogs();
    }

    std::vector<Box> Boxes() const { return AsBoxes(dialogs); }
    static bool IsEngineTable(const dao::TableDef& td) {
        return (td.Attributes() & dao::dbSystemObject) == dao::dbSystemObject;
    }
};

class SchemaTest : public ::testing::Test, public SchemaFixture {};

} // namespace ledrana::testing
