// A deleted field leaves the catalog at once and its values leave the rows at the next compaction: until
// then nothing the engine offers reads, writes or returns them, and the name is free.

#include "dao/store/sqlite_handle.h"
#include "dao_fixture.h"

#include <sqlite3.h>

#include <string>
#include <vector>

namespace ledrana::dao::testing {
namespace {

class DeletedFields : public DaoTest {
protected:
    void SetUp() override {
        DaoTest::SetUp();
        // B is required and has no default: once deleted it must not stop any insert.
        db_ = Create("a.mdb",
                     {"CREATE TABLE T (Id LONG, A TEXT(10), B LONG NOT NULL, C TEXT(10))",
                      "CREATE INDEX IxA ON T (A)", "CREATE TABLE U (Id LONG, A TEXT(10), C TEXT(10))"});
        for (int id = 1; id <= 6; ++id)
            db_.Execute("INSERT INTO T (Id, A, B, C) VALUES (" + std::to_string(id) + ", 'a" +
                        std::to_string(id % 3) + "', " + std::to_string(100 + id) + ", 'c')");
        db_.CreateQueryDef("Q", "SELECT * FROM T").Close();
    }
    void TearDown() override {
        if (db_.IsOpen()) db_.Close();
        DaoTest::TearDown();
    }

    static std::string Names(const Fields& f) {
        std::string out;
        for (int i = 0; i < f.Count(); ++i)
            out += (i ? "," : "") + f[i].Name();
        return out;
    }
    static std::string Text(const Variant& v) { return v.IsNull() ? "null" : v.ToString(); }
    static std::string Rows(Database& db, const std::string& sql) {
        Recordset rs = db.OpenRecordset(sql);
        std::string out = Names(rs.Fields()) + ":";
        for (; !rs.Eof(); rs.MoveNext()) {
            for (int i = 0; i < rs.Fields().Count(); ++i)
                out += (i ? "|" : "") + Text(rs.Fields()[i].Value());
            out += ";";
        }
        rs.Close();
        return out;
    }

    // What SQLite itself holds in a file: the columns of a table, and one value per row of a column.
    std::vector<std::string> Raw(const std::string& file, const std::string& sql) {
        sqlite3* raw = nullptr;
        sqlite3_open_v2(Path(file).c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
        detail::SqliteDb db(raw);
        std::vector<std::string> out;
        sqlite3_stmt* s = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(raw, sql.c_str(), -1, &s, nullptr), SQLITE_OK) << sqlite3_errmsg(raw);
        while (s && sqlite3_step(s) == SQLITE_ROW) {
            const unsigned char* t = sqlite3_column_text(s, 0);
            out.emplace_back(t ? reinterpret_cast<const char*>(t) : "null");
        }
        sqlite3_finalize(s);
        return out;
    }
    std::string Columns(const std::string& file) {
        std::string out;
        for (const std::string& c : Raw(file, "SELECT name FROM pragma_table_info('T')"))
            out += c + ",";
        return out;
    }

