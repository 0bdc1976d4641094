// Names: the engine makes no object under a name Jet refuses, but an archive made by another program may
// hold such names, and everything the engine offers works on them, since no name is ever read back from
// SQL text.

#include "dao/handles.h"
#include "dao_fixture.h"

namespace ledrana::dao::testing {
namespace {

const std::string kBracket = "Cod] + Null + [Cod";
const std::string kPunctuation = "a\"b--c/*d;e`f[g";
const std::string kLong(65, 'L');

class ObjectNames : public DaoTest {};

TEST_F(ObjectNames, ANameJetRefusesIsRefusedWhereverAnObjectIsMadeOrRenamed) {
    db_ = Create("a.mdb", {"CREATE TABLE T (A LONG)"});
    TableDef T = db_.TableDefs()["T"];
    for (const std::string& bad : {kBracket, kPunctuation, kLong, std::string("a.b"), std::string("a!b"),
                                   std::string(" a"), std::string("a\tb")}) {
        SCOPED_TRACE(bad);
        const auto refused = [&](const std::function<void()>& make) {
            const std::string failure = Failure(make);
            EXPECT_TRUE(failure.starts_with("3125 '" + bad + "' non è un nome valido.")) << failure;
        };
        refused([&] {
            TableDef td = db_.CreateTableDef(bad);
            td.Fields().Append(td.CreateField("A", dbLong));
            db_.TableDefs().Append(td);
        });
        refused([&] {
            TableDef td = db_.CreateTableDef("U");
            td.Fields().Append(td.CreateField(bad, dbLong));
            db_.TableDefs().Append(td);
        });
        refused([&] { T.Fields().Append(T.CreateField(bad, dbLong)); });
        refused([&] {
            Index ix = T.CreateIndex(bad);
            ix.Fields().Append(ix.CreateField("A"));
            T.Indexes().Append(ix);
        });
        refused([&] { db_.CreateQueryDef(bad, "SELECT * FROM T"); });
        refused([&] { T.SetName(bad); });
        refused([&] { T.Fields()["A"].SetName(bad); });
    }
    EXPECT_EQ(ErrorOf([&] { db_.Execute("CREATE TABLE [" + kLong + "] (A LONG)"); }), 3125);
    EXPECT_EQ(ErrorOf([&] { db_.Execute("ALTER TABLE T ADD COLUMN [" + kLong + "] LONG"); }), 3125);
    EXPECT_EQ(ErrorOf([&] { db_.Execute("CREATE INDEX [" + kLong + "] ON T (A)"); }), 3125);
    EXPECT_EQ(db_.TableDefs().Count(), 7); // T and the six tables of the catalog
    EXPECT_EQ(Names(T.Fields()), "A");
    EXPECT_EQ(T.Indexes().Count(), 0);
    EXPECT_EQ(db_.QueryDefs().Count(), 0);

    // Quotes, blanks inside, a leading tilde, 64 characters: Jet takes them.
    const std::string longest(64, 'y');
    for (const std::string& good : {std::string("~1~RagSoc"), std::string("RagSoc\"\""), longest,
                                    std::string("a b"), std::string("Perc%")})
        T.Fields().Append(T.CreateField(good, dbLong));
    EXPECT_EQ(Names(T.Fields()), "A,~1~RagSoc,RagSoc\"\"," + longest + ",a b,Perc%");
}

detail::FieldDef Def(const std::string& name, int type, std::int32_t size = 0) {
    detail::FieldDef f;
    f.name = name;
    f.type = type;
    f.size = size;
    return f;
}

// The table is made through the engine's store, as another program would write it, without the check.
TEST_F(ObjectNames, AnArchiveWithNamesJetRefusesIsReadWrittenCopiedAndCompacted) {
    db_ = Create("altro.mdb", {"CREATE TABLE Copia (N LONG, Testo TEXT(20), Doppio LONG)"});
    detail::Connection& c = db_.impl()->C();
    detail::TableState t;
    t.name = kBracket;
    t.fields = {Def("ID", dbLong), Def(kPunctuation, dbText, 20), Def(kLong, dbLong),
                Def("RagSoc\"\"", dbText)};
    detail::IndexDef key;
    key.name = kBracket;
    key.fields = {"ID"};
    key.primary = true;
    t.indexes = {key};
    c.Ddl([&] { detail::CreateTable(c, t); });

    Recordset rs = db_.OpenRecordset(kBracket);
    for (int id = 1; id <= 3; ++id)
        Add(rs, {{"ID", id}, {kPunctuation, "v" + std::to_string(id)}});
    rs.Close();
    // A dynaset and a snapshot of a table by its name are opened without SQL text (in Jet's, "name" would be
    // a string and a bracket would end the name).
    Recordset dynaset = db_.OpenRecordset(kBracket, dbOpenDynaset);
    EXPECT_TRUE(dynaset.Updatable());
    Change(dynaset, {{"RagSoc\"\"", "r"}});
    EXPECT_EQ(Rows(dynaset), "1|v1|Null|r;2|v2|Null|Null;3|v3|Null|Null");
    EXPECT_FALSE(db_.OpenRecordset(kBracket, dbOpenSnapshot).Updatable());
    EXPECT_EQ(Rows(db_.OpenRecordset("Copia", dbOpenDynaset)), "");

    TableDef T = db_.TableDefs()[kBracket];
    EXPECT_EQ(T.SetFieldFrom(kLong, "ID", dbDeferWrite), 3);
    // The table waits for the compaction (a field set with dbDeferWrite): its Nulls are counted there.
    EXPECT_EQ(T.FillNulls({{"RagSoc\"\"", Variant("-")}}), std::vector<std::int64_t>{kNullsCountedLater});
    EXPECT_EQ(AppendRows(T, db_.TableDefs()["Copia"],
                         {{"ID", kPunctuation, kLong}, "", "", {"N", "Testo", "Doppio"}}),
              3);
    db_.Close();

    engine_.CompactDatabase(Path("altro.mdb"), Path("compatto.mdb"));
    ASSERT_EQ(engine_.LastCompactionCompletedNulls().size(), 1u);
    EXPECT_EQ(engine_.LastCompactionCompletedNulls()[0].field, "RagSoc\"\"");
    EXPECT_EQ(engine_.LastCompactionCompletedNulls()[0].count, 2);
    db_ = engine_.OpenDatabase(Path("compatto.mdb"));
    EXPECT_EQ(Rows(db_.OpenRecordset(kBracket)), "1|v1|1|r;2|v2|2|-;3|v3|3|-");
    EXPECT_EQ(Rows(db_.OpenRecordset("Copia")), "1|v1|1;2|v2|2;3|v3|3");
    EXPECT_EQ(db_.TableDefs()[kBracket].Indexes()[kBracket].Primary(), true);
}

} // namespace
} // namespace ledrana::dao::testing
