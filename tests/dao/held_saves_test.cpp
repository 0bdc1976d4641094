// Row saves of a walk in rowid order that set the same values on consecutive rows are written together:
// every row must end up right, and every other use of the database must see them as if written one by one.

#include "dao_fixture.h"

#include <map>
#include <vector>

namespace ledrana::dao::testing {
namespace {

class HeldSaves : public DaoTest {
protected:
    void SetUp() override {
        DaoTest::SetUp();
        db_ = Create("a.mdb", {"CREATE TABLE T (Id LONG, A TEXT(10), N LONG, D DOUBLE, G LONG)"});
    }

    static std::string Text(const Variant& v) { return v.IsNull() ? "Null" : v.ToString(); }

    // Rows of Id 1..n in the model and in T (rowid = Id), fields A, N, D, G ("a" and Nulls by default).
    void Fill(int n, const std::function<std::vector<Variant>(int)>& values = {}) {
        Recordset rs = db_.OpenRecordset("T");
        for (int id = 1; id <= n; ++id) {
            const std::vector<Variant> v =
                values ? values(id)
                       : std::vector<Variant>{"a", Variant::Null(), Variant::Null(), Variant::Null()};
            model_[id] = v;
            Add(rs, {{"Id", id}, {"A", v[0]}, {"N", v[1]}, {"D", v[2]}, {"G", v[3]}});
        }
        rs.Close();
    }
    std::string ModelRows() const {
        std::string out;
        for (const auto& [id, v] : model_)
            out += (out.empty() ? "" : ";") + std::to_string(id) + "|" + Text(v[0]) + "|" + Text(v[1]) + "|" +
                   Text(v[2]) + "|" + Text(v[3]);
        return out;
    }
    static std::string IdN(Recordset& rs) {
        return Text(rs.Fields()["Id"].Value()) + "|" + Text(rs.Fields()["N"].Value());
    }
    std::string TableRows() { return Rows(db_, "select Id, A, N, D, G from T order by Id"); }

    // Edit, change, Update on `rows` rows from the current one (all rows up to EOF with -1).
    static void Walk(Recordset& rs, int rows, const std::function<void(Recordset&)>& change) {
        for (; rows != 0 && !rs.Eof(); --rows, rs.MoveNext()) {
            rs.Edit();
            change(rs);
            rs.Update();
        }
    }
    static void SetN(Recordset& rs, int n, int rows) {
        Walk(rs, rows, [n](Recordset& r) { r.Fields()["N"].SetValue(n); });
    }
    std::int32_t Count(Database& db, const std::string& where) {
        return Scalar(db, "select count(*) from T where " + where).ToLong();
    }
    // The same count read from the file by an engine of its own.
    std::int32_t CountOnDisk(const std::string& where) {
        DBEngine other;
        Database d = other.OpenDatabase(Path("a.mdb"));
        std::int32_t n = Count(d, where);
        d.Close();
        return n;
    }

