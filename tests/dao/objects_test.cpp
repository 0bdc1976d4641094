// Tables, fields, indexes and properties through the DAO objects.

#include "dao_fixture.h"

namespace ledrana::dao::testing {
namespace {

using ObjectsTest = DaoTest;

// A field made on its own, as the comparison makes them, before it is appended to a table.
Field FreeField(const std::string& name, int type, int size, int attributes) {
    Field f;
    f.SetName(name);
    f.SetType(type);
    f.SetSize(size);
    f.SetAttributes(attributes);
    return f;
}

TEST_F(ObjectsTest, CollectionsFindByPositionAndByNameWithoutCase) {
    db_ = Create("a.mdb", {"CREATE TABLE Clienti (Cod TEXT(10), Nome TEXT)", "CREATE TABLE banche (X LONG)"});
    TableDefs tables = db_.TableDefs();
    int ordinary = 0;
    bool sawSystem = false;
    for (int i = 0; i < tables.Count(); ++i) {
        TableDef t = tables[i];
        if (t.Attributes() == 0) ++ordinary;
        if ((t.Attributes() & dbSystemObject) != 0 && t.Name().rfind("MSys", 0) == 0) sawSystem = true;
    }
    EXPECT_EQ(ordinary, 2);
    EXPECT_TRUE(sawSystem);
    EXPECT_EQ(tables["CLIENTI"].Name(), "Clienti");
    EXPECT_EQ(tables["Banche"].Fields()["x"].Name(), "X");
    db_.Execute("CREATE TABLE [Città] (X LONG)");
    EXPECT_EQ(db_.TableDefs()["CITTÀ"].Name(), "Città");
    // Another name, a prefix of one, a name and more, an accent missing.
    for (const char* name : {"Fornitori", "Client", "Clientix", "CITTÀX", "Citta"})
        EXPECT_EQ(ErrorOf([&] { db_.TableDefs()[name]; }), 3265) << name;
    tables = db_.TableDefs();
    EXPECT_EQ(ErrorOf([&] { tables[tables.Count()]; }), 3265);
    Fields f = tables["clienti"].Fields();
    EXPECT_EQ(Names(f), "Cod,Nome");
    EXPECT_EQ(f[1].Size(), 255); // DDL default for TEXT
}

// A walk that opens and closes one recordset per row: the collection lists only those still open.
TEST_F(ObjectsTest, RecordsetsListsTheOpenOnesAfterManyOpened) {
    Database db = Create("r.mdb", {"CREATE TABLE T (X LONG)", "INSERT INTO T (X) VALUES (1)"});
    Recordset kept = db.OpenRecordset("select * from T");
    for (int i = 0; i < 500; ++i) {
        Recordset rs = db.OpenRecordset("select * from T where X=" + std::to_string(i % 3));
        if (i % 2) rs.Close();
    }
    Recordset last = db.OpenRecordset("T");
    EXPECT_EQ(db.Recordsets().Count(), 2);
    EXPECT_EQ(kept.Fields()["x"].Value(), Variant(1));
    db.Close();
}

TEST_F(ObjectsTest, NewTableHoldsItsFieldsUntilAppended) {
    db_ = Create("a.mdb");
    TableDef t = db_.CreateTableDef("Nuova");
    t.Fields().Append(t.CreateField("Cod", dbText, 20));
    t.Fields().Append(t.CreateField("Importo", dbCurrency));
    t.Fields().Append(t.CreateField("Note", dbText));
    EXPECT_EQ(ErrorOf([&] { t.Fields().Append(t.CreateField("COD", dbLong)); }), 3191);
    EXPECT_EQ(t.Fields().Count(), 3);
    EXPECT_EQ(ErrorOf([&] { db_.TableDefs()["Nuova"]; }), 3265);
    EXPECT_EQ(ErrorOf([&] { db_.TableDefs().Append(db_.CreateTableDef("Vuota")); }), 3264);
    db_.TableDefs().Append(t);
    Fields f = db_.TableDefs()["nuova"].Fields();
    EXPECT_EQ(f["Cod"].Size(), 20);
    EXPECT_EQ(f["Cod"].Attributes(), dbVariableField);
    EXPECT_EQ(f["Importo"].Size(), 8);
    EXPECT_EQ(f["Importo"].Attributes(), dbFixedField);
    EXPECT_EQ(f["Note"].Size(), 50);
    EXPECT_FALSE(f["Note"].AllowZeroLength());
    EXPECT_FALSE(f["Note"].Required());
    TableDef dup = db_.CreateTableDef("NUOVA");
    dup.Fields().Append(dup.CreateField("A", dbLong));
    EXPECT_EQ(ErrorOf([&] { db_.TableDefs().Append(dup); }), 3010);
    db_.TableDefs().Delete("nuova");
    EXPECT_EQ(ErrorOf([&] { db_.TableDefs()["Nuova"]; }), 3265);
}

TEST_F(ObjectsTest, FreeFieldAppendedToTableWithRowsAndCounterNumbersThem) {
    db_ = Create("a.mdb", {"CREATE TABLE T (Nome TEXT(10))"});
    for (const char* n : {"a", "b", "c"})
        db_.Execute(std::string("INSERT INTO T (Nome) VALUES ('") + n + "')");
    TableDef t = db_.TableDefs()["T"];
    Field extra = FreeField("Extra", dbInteger, 2, dbFixedField);
    t.Fields().Append(extra);
    EXPECT_EQ(Scalar(db_, "SELECT count(*) FROM T WHERE Extra IS NULL"), Variant(3));
    EXPECT_EQ(ErrorOf([&] { t.Fields().Append(extra); }), 3266);
    t.Fields().Append(FreeField("Id", dbLong, 4, dbFixedField | dbAutoIncrField));
    EXPECT_EQ(t.Fields()["Id"].Attributes(), 17);
    EXPECT_EQ(Rows(db_, "SELECT Nome, Id FROM T ORDER BY Id"), "a|1;b|2;c|3");
    Recordset add = db_.OpenRecordset("T");
    add.AddNew();
    EXPECT_EQ(add.Fields()["Id"].Value(), Variant(4));
    add.Fields()["Nome"].SetValue("d");
    add.Update();
    add.Close();
    db_.Execute("INSERT INTO T (Nome) VALUES ('e')");
    EXPECT_EQ(Scalar(db_, "SELECT Id FROM T WHERE Nome = 'e'"), Variant(5));
    // A list of fields goes in one change of the table, up to the first one refused (a second counter).
    const std::vector<Field> list = {FreeField("Qta", dbLong, 4, dbFixedField),
                                     FreeField("Cod", dbText, 5, dbVariableField),
                                     FreeField("Id2", dbLong, 4, dbFixedField | dbAutoIncrField),
                                     FreeField("Dopo", dbLong, 4, dbFixedField)};
    EXPECT_EQ(ErrorOf([&] { t.Fields().Append(list); }), 3090);
    EXPECT_EQ(ErrorOf([&] { t.Fields().Append(list[1]); }), 3266);
    db_.Execute("UPDATE T SET Qta = Id * 10, Cod = Nome WHERE Id <= 2");
    db_.Close();
    db_ = engine_.OpenDatabase(Path("a.mdb"));
    t = db_.TableDefs()["T"];
    EXPECT_EQ(t.Fields().Count(), 5);
    EXPECT_EQ(t.Fields()["Cod"].Size(), 5);
    EXPECT_EQ(Rows(db_, "SELECT Id, Qta, Cod FROM T WHERE Id <= 3 ORDER BY Id"), "1|10|a;2|20|b;3|Null|Null");
}

TEST_F(ObjectsTest, IndexesAndTheFieldsTheyHold) {
    db_ = Create("a.mdb",
                 {"CREATE TABLE T (Cod TEXT(10), Anno INTEGER, Descr TEXT(30))",
                  "INSERT INTO T VALUES ('abc', 2020, 'x')", "INSERT INTO T VALUES ('ABC', 2021, 'y')"});
    TableDef t = db_.TableDefs()["T"];
    Index pk = t.CreateIndex("PrimaryKey");
    pk.Fields().Append(t.CreateField("Cod"));
    pk.SetPrimary(true);
    pk.SetUnique(true);
    // Text compares without regard to case: 'abc' and 'ABC' collide.
    EXPECT_EQ(ErrorOf([&] { t.Indexes().Append(pk); }), 3022);
    EXPECT_EQ(t.Indexes().Count(), 0);
    Index two = t.CreateIndex("PrimaryKey");
    two.Fields().Append(t.CreateField("Cod"));
    two.Fields().Append(t.CreateField("Anno"));
    two.SetPrimary(true);
    two.SetUnique(true);
    t.Indexes().Append(two);
    t.Indexes().Refresh();
    Index read = t.Indexes()["primarykey"];
    EXPECT_TRUE(read.Primary());
    EXPECT_TRUE(read.Unique());
    EXPECT_EQ(Names(read.Fields()), "Cod,Anno");
    Index second = t.CreateIndex("Altra");
    second.Fields().Append(t.CreateField("Descr"));
    second.SetPrimary(true);
    EXPECT_EQ(ErrorOf([&] { t.Indexes().Append(second); }), 3283);
    EXPECT_EQ(ErrorOf([&] { t.Fields().Delete("Anno"); }), 3280);
    EXPECT_EQ(ErrorOf([&] { db_.Execute("INSERT INTO T VALUES ('Abc', 2020, 'z')", dbFailOnError); }), 3022);
    t.Indexes().Delete("PRIMARYKEY");
    t.Fields().Delete("Anno");
    EXPECT_EQ(t.Fields().Count(), 2);
    EXPECT_EQ(ErrorOf([&] { t.Indexes().Delete("PrimaryKey"); }), 3265);
}

TEST_F(ObjectsTest, BuiltInAndUserProperties) {
    Database db = Create("a.mdb", {"CREATE TABLE T (Cod TEXT(10), N LONG)"});
    TableDef t = db.TableDefs()["T"];
    EXPECT_EQ(ErrorOf([&] { t.Properties()["description"]; }), 3270);
    t.Properties().Append(t.CreateProperty("description", dbText, Variant("fissa")));
    EXPECT_EQ(ErrorOf([&] { t.Properties().Append(t.CreateProperty("Description", dbText, Variant("x"))); }),
              3367);
    Field cod = t.Fields()["Cod"];
    Properties fp = cod.Properties();
    int azl = -1;
    for (int j = 0; j < fp.Count(); ++j)
        if (fp[j].Name().rfind("AllowZeroL", 0) == 0) azl = j;
    ASSERT_GE(azl, 0);
    EXPECT_EQ(fp[azl].Value(), Variant(false));
    fp[azl].SetValue(Variant(true));
    EXPECT_EQ(fp["Type"].Value(), Variant(dbText));
    EXPECT_EQ(fp["Size"].Value(), Variant(10));
    fp["Required"].SetValue(Variant(true));
    db.Close();

    Database again = engine_.OpenDatabase(Path("a.mdb"));
    TableDef t2 = again.TableDefs()["t"];
    EXPECT_EQ(t2.Properties()["DESCRIPTION"].Value(), Variant("fissa"));
    EXPECT_TRUE(t2.Fields()["cod"].AllowZeroLength());
    EXPECT_TRUE(t2.Fields()["cod"].Required());
    t2.Properties()["description"].SetValue(Variant("variabile"));
    EXPECT_EQ(t2.Properties()["description"].Value(), Variant("variabile"));
    t2.Properties().Delete("description");
    EXPECT_EQ(ErrorOf([&] { t2.Properties()["description"]; }), 3270);
    again.Close();
}

} // namespace
} // namespace ledrana::dao::testing
