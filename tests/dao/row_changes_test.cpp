// What a watch of an archive tells about its rows: what the file holds at the end against what it held at
// the start, whatever path the writes took, and nothing for writes undone.

#include "dao_fixture.h"

namespace ledrana::dao::testing {
namespace {

using RowChangesTest = DaoTest;

// Field changes of a table as "field rows: before>after, ..." for the assertions.
std::string Describe(const TableChanges& t) {
    std::string out = t.table + " +" + std::to_string(t.added) + " -" + std::to_string(t.removed);
    for (const RowValues& r : t.firstAdded)
        out += " add(" + r.front().second.ToString() + ")";
    for (const RowValues& r : t.firstRemoved)
        out += " rem(" + r.front().second.ToString() + ")";
    for (const FieldChanges& f : t.fields) {
        out += " " + f.field + " " + std::to_string(f.rows) + ":";
        for (const ValueChange& c : f.first)
            out += " " + (c.before.IsNull() ? std::string("Null") : c.before.ToString()) + ">" +
                   (c.after.IsNull() ? std::string("Null") : c.after.ToString());
    }
    return out;
}

TEST_F(RowChangesTest, TellsRowsAddedRemovedAndValuesChangedAsTheFileHoldsThemAtTheEnd) {
    db_ = Create("a.mdb",
                 {"CREATE TABLE C (Cod TEXT(3), Descr TEXT(20), Ok BIT, CONSTRAINT PK PRIMARY KEY (Cod))",
                  "CREATE TABLE M (Anno SHORT, Dt DATETIME)", "INSERT INTO C VALUES ('1V', 'mia', 0)",
                  "INSERT INTO C VALUES ('2V', 'Vendite', 0)", "INSERT INTO C VALUES ('9Z', 'via', -1)"});
    for (int i = 0; i < 7; ++i)
        db_.Execute("INSERT INTO M (Anno) VALUES (" + std::string(i < 4 ? "0" : i < 5 ? "2004" : "7") + ")");
    db_.Close();

    // Watched before the archive is opened, as the data fixes open it themselves; closed before the end.
    ChangeWatch watch(engine_, Path("a.mdb"));
    {
        Database db = engine_.OpenDatabase(Path("a.mdb"));
        db.Execute("UPDATE M SET Anno = 2005 WHERE Anno = 0");
        db.Execute("UPDATE M SET Anno = 0 WHERE Dt Is Null AND Anno = 2004"); // and back: nothing
        db.Execute("UPDATE M SET Anno = 2004 WHERE Anno = 0");
        // Two equal rows without a key, removed and added again: nothing.
        db.Execute("DELETE * FROM M WHERE Anno = 7");
        db.Execute("INSERT INTO M (Anno) VALUES (7)");
        db.Execute("INSERT INTO M (Anno) VALUES (7)");
        // Rebuilt under the same keys: only what differs; a row removed; one added and removed again.
        db.Execute("DELETE * FROM C WHERE Cod IN ('1V', '2V', '9Z')");
        db.Execute("INSERT INTO C VALUES ('1V', 'Vendite', 0)");
        db.Execute("INSERT INTO C VALUES ('2V', 'Vendite', 0)");
        db.Execute("INSERT INTO C VALUES ('3V', 'Vendite', 0)");
        db.Execute("INSERT INTO C VALUES ('4V', 'x', 0)");
        db.Execute("DELETE * FROM C WHERE Cod = '4V'");
        // Undone: counts for nothing.
        db.BeginTrans();
        db.Execute("UPDATE M SET Anno = 1999");
        db.Execute("INSERT INTO C VALUES ('5V', 'y', 0)");
        db.Rollback();
        // A recordset's saves count as the statements do.
        Recordset rs = db.OpenRecordset("SELECT * FROM C WHERE Cod = '3V'");
        Change(rs, {{"Ok", true}});
        rs.Close();
    }
    const std::vector<TableChanges> changes = watch.Finish();
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(Describe(changes[0]), "M +0 -0 Anno 4: 0>2005 0>2005 0>2005");
    EXPECT_EQ(Describe(changes[1]), "C +1 -1 add(3V) rem(9Z) Descr 1: mia>Vendite");
    // Finished, it sees nothing more.
    Database db = engine_.OpenDatabase(Path("a.mdb"));
    db.Execute("UPDATE M SET Anno = 1");
    EXPECT_TRUE(watch.Finish().empty());
    EXPECT_THROW(ChangeWatch(engine_, Path("manca.mdb")), Error);
}

} // namespace
} // namespace ledrana::dao::testing