    std::map<int, std::vector<Variant>> model_;
};

TEST_F(HeldSaves, NullNormalisationLeavesEveryRowRightAcrossGapsAndBrokenRuns) {
    Fill(40, [](int id) {
        return std::vector<Variant>{
            id % 10 >= 1 && id % 10 <= 6 ? Variant::Null() : Variant("a" + std::to_string(id)),
            id % 4 ? Variant::Null() : Variant(id), id > 20 && id <= 30 ? Variant::Null() : Variant(id * 0.5),
            id % 4 ? Variant(id) : Variant::Null()};
    });
    db_.Execute("DELETE FROM T WHERE Id IN (3, 14, 15, 33)");
    for (int id : {3, 14, 15, 33})
        model_.erase(id);

    // Nulls become neutral values; rows without Nulls are left alone and the set of fields changes (N on
    // one row, G on the next: the same value in another field).
    const std::vector<Variant> neutral{Variant("-"), Variant(0), Variant(0.0), Variant(0)};
    const char* names[] = {"A", "N", "D", "G"};
    Recordset rs = db_.OpenRecordset("select * from T");
    Walk(rs, -1, [&](Recordset& r) {
        for (int f = 0; f < 4; ++f)
            if (r.Fields()[names[f]].Value().IsNull())
                r.Fields()[names[f]].SetValue(neutral[static_cast<std::size_t>(f)]);
    });
    rs.Close();
    for (auto& [id, v] : model_)
        for (std::size_t f = 0; f < 4; ++f)
            if (v[f].IsNull()) v[f] = neutral[f];
    EXPECT_EQ(TableRows(), ModelRows());

    // Runs of one value, broken where the value changes and by rows left as they are.
    rs = db_.OpenRecordset("select * from T");
    Walk(rs, -1, [](Recordset& r) {
        const std::int32_t id = r.Fields()["Id"].Value().ToLong();
        if (id % 9) r.Fields()["G"].SetValue(id / 5);
    });
    rs.Close();
    for (auto& [id, v] : model_)
        if (id % 9) v[3] = Variant(id / 5);
    EXPECT_EQ(TableRows(), ModelRows());

    // A criterion that skips rows: the rows between those saved keep their values.
    rs = db_.OpenRecordset("select * from T where N = 0");
    Walk(rs, -1, [](Recordset& r) { r.Fields()["D"].SetValue(-1.0); });
    rs.Close();
    for (auto& [id, v] : model_)
        if (v[1] == Variant(0)) v[2] = Variant(-1.0);
    EXPECT_EQ(TableRows(), ModelRows());
}

TEST_F(HeldSaves, EveryOtherUseOfTheDatabaseSeesTheSavesOfAWalk) {
    Fill(24);
    db_.CreateQueryDef("Zeri", "SELECT * FROM T WHERE N = 0").Close();
    Recordset before = db_.OpenRecordset("select Id, N from T");
    Recordset table = db_.OpenRecordset("T");
    Recordset nulls = db_.OpenRecordset("select * from T where N is null");
    Recordset walk = db_.OpenRecordset("select * from T");

    SetN(walk, 0, 3);
    before.MoveNext();
    EXPECT_EQ(IdN(before), "2|0");
    SetN(walk, 0, 3);
    for (int i = 0; i < 5; ++i)
        table.MoveNext();
    EXPECT_EQ(IdN(table), "6|0");
    SetN(walk, 0, 3);
    EXPECT_EQ(nulls.RecordCount(), 24 - 9);
    SetN(walk, 0, 3);
    EXPECT_EQ(Count(db_, "N = 0"), 12);
    SetN(walk, 0, 3);
    db_.Execute("UPDATE T SET A = 'z' WHERE N = 0");
    EXPECT_EQ(db_.RecordsAffected(), 15);
    SetN(walk, 0, 3);
    Recordset viaQuery = db_.QueryDefs()["Zeri"].OpenRecordset();
    EXPECT_EQ(viaQuery.RecordCount(), 18);
    viaQuery.Close();
    SetN(walk, 0, 2);
    EXPECT_EQ(Scalar(db_, "select count(*) from Zeri"), Variant(20));

    // The walk itself, moving back.
    SetN(walk, 0, 2);
    walk.MovePrevious();
    EXPECT_EQ(IdN(walk), "22|0");
    walk.MoveNext();
    SetN(walk, 0, 1);
    walk.MoveFirst();
    for (int i = 0; i < 22; ++i)
        walk.MoveNext();
    EXPECT_EQ(IdN(walk), "23|0");

    // Two walks: the save of the next row by the other one is there when the first moves onto it.
    Recordset first = db_.OpenRecordset("select * from T");
    Recordset second = db_.OpenRecordset("select * from T");
    second.MoveNext();
    Change(first, {{"G", 5}});
    Change(second, {{"G", 5}}); // and no move after it
    first.MoveNext();
    EXPECT_EQ(first.Fields()["G"].Value(), Variant(5));
    for (Recordset* r : {&before, &table, &nulls, &walk, &first, &second})
        r->Close();
    EXPECT_EQ(Count(db_, "G = 5"), 2);
    EXPECT_EQ(Count(db_, "N = 0"), 23);
    EXPECT_EQ(Count(db_, "A = 'z'"), 15);
}

TEST_F(HeldSaves, TransactionsAndClosingDecideWhatReachesTheFile) {
    Fill(10);
    auto walk = [&](int n, int rows) {
        Recordset rs = db_.OpenRecordset("select * from T");
        SetN(rs, n, rows);
        return rs;
    };
    // Rolled back with the walk still open: nothing, not even when it closes afterwards.
    db_.BeginTrans();
    Recordset rs = walk(1, 10);
    db_.Rollback();
    EXPECT_EQ(Count(db_, "N = 1"), 0);
    rs.Close();
    EXPECT_EQ(Count(db_, "N = 1"), 0);
    // Committed with the walk still open: all of them, in the file at once.
    db_.BeginTrans();
    rs = walk(2, 10);
    db_.CommitTrans();
    EXPECT_EQ(CountOnDisk("N = 2"), 10);
    rs.Close();
    // A transaction begun in the middle of a walk: the saves before it stay.
    rs = walk(3, 4);
    db_.BeginTrans();
    SetN(rs, 3, 4);
    db_.Rollback();
    rs.Close();
    EXPECT_EQ(Count(db_, "N = 3"), 4);
    EXPECT_EQ(Count(db_, "N = 3 and Id <= 4"), 4);
    // Closing the database with the transaction open discards them.
    db_.BeginTrans();
    rs = walk(4, 10);
    db_.Close();
    EXPECT_EQ(CountOnDisk("N = 4"), 0);
    EXPECT_EQ(CountOnDisk("N = 3"), 4);
    EXPECT_EQ(CountOnDisk("N = 2"), 6);

    // Without a transaction, closing the recordset, closing the database or dropping the recordset keeps
    // them.
    db_ = engine_.OpenDatabase(Path("a.mdb"));
    rs = walk(5, 6);
    rs.Close();
    EXPECT_EQ(CountOnDisk("N = 5"), 6);
    rs = walk(6, 10);
    db_.Close();
    EXPECT_EQ(CountOnDisk("N = 6"), 10);
    db_ = engine_.OpenDatabase(Path("a.mdb"));
    walk(7, 3);
    EXPECT_EQ(CountOnDisk("N = 7"), 3);
}

TEST_F(HeldSaves, ADuplicateKeyFailsTheUpdateOfTheSecondRow) {
    db_.Execute("CREATE TABLE U (Id LONG, Cod TEXT(10), N LONG)");
    db_.Execute("CREATE UNIQUE INDEX ixCod ON U (Cod)");
    for (int id = 1; id <= 6; ++id)
        db_.Execute("INSERT INTO U (Id, Cod) VALUES (" + std::to_string(id) + ", 'c" + std::to_string(id) +
                    "')");
    Recordset rs = db_.OpenRecordset("select * from U");
    SetN(rs, 0, 2);
    Walk(rs, 1, [](Recordset& r) { r.Fields()["Cod"].SetValue("doppio"); });
    EXPECT_EQ(ErrorOf([&] { Change(rs, {{"Cod", "doppio"}}); }), 3022);
    EXPECT_EQ(rs.EditMode(), 1);
    rs.CancelUpdate();
    EXPECT_EQ(ErrorOf([&] { rs.MoveNext(); }), 0);
    SetN(rs, 0, -1);
    EXPECT_EQ(ErrorOf([&] { rs.Close(); }), 0);
    EXPECT_EQ(Rows(db_, "select Id, Cod, N from U order by Id"),
              "1|c1|0;2|c2|0;3|doppio|Null;4|c4|Null;5|c5|0;6|c6|0");
}

TEST_F(HeldSaves, WalksInAnotherOrderOrThroughAnIndexSaveEveryRow) {
    Fill(30, [](int id) {
        return std::vector<Variant>{Variant::Null(), Variant((id - 1) / 5), Variant::Null(), Variant::Null()};
    });
    db_.Execute("CREATE INDEX ixN ON T (N)");
    db_.Execute("CREATE INDEX ixD ON T (D)");
    // Each walk sets one field (0 A, 1 N, 2 D, 3 G) to a value computed from the row, on the rows picked.
    using Row = std::vector<Variant>;
    auto apply = [&](const std::string& sql, std::size_t field, const std::function<bool(const Row&)>& pick,
                     const std::function<Variant(const Row&)>& value) {
        const char* names[] = {"A", "N", "D", "G"};
        Recordset rs = db_.OpenRecordset(sql);
        Walk(rs, -1, [&](Recordset& r) {
            Row v;
            for (const char* name : names)
                v.push_back(r.Fields()[name].Value());
            r.Fields()[names[field]].SetValue(value(v));
        });
        rs.Close();
        for (auto& [id, v] : model_)
            if (pick(v)) v[field] = value(v);
        EXPECT_EQ(TableRows(), ModelRows()) << sql;
    };
    auto all = [](const Row&) { return true; };
    apply(
        "select * from T where N = 2", 0, [](const Row& v) { return v[1] == Variant(2); },
        [](const Row&) { return Variant("due"); });
    apply(
        "select * from T where N >= 4 order by N", 2, [](const Row& v) { return v[1].ToLong() >= 4; },
        [](const Row& v) { return Variant(v[1].ToLong() * 10.0); });
    apply("select * from T order by Id desc", 0, all,
          [](const Row& v) { return v[0].IsNull() ? Variant("-") : v[0]; });
    apply(
        "select * from T where D is null", 2, [](const Row& v) { return v[2].IsNull(); },
        [](const Row&) { return Variant(0.0); });
    // A criterion that reads the row before: it must see the save of that row.
    Recordset rs = db_.OpenRecordset("select * from T where G is null and not exists (select * from T as P "
                                     "where P.Id = T.Id - 1 and P.G = 2)");
    Walk(rs, -1, [](Recordset& r) { r.Fields()["G"].SetValue(2); });
    rs.Close();
    for (auto& [id, v] : model_)
        if (v[3].IsNull() && !(model_.count(id - 1) && model_[id - 1][3] == Variant(2))) v[3] = Variant(2);
    EXPECT_EQ(TableRows(), ModelRows());
    EXPECT_EQ(Count(db_, "G = 2"), 15);
}

TEST_F(HeldSaves, SavesOfManyKindsOverScatteredRowsAreAllWritten) {
    // More different saves, and more rows in lists, than are held at once: every row ends up right.
    const int n = 20000;
    Recordset add = db_.OpenRecordset("T");
    for (int id = 1; id <= n; ++id)
        Add(add, {{"Id", id}});
    add.Close();
    Recordset rs = db_.OpenRecordset("select * from T");
    Walk(rs, -1, [](Recordset& r) {
        const std::int32_t id = r.Fields()["Id"].Value().ToLong();
        r.Fields()["G"].SetValue(id * 7919 % 5);
        if (id % 3) r.Fields()["N"].SetValue(id % 700);
    });
    rs.Close();
    EXPECT_EQ(Count(db_, "G = (Id * 7919) Mod 5"), n);
    EXPECT_EQ(Count(db_, "Id Mod 3 <> 0 And N = Id Mod 700"), n - n / 3);
    EXPECT_EQ(Count(db_, "Id Mod 3 = 0 And N Is Null"), n / 3);
    db_.Close();
    EXPECT_EQ(CountOnDisk("G = (Id * 7919) Mod 5 And (N = Id Mod 700 Or Id Mod 3 = 0)"), n);
}

} // namespace
} // namespace ledrana::dao::testing
