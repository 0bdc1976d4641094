// A deleted field leaves the catalog at once and its values leave the rows at the next compaction: until
// then nothing the engine offers reads, writes or returns them, and the name is free. Values converted by a
// structure change reach the rows at the compaction too, and are read converted until then.

#include "dao/handles.h"
#include "dao_fixture.h"

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

    static std::string Rows(Database& db, const std::string& sql) { return testing::Rows(db, sql, true); }

    // The columns SQLite holds for table T.
    std::string Columns(const std::string& file) {
        return Sqlite(file, "SELECT group_concat(name) FROM pragma_table_info('T')").at(0);
    }
};

TEST_F(DeletedFields, ADeletedFieldIsInvisibleEverywhereUntilCompaction) {
    // Two rows that differ only in B: whatever still read B would tell them apart.
    db_.Execute("INSERT INTO T (Id, A, B, C) VALUES (9, 'z', 1, 'c')");
    db_.Execute("INSERT INTO T (Id, A, B, C) VALUES (9, 'z', 2, 'c')");
    db_.TableDefs()["T"].Fields().Delete("B");
    const std::string all = "Id|A|C;1|a1|c;2|a2|c;3|a0|c;4|a1|c;5|a2|c;6|a0|c;9|z|c;9|z|c";
    const std::pair<const char*, std::string> cases[] = {
        {"T", all},
        {"SELECT * FROM T", all},
        {"Q", all},
        {"SELECT DISTINCT * FROM T WHERE Id > 4 ORDER BY A", "Id|A|C;6|a0|c;5|a2|c;9|z|c"},
        {"SELECT DISTINCT T.* FROM T INNER JOIN U ON T.Id = U.Id", "Id|A|C"},
        {"SELECT * FROM T WHERE Id = 9 UNION SELECT * FROM T WHERE Id = 9", "Id|A|C;9|z|c"},
        {"SELECT A, count(*) AS N FROM T GROUP BY A", "A|N;a0|2;a1|2;a2|2;z|2"},
    };
    for (const auto& [source, expected] : cases)
        EXPECT_EQ(Rows(db_, source), expected) << source;
    EXPECT_EQ(Names(db_.TableDefs()["T"].Fields()), "Id,A,C");
    EXPECT_EQ(ErrorOf([&] { Rows(db_, "SELECT B FROM T"); }), 3061);
    EXPECT_EQ(ErrorOf([&] { db_.TableDefs()["T"].Fields()["B"]; }), 3265);

    // Inserts of every kind leave the hidden column alone, and its NOT NULL never stops them.
    db_.Execute("INSERT INTO T VALUES (7, 'x', 'y')");
    db_.Execute("INSERT INTO U SELECT * FROM T WHERE Id = 7");
    db_.Execute("INSERT INTO T SELECT * FROM Q WHERE Id = 7");
    Recordset rs = db_.OpenRecordset("T");
    Add(rs, {{"Id", 8}});
    rs.Close();
    rs = db_.OpenRecordset("SELECT * FROM T WHERE Id = 1");
    ASSERT_TRUE(rs.Updatable());
    Change(rs, {{"C", "e"}});
    rs.Close();
    EXPECT_EQ(Rows(db_, "SELECT * FROM U"), "Id|A|C;7|x|y");
    EXPECT_EQ(Rows(db_, "SELECT Id, C FROM T WHERE Id = 1 OR (Id >= 7 AND Id <= 8)"),
              "Id|C;1|e;7|y;7|y;8|Null");

    // The values stay in the file, under a name of their own, also for a new opening of the file.
    db_.Close();
    db_ = engine_.OpenDatabase(Path("a.mdb"));
    EXPECT_EQ(Names(db_.TableDefs()["T"].Fields()), "Id,A,C");
    EXPECT_EQ(Rows(db_, "SELECT * FROM T WHERE Id = 2"), "Id|A|C;2|a2|c");
    EXPECT_EQ(Columns("a.mdb"), "Id,A,~1~B,C");
    EXPECT_EQ(Sqlite("a.mdb", "SELECT \"~1~B\" FROM T WHERE Id <= 2 OR Id = 8"),
              (std::vector<std::string>{"101", "102", "null"}));
}