    Database db_;
};

TEST_F(DeletedFields, ADeletedFieldIsInvisibleEverywhereUntilCompaction) {
    // Two rows that differ only in B: whatever still read B would tell them apart.
    db_.Execute("INSERT INTO T (Id, A, B, C) VALUES (9, 'z', 1, 'c')");
    db_.Execute("INSERT INTO T (Id, A, B, C) VALUES (9, 'z', 2, 'c')");
    db_.TableDefs()["T"].Fields().Delete("B");
    const std::string all = "Id,A,C:1|a1|c;2|a2|c;3|a0|c;4|a1|c;5|a2|c;6|a0|c;9|z|c;9|z|c;";
    struct Case {
        const char* source;
        std::string expected;
    } cases[] = {
        {"T", all},
        {"SELECT * FROM T", all},
        {"Q", all},
        {"SELECT DISTINCT * FROM T WHERE Id > 4 ORDER BY A", "Id,A,C:6|a0|c;5|a2|c;9|z|c;"},
        {"SELECT DISTINCT T.* FROM T INNER JOIN U ON T.Id = U.Id", "Id,A,C:"},
        {"SELECT * FROM T WHERE Id = 9 UNION SELECT * FROM T WHERE Id = 9", "Id,A,C:9|z|c;"},
        {"SELECT A, count(*) AS N FROM T GROUP BY A", "A,N:a0|2;a1|2;a2|2;z|2;"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Rows(db_, c.source), c.expected) << c.source;
    EXPECT_EQ(Names(db_.TableDefs()["T"].Fields()), "Id,A,C");
    EXPECT_EQ(ErrorOf([&] { Rows(db_, "SELECT B FROM T"); }), 3061);
    EXPECT_EQ(ErrorOf([&] { db_.TableDefs()["T"].Fields()["B"]; }), 3265);

    // Inserts of every kind leave the hidden column alone, and its NOT NULL never stops them.
    db_.Execute("INSERT INTO T VALUES (7, 'x', 'y')");
    db_.Execute("INSERT INTO U SELECT * FROM T WHERE Id = 7");
    db_.Execute("INSERT INTO T SELECT * FROM Q WHERE Id = 7");
    Recordset rs = db_.OpenRecordset("T");
    rs.AddNew();
    rs.Fields()["Id"].SetValue(8);
    rs.Update();
    rs.Close();
    rs = db_.OpenRecordset("SELECT * FROM T WHERE Id = 1");
    ASSERT_TRUE(rs.Updatable());
    rs.Edit();
    rs.Fields()["C"].SetValue("e");
    rs.Update();
    rs.Close();
    EXPECT_EQ(Rows(db_, "SELECT * FROM U"), "Id,A,C:7|x|y;");
    EXPECT_EQ(Rows(db_, "SELECT Id, C FROM T WHERE Id = 1 OR (Id >= 7 AND Id <= 8)"),
              "Id,C:1|e;7|y;7|y;8|null;");

    // The values stay in the file, under a name of their own, also for a new opening of the file.
    db_.Close();
    db_ = engine_.OpenDatabase(Path("a.mdb"));
    EXPECT_EQ(Names(db_.TableDefs()["T"].Fields()), "Id,A,C");
    EXPECT_EQ(Rows(db_, "SELECT * FROM T WHERE Id = 2"), "Id,A,C:2|a2|c;");
    EXPECT_EQ(Columns("a.mdb"), "Id,A,~1~B,C,");
    EXPECT_EQ(Raw("a.mdb", "SELECT \"~1~B\" FROM T WHERE Id <= 2 OR Id = 8"),
              (std::vector<std::string>{"101", "102", "null"}));
}

TEST_F(DeletedFields, TheNameOfADeletedFieldCanBeUsedAgainAtOnce) {
    TableDef td = db_.TableDefs()["T"];
    td.Fields().Delete("B");
    td.Fields().Append(td.CreateField("B", dbText, 20));
    EXPECT_EQ(Rows(db_, "SELECT Id, B FROM T WHERE Id <= 2"), "Id,B:1|null;2|null;");
    db_.Execute("UPDATE T SET B = 'nuovo' WHERE Id = 1");
    // Deleted a second time, and a field renamed to the name that the first one hides under.
    td.Fields().Delete("B");
    td.Fields()["C"].SetName("~1~B");
    db_.Execute("ALTER TABLE T ADD COLUMN B DOUBLE");
    EXPECT_EQ(Names(td.Fields()), "Id,A,~1~B,B");
    EXPECT_EQ(Rows(db_, "SELECT * FROM T WHERE Id = 1"), "Id,A,~1~B,B:1|a1|c|null;");
    db_.Execute("ALTER TABLE T DROP COLUMN B");
    EXPECT_EQ(Names(db_.TableDefs()["T"].Fields()), "Id,A,~1~B");
}

TEST_F(DeletedFields, CompactionRemovesTheValuesAndKeepsEverythingElse) {
    TableDef td = db_.TableDefs()["T"];
    td.Fields().Delete("B");
    td.Fields().Append(td.CreateField("B", dbText, 20));
    db_.Execute("UPDATE T SET B = 'b' & Id");
    td.Fields().Delete("C");
    db_.TableDefs()["U"].Fields().Delete("C");
    db_.Execute("DELETE FROM T WHERE Id = 3");
    db_.Close();

    engine_.CompactDatabase(Path("a.mdb"), Path("b.mdb"));
    EXPECT_EQ(Columns("b.mdb"), "Id,A,B,");
    EXPECT_EQ(Raw("b.mdb", "SELECT count(*) FROM MSysFields WHERE Ordinal < 0"),
              std::vector<std::string>{"0"});
    // The rows keep their rowids and values; the index is there and used.
    EXPECT_EQ(Raw("b.mdb", "SELECT rowid || ':' || Id || A || B FROM T"),
              (std::vector<std::string>{"1:1a1b1", "2:2a2b2", "4:4a1b4", "5:5a2b5", "6:6a0b6"}));
    EXPECT_EQ(Raw("b.mdb", "SELECT name FROM sqlite_schema WHERE type = 'index' AND tbl_name = 'T'"),
              std::vector<std::string>{"T.IxA"});
    EXPECT_EQ(Raw("b.mdb", "PRAGMA integrity_check"), std::vector<std::string>{"ok"});

    Database b = engine_.OpenDatabase(Path("b.mdb"));
    EXPECT_EQ(Rows(b, "SELECT * FROM T WHERE A = 'a1'"), "Id,A,B:1|a1|b1;4|a1|b4;");
    EXPECT_EQ(Names(b.TableDefs()["U"].Fields()), "Id,A");
    EXPECT_EQ(Rows(b, "Q"), "Id,A,B:1|a1|b1;2|a2|b2;4|a1|b4;5|a2|b5;6|a0|b6;");
    b.Close();
    // A file without hidden columns is compacted as before, and a compacted file opens and compacts again.
    engine_.CompactDatabase(Path("b.mdb"), Path("c.mdb"));
    EXPECT_EQ(Columns("c.mdb"), "Id,A,B,");
}

} // namespace
} // namespace ledrana::dao::testing