TEST_F(DeletedFields, TheNameOfADeletedFieldCanBeUsedAgainAtOnce) {
    TableDef td = db_.TableDefs()["T"];
    td.Fields().Delete("B");
    td.Fields().Append(td.CreateField("B", dbText, 20));
    EXPECT_EQ(Rows(db_, "SELECT Id, B FROM T WHERE Id <= 2"), "Id|B;1|Null;2|Null");
    db_.Execute("UPDATE T SET B = 'nuovo' WHERE Id = 1");
    // Deleted a second time, and a field renamed to the name that the first one hides under.
    td.Fields().Delete("B");
    td.Fields()["C"].SetName("~1~B");
    db_.Execute("ALTER TABLE T ADD COLUMN B DOUBLE");
    EXPECT_EQ(Names(td.Fields()), "Id,A,~1~B,B");
    EXPECT_EQ(Rows(db_, "SELECT * FROM T WHERE Id = 1"), "Id|A|~1~B|B;1|a1|c|Null");
    db_.Execute("ALTER TABLE T DROP COLUMN B");
    EXPECT_EQ(Names(db_.TableDefs()["T"].Fields()), "Id,A,~1~B");
}

TEST_F(DeletedFields, CompactionRemovesTheValuesAndKeepsEverythingElse) {
    TableDef td = db_.TableDefs()["T"];
    td.Fields().Delete("B");
    td.Fields().Append(td.CreateField("B", dbText, 20));
    db_.Execute("UPDATE T SET B = 'b' & Id");
    td.Fields().Delete("C");
    for (const char* row : {"(3, 'u3')", "(1, 'u1')", "(2, 'u2')"})
        db_.Execute(std::string("INSERT INTO U (Id, A) VALUES ") + row);
    db_.TableDefs()["U"].Fields().Delete("C");
    db_.Execute("DELETE FROM T WHERE Id = 3");
    db_.Close();

    engine_.CompactDatabase(Path("a.mdb"), Path("b.mdb"));
    EXPECT_EQ(Columns("b.mdb"), "Id,A,B");
    EXPECT_EQ(Sqlite("b.mdb", "SELECT count(*) FROM MSysFields WHERE Ordinal < 0"),
              std::vector<std::string>{"0"});
    // The rows keep their rowids and values; the index is there and used.
    EXPECT_EQ(Sqlite("b.mdb", "SELECT rowid || ':' || Id || A || B FROM T"),
              (std::vector<std::string>{"1:1a1b1", "2:2a2b2", "4:4a1b4", "5:5a2b5", "6:6a0b6"}));
    EXPECT_EQ(Sqlite("b.mdb", "SELECT rowid || ':' || Id || A FROM U"),
              (std::vector<std::string>{"1:3u3", "2:1u1", "3:2u2"}));
    EXPECT_EQ(Sqlite("b.mdb", "SELECT name FROM sqlite_schema WHERE type = 'index' AND tbl_name = 'T'"),
              std::vector<std::string>{"T.IxA"});
    EXPECT_EQ(Sqlite("b.mdb", "PRAGMA integrity_check"), std::vector<std::string>{"ok"});

    Database b = engine_.OpenDatabase(Path("b.mdb"));
    EXPECT_EQ(Rows(b, "SELECT * FROM T WHERE A = 'a1'"), "Id|A|B;1|a1|b1;4|a1|b4");
    EXPECT_EQ(Names(b.TableDefs()["U"].Fields()), "Id,A");
    EXPECT_EQ(Rows(b, "Q"), "Id|A|B;1|a1|b1;2|a2|b2;4|a1|b4;5|a2|b5;6|a0|b6");
    b.Close();
    // A file without hidden columns is compacted as before, and a compacted file opens and compacts again.
    engine_.CompactDatabase(Path("b.mdb"), Path("c.mdb"));
    EXPECT_EQ(Columns("c.mdb"), "Id,A,B");
}

// A field set to another with dbDeferWrite reads what the UPDATE would have written, before and after the
// file is closed without compaction, and after the compaction that stores the values.
TEST_F(DeletedFields, AFieldCopiedWithoutWritingReadsAsTheUpdateWritesIt) {
    const char* table = "CREATE TABLE V (Id LONG, S TEXT(20), D DOUBLE, L LONG, M MEMO)";
    const char* rows[] = {"INSERT INTO V VALUES (1, '12', 2.5, 7, 'lungo testo')",
                          "INSERT INTO V VALUES (2, 'abc', 40000.4, -3, 'y')",
                          "INSERT INTO V VALUES (3, 'z', -1.5, 123456, NULL)",
                          "INSERT INTO V VALUES (4, NULL, NULL, NULL, 'x')",
                          "INSERT INTO V VALUES (5, '3,5', 1e300, 0, '1/2/2020')"};
    // The new field's declaration, and the field it is set to. The last ones widen whole numbers and a
    // Single, which every value of their sources leaves as it is.
    const std::pair<const char*, const char*> cases[] = {
        {"X1 LONG", "S"},    {"X2 DOUBLE", "S"},    {"X3 LONG", "D"},    {"X4 SHORT", "D"},
        {"X5 TEXT(2)", "L"}, {"X6 TEXT(3)", "S"},   {"X7 TEXT(5)", "M"}, {"X8 DATETIME", "M"},
        {"X9 BIT", "L"},     {"X10 CURRENCY", "D"}, {"X11 BYTE", "L"},   {"X12 MEMO", "D"},
        {"X13 SHORT", "L"},  {"X14 LONG", "X13"},   {"X15 SINGLE", "D"}, {"X16 DOUBLE", "X15"},
        {"X17 LONG", "X11"}, {"X18 DOUBLE", "X15"}};
    Database plain = Create("plain.mdb", {table});
    Database waits = Create("waits.mdb", {table});
    for (const char* r : rows) {
        plain.Execute(r);
        waits.Execute(r);
    }
    std::string all = "Id";
    bool appended = false; // every other field appended with its values (AppendFieldFrom)
    for (const auto& [field, source] : cases) {
        SCOPED_TRACE(field);
        const std::string name = std::string(field).substr(0, std::string(field).find(' '));
        plain.Execute("ALTER TABLE V ADD COLUMN " + std::string(field));
        const std::string update = "UPDATE V SET " + name + " = " + source;
        plain.Execute(update);
        appended = !appended;
        if (appended) {
            const Field like = plain.TableDefs()["V"].Fields()[name];
            TableDef V = waits.TableDefs()["V"];
            Field f = V.CreateField(name, like.Type(), like.Size());
            f.SetAllowZeroLength(like.AllowZeroLength());
            V.AppendFieldFrom(f, source, dbDeferWrite);
        } else {
            waits.Execute("ALTER TABLE V ADD COLUMN " + std::string(field));
            waits.Execute(update, dbDeferWrite);
            EXPECT_EQ(waits.RecordsAffected(), plain.RecordsAffected());
        }
        all += ", " + name;
        EXPECT_EQ(Rows(waits, "SELECT Id, " + name + " FROM V"),
                  Rows(plain, "SELECT Id, " + name + " FROM V"));
    }
    const std::string expected = Rows(plain, "SELECT " + all + " FROM V ORDER BY Id");
    waits.Close();
    // No row was written: the values are computed from the columns as they were. A field appended with
    // its values has no column of its own to hide.
    EXPECT_EQ(Sqlite("waits.mdb", "SELECT count(*) FROM pragma_table_xinfo('V') WHERE hidden = 2"),
              std::vector<std::string>{std::to_string(std::size(cases))});
    EXPECT_EQ(Sqlite("waits.mdb", "SELECT count(*) FROM pragma_table_xinfo('V') WHERE name LIKE '~%'"),
              std::vector<std::string>{std::to_string(std::size(cases) / 2)});
    waits = engine_.OpenDatabase(Path("waits.mdb"));
    EXPECT_EQ(Rows(waits, "SELECT " + all + " FROM V ORDER BY Id"), expected);
    // A source written later leaves the copies as the UPDATE wrote them.
    for (Database* db : {&plain, &waits}) {
        db->Execute("UPDATE V SET M = 'nuovo', L = 1 WHERE Id <= 2");
        db->Execute("DELETE FROM V WHERE Id = 4");
    }
    EXPECT_EQ(Rows(waits, "SELECT * FROM V ORDER BY Id"), Rows(plain, "SELECT * FROM V ORDER BY Id"));
    waits.Close();
    engine_.CompactDatabase(Path("waits.mdb"), Path("stored.mdb"));
    EXPECT_EQ(Sqlite("stored.mdb", "SELECT count(*) FROM pragma_table_xinfo('V') WHERE hidden <> 0"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(Sqlite("stored.mdb", "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
    Database stored = engine_.OpenDatabase(Path("stored.mdb"));
    EXPECT_EQ(Rows(stored, "SELECT * FROM V ORDER BY Id"), Rows(plain, "SELECT * FROM V ORDER BY Id"));
    stored.Close();
    plain.Close();
}

// A field converted in place in one structure change ends as the field appended with the converted values
// and put in the old one's place by Fields().Replace: the same fields in the same order, the same values
// before and after the compaction; SQLite's schema changes once instead of twice. A field that an index
// holds is left to the two steps.
TEST_F(DeletedFields, AFieldConvertedInOneChangeEndsAsTheTwoStepsLeaveIt) {
    const char* table = "CREATE TABLE V (Id LONG, S TEXT(3), N SHORT, D SINGLE, T TEXT(10), K LONG)";
    const char* rows[] = {"INSERT INTO V VALUES (1, 'ab', 7, 2.5, '12', 1)",
                          "INSERT INTO V VALUES (2, NULL, -3, NULL, 'abc', 2)",
                          "INSERT INTO V VALUES (3, 'xyz', NULL, -1.25, NULL, 3)"};
    Database two = Create("two.mdb", {table, "CREATE INDEX IxK ON V (K)"});
    Database one = Create("one.mdb", {table, "CREATE INDEX IxK ON V (K)"});
    for (const char* r : rows) {
        two.Execute(r);
        one.Execute(r);
    }
    // The new definitions: widenings, and a text read as a number.
    const std::tuple<const char*, int, std::int32_t> cases[] = {
        {"S", dbText, 20}, {"N", dbLong, 0}, {"D", dbDouble, 0}, {"T", dbLong, 0}};
    for (const auto& [name, type, size] : cases) {
        SCOPED_TRACE(name);
        TableDef V2 = two.TableDefs()["V"];
        V2.AppendFieldFrom(V2.CreateField(std::string(name) + "zz", type, size), name, dbDeferWrite);
        V2.Fields().Replace(name, std::string(name) + "zz");
        TableDef V1 = one.TableDefs()["V"];
        ASSERT_TRUE(V1.ConvertField(V1.CreateField(name, type, size)));
        for (Database* db : {&two, &one}) {
            Field f = db->TableDefs()["V"].Fields()[name];
            f.SetOrdinalPosition(f.OrdinalPosition() + 1);
        }
        EXPECT_EQ(Rows(one, "SELECT * FROM V ORDER BY Id"), Rows(two, "SELECT * FROM V ORDER BY Id"));
    }
    TableDef V1 = one.TableDefs()["V"];
    EXPECT_FALSE(V1.ConvertField(V1.CreateField("K", dbDouble)));
    EXPECT_EQ(one.TableDefs()["V"].Fields()["K"].Type(), dbLong);
    const auto shape = [](Database& db) {
        std::string out;
        dao::Fields fields = db.TableDefs()["V"].Fields();
        for (int i = 0; i < fields.Count(); ++i)
            out += fields[i].Name() + ":" + std::to_string(fields[i].Type()) + ":" +
                   std::to_string(fields[i].Size()) + ":" + std::to_string(fields[i].OrdinalPosition()) + " ";
        return out;
    };
    EXPECT_EQ(shape(one), shape(two));
    const std::string expected = Rows(two, "SELECT * FROM V ORDER BY Id");
    one.Close();
    two.Close();
    // The same files but for SQLite's schema, changed once for each field converted in one change.
    const auto version = [&](const char* file) {
        return std::stoll(Sqlite(file, "PRAGMA schema_version").at(0));
    };
    EXPECT_EQ(version("two.mdb") - version("one.mdb"), static_cast<long long>(std::size(cases)));
    engine_.CompactDatabase(Path("one.mdb"), Path("one-stored.mdb"));
    EXPECT_EQ(Sqlite("one-stored.mdb", "SELECT count(*) FROM pragma_table_xinfo('V') WHERE hidden <> 0"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(Sqlite("one-stored.mdb", "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
    Database stored = engine_.OpenDatabase(Path("one-stored.mdb"));
    EXPECT_EQ(Rows(stored, "SELECT * FROM V ORDER BY Id"), expected);
    stored.Close();
}

// On a table whose values wait for the compaction, the Nulls of a field that no index holds are completed at
// once and counted as the values are stored: by the compaction, or by the write that stores them first, the
// count kept with the file until the compaction reports it. Fields of an index are counted at once.
TEST_F(DeletedFields, NullsOfAWaitingTableAreCountedWhenTheValuesAreStored) {
    for (const bool written : {false, true}) {
        SCOPED_TRACE(written ? "stored by a write" : "stored by the compaction");
        const std::string file = written ? "w.mdb" : "c.mdb";
        Database db = Create(file, {"CREATE TABLE V (Id LONG, S SHORT, X LONG, Y TEXT(5), Z TEXT(5))",
                                    "CREATE UNIQUE INDEX IxId ON V (Id)", "CREATE INDEX IxY ON V (Y)"});
        db.Execute("INSERT INTO V VALUES (1, 1, NULL, NULL, 'z')");
        db.Execute("INSERT INTO V VALUES (2, 2, 5, NULL, NULL)");
        db.Execute("INSERT INTO V VALUES (3, NULL, NULL, 'y', NULL)");
        TableDef V = db.TableDefs()["V"];
        // S becomes a Long computed from its Integer values: the table waits.
        ASSERT_TRUE(V.ConvertField(V.CreateField("S", dbLong)));
        using Counts = std::vector<std::int64_t>;
        EXPECT_EQ(V.FillNulls({{"Id", Variant(0)},
                               {"X", Variant(0)},
                               {"Y", Variant("-")},
                               {"Z", Variant("-")},
                               {"S", Variant(0)}}),
                  (Counts{0, kNullsCountedLater, 2, kNullsCountedLater, kNullsCountedLater}));
        EXPECT_EQ(Rows(db, "SELECT Id, S, X, Y, Z FROM V ORDER BY Id"),
                  "Id|S|X|Y|Z;1|1|0|-|z;2|2|5|-|-;3|0|0|y|-");
        // Z is deleted: its completed Nulls are reported all the same, counted with the other columns.
        db.TableDefs()["V"].Fields().Delete("Z");
        if (written) {
            db.Execute("UPDATE V SET X = X + 1 WHERE Id = 2");
            db.Execute("INSERT INTO V (Id, S, X) VALUES (4, NULL, NULL)");
        }
        db.Close();
        if (!written) {
            // What the file says of its own is not trusted: a count that is no number is still to be made,
            // a column the table lacks has nothing to count.
            Sqlite(file, "UPDATE MSysFields SET ValidationRule = 'x' WHERE Ordinal = -2");
            Sqlite(file, "INSERT INTO MSysFields (TableName, Name, Ordinal, Type, Size, Attributes, "
                         "AllowZeroLength, Required, DefaultValue, ValidationRule, ValidationText) "
                         "VALUES ('V', '~9~Nessuna', -2, 0, 0, 0, 0, 0, 'Nessuna', '', '')");
        }
        engine_.CompactDatabase(Path(file), Path("stored-" + file));
        std::map<std::string, std::int64_t> completed;
        for (const CompletedNulls& n : engine_.LastCompactionCompletedNulls()) {
            EXPECT_EQ(n.table, "V");
            completed[n.field] += n.count;
        }
        // The row inserted after the values were stored has its own Nulls, not completed ones.
        EXPECT_EQ(completed, (std::map<std::string, std::int64_t>{{"S", 1}, {"X", 2}, {"Z", 2}}));
        EXPECT_EQ(Sqlite("stored-" + file, "SELECT count(*) FROM pragma_table_xinfo('V') WHERE hidden <> 0"),
                  std::vector<std::string>{"0"});
        Database stored = engine_.OpenDatabase(Path("stored-" + file));
        EXPECT_EQ(Rows(stored, "SELECT Id, S, X FROM V ORDER BY Id"),
                  written ? "Id|S|X;1|1|0;2|2|6;3|0|0;4|Null|Null" : "Id|S|X;1|1|0;2|2|5;3|0|0");
        stored.Close();
        // A compaction of what has no Null left to count reports none.
        engine_.CompactDatabase(Path("stored-" + file), Path("again-" + file));
        EXPECT_TRUE(engine_.LastCompactionCompletedNulls().empty());
    }
}

// Nulls completed without writing, indexes that wait on such a table, and the first row write that stores
// the values and builds the indexes.
TEST_F(DeletedFields, CompletedNullsAndWaitingIndexesReachTheRowsBeforeAWrite) {
    db_.Execute("INSERT INTO T (Id, A, B, C) VALUES (7, NULL, 1, NULL)");
    db_.Execute("INSERT INTO T (Id, A, B, C) VALUES (8, NULL, 2, NULL)");
    TableDef td = db_.TableDefs()["T"];
    using Counts = std::vector<std::int64_t>;
    // C takes no zero-length text: its saves would fail.
    EXPECT_EQ(td.FillNulls({{"C", Variant("")}, {"Nessuno", Variant(1)}}), (Counts{-1, -1}));
    td.Fields()["C"].SetAllowZeroLength(true);
    // A field of a unique index is left to the row-by-row saves when it holds a Null; without one there is
    // nothing to complete.
    db_.Execute("CREATE UNIQUE INDEX IxB ON T (B)");
    EXPECT_EQ(td.FillNulls({{"C", Variant("")}, {"A", Variant("n")}, {"B", Variant(0)}, {"Id", Variant(0)}}),
              (Counts{2, 2, 0, 0}));
    db_.Execute("INSERT INTO U (Id, A) VALUES (1, NULL)");
    db_.Execute("CREATE UNIQUE INDEX IxUA ON U (A)");
    EXPECT_EQ(db_.TableDefs()["U"].FillNulls({{"A", Variant("n")}, {"Id", Variant(0)}}), (Counts{-1, 0}));
    // T now waits for the compaction: a field that no index holds is completed again, counted later.
    EXPECT_EQ(td.FillNulls({{"C", Variant("")}}), Counts{kNullsCountedLater});
    // A table with more fields than one count reads at once: each field counted, the last ones too.
    std::string wideFields;
    std::vector<std::pair<std::string, Variant>> neutral;
    for (int i = 0; i < 105; ++i) {
        wideFields += (i ? ", F" : "F") + std::to_string(i) + " LONG";
        neutral.emplace_back("F" + std::to_string(i), Variant(0));
    }
    db_.Execute("CREATE TABLE W (" + wideFields + ")");
    db_.Execute("INSERT INTO W (F0, F1) VALUES (1, 1)");
    db_.Execute("INSERT INTO W (F0, F103) VALUES (2, 2)");
    Counts wide(105, 2);
    wide[0] = 0;
    wide[1] = wide[103] = 1;
    EXPECT_EQ(db_.TableDefs()["W"].FillNulls(neutral), wide);
    EXPECT_EQ(Rows(db_, "SELECT Id, A, C FROM T WHERE Id >= 6"), "Id|A|C;6|a0|c;7|n|;8|n|");
    // What the file holds once the engine has committed its grouped writes.
    const auto indexes = [&] {
        db_.Close();
        db_ = engine_.OpenDatabase(Path("a.mdb"));
        return Sqlite(
            "a.mdb",
            "SELECT coalesce(group_concat(name), '') || ' ' || (SELECT count(*) FROM "
            "pragma_table_xinfo('T') WHERE hidden = 2 AND name NOT LIKE '~%') FROM (SELECT name FROM "
            "sqlite_schema WHERE type = 'index' AND tbl_name = 'T' ORDER BY name)");
    };
    EXPECT_EQ(indexes(), std::vector<std::string>{"T.IxB 2"});
    // Every index created on a table with computed fields waits, a unique one checked at once on the values.
    EXPECT_EQ(ErrorOf([&] { db_.Execute("CREATE UNIQUE INDEX IxC ON T (C)"); }), 3022);
    db_.Execute("CREATE UNIQUE INDEX IxId ON T (Id)");
    EXPECT_EQ(indexes(), std::vector<std::string>{"T.IxB 2"});

    // A walk that saves rows through a recordset: a field that no computation reads is written as it is,
    // the computations go on waiting; a computed field saved stores the table's values first.
    Recordset rs = db_.OpenRecordset("SELECT * FROM T WHERE Id >= 5");
    int walked = 0;
    for (; !rs.Eof(); rs.MoveNext(), ++walked)
        Change(rs, {{"B", rs.Fields()["B"].Value().ToLong() + 1000}});
    rs.Close();
    EXPECT_EQ(walked, 4);
    EXPECT_EQ(indexes(), std::vector<std::string>{"T.IxB 2"});
    rs = db_.OpenRecordset("SELECT * FROM T WHERE Id >= 7");
    Change(rs, {{"C", "w"}});
    rs.MoveNext();
    Change(rs, {{"B", 1002}});
    rs.Close();
    EXPECT_EQ(indexes(), std::vector<std::string>{"T.IxA,T.IxB,T.IxId 0"});
    EXPECT_EQ(Rows(db_, "SELECT Id, A, B, C FROM T WHERE Id >= 5"),
              "Id|A|B|C;5|a2|1105|c;6|a0|1106|c;7|n|1001|w;8|n|1002|");
    EXPECT_EQ(ErrorOf([&] { db_.Execute("INSERT INTO T (Id, B) VALUES (8, 5)", dbFailOnError); }), 3022);
    // A new row's Null stays Null.
    db_.Execute("INSERT INTO T (Id, B) VALUES (9, 5)");
    EXPECT_EQ(Rows(db_, "SELECT A, C FROM T WHERE Id = 9"), "A|C;Null|Null");
}

// A write path of the engine's own that skips the gate of row writes: SQLite refuses what would change a
// waiting computation, whether the catalog was made in this session or read from the file, and lets the
// other writes through.
TEST_F(DeletedFields, AWriteThatSkipsTheGateIsRefused) {
    db_.Execute("ALTER TABLE T ADD COLUMN N LONG");
    db_.Execute("UPDATE T SET N = B", dbDeferWrite);
    const auto write = [&](const std::string& sql) {
        detail::Connection& c = db_.impl()->C();
        return ErrorOf([&] {
            sqlite3_stmt* s = c.Prepare(sql);
            const int rc = sqlite3_step(s);
            sqlite3_reset(s);
            if (rc != SQLITE_DONE) detail::ThrowSqlite(c.handle(), rc);
        });
    };
    const std::string changeId = "UPDATE T SET Id = Id WHERE Id = 1";
    EXPECT_EQ(write(changeId), 0);
    // An index that waits changes nothing SQLite sees: the statement prepared before is asked again.
    db_.Execute("CREATE UNIQUE INDEX IxId ON T (Id)");
    for (bool reopened : {false, true}) {
        SCOPED_TRACE(reopened);
        EXPECT_EQ(write(changeId), 3000);
        EXPECT_EQ(write("UPDATE T SET B = 0"), 3000); // N reads it
        EXPECT_EQ(write("INSERT INTO T (Id, B) VALUES (10, 1)"), 3000);
        EXPECT_EQ(write("UPDATE T SET A = 'x' WHERE Id = 1"), 0);
        EXPECT_EQ(write("DELETE FROM T WHERE Id = 6"), 0);
        EXPECT_EQ(Rows(db_, "SELECT Id, A, B, N FROM T"),
                  "Id|A|B|N;1|x|101|101;2|a2|102|102;3|a0|103|103;4|a1|104|104;5|a2|105|105");
        db_.Close();
        db_ = engine_.OpenDatabase(Path("a.mdb"));
    }
    // Through the gate the values are stored first.
    detail::BeforeRowWrite(db_.impl()->C(), "T", {"B"}, false);
    EXPECT_EQ(write("UPDATE T SET B = 0 WHERE Id = 1"), 0);
    EXPECT_EQ(Rows(db_, "SELECT B, N FROM T WHERE Id = 1"), "B|N;0|101");
}

// Renamed fields keep their values, their indexes and the computations that read them, whether the engine
// edits the schema's text itself or, on a file holding a view it did not write, leaves them to SQLite.
TEST_F(DeletedFields, RenamesReachIndexesAndComputations) {
    const std::string expected = "Num|C|A|CITTÀ \"X\";1|a1|c1|10;2|a2|c2|20";
    for (const std::string file : {"plain.mdb", "view.mdb"}) {
        SCOPED_TRACE(file);
        Database db =
            Create(file, {"CREATE TABLE T (Id LONG, A TEXT(10), C TEXT(10), [Città \"x\"] LONG)",
                          "CREATE UNIQUE INDEX IxA ON T (A)", "INSERT INTO T VALUES (1, 'a1', 'c1', 10)",
                          "INSERT INTO T VALUES (2, 'a2', 'c2', 20)", "ALTER TABLE T ADD COLUMN N TEXT(10)"});
        if (file == "view.mdb") {
            db.Close();
            Sqlite(file, "CREATE VIEW W AS SELECT Id, A FROM T");
            db = engine_.OpenDatabase(Path(file));
        }
        db.Execute("UPDATE T SET N = [Città \"x\"]", dbDeferWrite);
        Fields fields = db.TableDefs()["T"].Fields();
        fields["Id"].SetName("Num");
        fields["Città \"x\""].SetName("CITTÀ \"X\""); // read by N's computation
        fields["A"].SetName("a");                     // a change of case
        fields["C"].SetName("X");
        fields["a"].SetName("C");
        fields["X"].SetName("A");
        // A field replaced by the computed one that reads it, in one change; a field of an index stays.
        EXPECT_EQ(ErrorOf([&] { fields.Replace("C", "A"); }), 3280);
        fields.Replace("CITTÀ \"X\"", "N");
        EXPECT_EQ(Rows(db, "SELECT * FROM T ORDER BY Num"), expected);
        // The unique index went with its field; the insert stores the computed values first.
        EXPECT_EQ(ErrorOf([&] { db.Execute("INSERT INTO T (Num, C) VALUES (9, 'a1')", dbFailOnError); }),
                  3022);
        db.Close();
        EXPECT_EQ(Sqlite(file, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
        engine_.CompactDatabase(Path(file), Path("c" + file));
        Database compacted = engine_.OpenDatabase(Path("c" + file));
        EXPECT_EQ(Rows(compacted, "SELECT * FROM T ORDER BY Num"), expected);
        compacted.Close();
    }
}

// With index builds deferred, an index on a table with rows is checked at once and built by the compaction
// or before the next new row; on an empty table it is built at once.
TEST_F(DeletedFields, DeferredIndexBuildsWaitForTheCompactionOrANewRow) {
    db_.DeferIndexBuilds(true);
    EXPECT_EQ(ErrorOf([&] { db_.Execute("CREATE UNIQUE INDEX IxC ON T (C)"); }), 3022);
    db_.Execute("CREATE UNIQUE INDEX IxId ON T (Id)");
    db_.Execute("CREATE INDEX IxU ON U (A)");
    db_.Close();
    const auto built = [&](const std::string& file) {
        return Sqlite(file,
                      "SELECT group_concat(name) FROM (SELECT name FROM sqlite_schema WHERE type = 'index' "
                      "AND name LIKE '_.Ix%' ORDER BY name)");
    };
    EXPECT_EQ(built("a.mdb"), std::vector<std::string>{"T.IxA,U.IxU"});
    engine_.CompactDatabase(Path("a.mdb"), Path("b.mdb"));
    EXPECT_EQ(built("b.mdb"), std::vector<std::string>{"T.IxA,T.IxId,U.IxU"});
    db_ = engine_.OpenDatabase(Path("a.mdb"));
    EXPECT_EQ(ErrorOf([&] { db_.Execute("INSERT INTO T (Id, B) VALUES (1, 5)", dbFailOnError); }), 3022);
    db_.Close();
    EXPECT_EQ(built("a.mdb"), std::vector<std::string>{"T.IxA,T.IxId,U.IxU"});
    // A waiting unique index takes keys as the built one would: texts equal without regard to case, a
    // trailing blank makes another text.
    db_ = engine_.OpenDatabase(Path("a.mdb"));
    db_.DeferIndexBuilds(true);
    for (const char* row : {"1, 'ab', 'x'", "2, 'AB', 'x '", "3, 'b', 'x'"})
        db_.Execute(std::string("INSERT INTO U (Id, A, C) VALUES (") + row + ")");
    EXPECT_EQ(ErrorOf([&] { db_.Execute("CREATE UNIQUE INDEX IxUA ON U (A)"); }), 3022);
    EXPECT_EQ(ErrorOf([&] { db_.Execute("CREATE UNIQUE INDEX IxUC ON U (C)"); }), 3022);
    db_.Execute("CREATE UNIQUE INDEX IxUAC ON U (A, C)");
    // A waiting index that takes no Null finds one in the same read, before any duplicate.
    db_.Execute("INSERT INTO U (Id, A, C) VALUES (4, NULL, 'x')");
    EXPECT_EQ(ErrorOf([&] { db_.Execute("CREATE INDEX IxPk ON U (C, A) WITH PRIMARY"); }), 3058);
    EXPECT_EQ(ErrorOf([&] { db_.Execute("CREATE INDEX IxPk ON U (C) WITH PRIMARY"); }), 3022);
    EXPECT_EQ(ErrorOf([&] { db_.Execute("CREATE INDEX IxN ON U (A) WITH DISALLOW NULL"); }), 3058);
    // Keys that hold a Null are left out of a unique index's check: two equal ones are no duplicate.
    db_.Execute("INSERT INTO U (Id, A, C) VALUES (5, NULL, 'x')");
    db_.Execute("CREATE UNIQUE INDEX IxUCA ON U (C, A)");
    db_.Execute("CREATE INDEX IxPk ON U (Id) WITH PRIMARY");
}
} // namespace
} // namespace ledrana::dao::testing
