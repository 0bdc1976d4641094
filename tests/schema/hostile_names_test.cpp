// An archive made by another program, with names that Jet refuses or that SQL text would misread, through a
// whole comparison: field rebuilds, zero-length permission, Null completion, indexes, surplus fields, tables
// and queries kept in the recovery archive before they go, a fixed table, the compaction.

#include "dao/handles.h"
#include "tests/schema/fixture.h"

using namespace ledrana;
using namespace ledrana::testing;
using dao::Variant;

namespace {

const std::string kBracket = "Cod] + Null + [Cod";   // pasted between brackets, always Null
const std::string kPunctuation = "a\"b--c/*d;e`f[g"; // quotes, comments, a statement's end
const std::string kLong(65, 'L');
const std::string kQuoted = "RagSoc\"\"";
const std::string kTilde = "~1~RagSoc"; // the engine's own names for deleted fields look so
const std::string kFixed = "Fisse \"1\"; --";
constexpr int kRows = 300;

dao::detail::FieldDef Def(const std::string& name, int type, std::int32_t size = 0) {
    dao::detail::FieldDef f;
    f.name = name;
    f.type = type;
    f.size = size;
    f.allowZeroLength = type == dao::dbText;
    return f;
}

class HostileNames : public SchemaTest {
protected:
    // What the other program adds to the archive, through the engine's store (no check of the names): three
    // fields of CLIENTI with a value in every row and an index, two tables and a query.
    void AddHostileObjects() {
        dao::Database db = Open(archive);
        dao::detail::Connection& c = db.impl()->C();
        c.Ddl([&] {
            dao::detail::AddField(c, "CLIENTI", Def(kBracket, dao::dbLong));
            dao::detail::AddField(c, "CLIENTI", Def(kPunctuation, dao::dbText, 20));
            dao::detail::AddField(c, "CLIENTI", Def(kLong, dao::dbText, 10));
            dao::detail::IndexDef ix;
            ix.name = kPunctuation;
            ix.fields = {kPunctuation};
            dao::detail::CreateIndex(c, "CLIENTI", ix);
            dao::detail::TableState t;
            t.name = kBracket;
            t.fields = {Def("ID", dao::dbLong), Def(kPunctuation, dao::dbText, 10)};
            dao::detail::CreateTable(c, t);
            t.name = kLong;
            t.fields = {Def("X", dao::dbLong)};
            dao::detail::CreateTable(c, t);
            dao::detail::CreateQuery(c, std::string(70, 'Q'), "SELECT * FROM CLIENTI");
        });
        dao::Recordset rs = db.OpenRecordset("CLIENTI");
        for (int i = 1; !rs.Eof(); rs.MoveNext(), ++i) {
            rs.Edit();
            rs.Fields()[kBracket].SetValue(Variant(i));
            rs.Fields()[kPunctuation].SetValue(Variant("p" + std::to_string(i)));
            rs.Fields()[kLong].SetValue(Variant("l"));
            rs.Update();
        }
        rs.Close();
        for (const std::string& table : {kBracket, kLong}) {
            rs = db.OpenRecordset(table);
            for (int i = 1; i <= 2; ++i) {
                rs.AddNew();
                rs.Fields()[0].SetValue(Variant(i));
                rs.Update();
            }
            rs.Close();
        }
        db.Close();
    }
};

TEST_F(HostileNames, EveryStepWorksThroughTheObjectsAndKeepsWhatItRemoves) {
    const FieldSpec id{"ID", dao::dbLong}, quoted{kQuoted, dao::dbText, 20}, tilde{kTilde, dao::dbText, 10};
    const std::vector<IndexSpec> indexes = {{"PK", {"ID"}, true, true}, {"Unico", {kTilde}, false, true}};
    const FieldSpec cod{"COD", dao::dbText, 5}, descr{"DESCR", dao::dbText, 20};
    MakeDatabase(model, {{"CLIENTI", {id, {"RagSoc", dao::dbText, 40}, quoted, tilde}, indexes},
                         {kFixed, {cod, descr}, {}, "fissa", {{Variant("A"), Variant("uno")}}}});
    std::vector<std::vector<Variant>> rows;
    for (int i = 1; i <= kRows; ++i)
        rows.push_back({Variant(i), Variant("R" + std::to_string(i)),
                        i % 3 ? Variant("q" + std::to_string(i)) : Variant::Null(),
                        i == 5 ? Variant::Null() : Variant("t" + std::to_string(i))});
    MakeDatabase(archive, {{"CLIENTI", {id, {"RagSoc", dao::dbText, 20}, quoted, tilde}, indexes, "", rows},
                           {kFixed, {cod, descr}, {}, "", {{Variant("Z"), Variant("vecchia")}}}});
    AddHostileObjects();

    EXPECT_TRUE(Ponteval(w)) << w.Text1.text;
    EXPECT_EQ(w.Text1.text, "");
    // The rebuilt field comes last, as a rebuild leaves it.
    const auto text = [](const std::string& name, int size) {
        return "  field " + name + " type=10 size=" + std::to_string(size) + " attr=2 zl=1 req=0 default=\n";
    };
    EXPECT_EQ(Structure(archive),
              "table CLIENTI\n  field ID type=4 size=4 attr=1 zl=0 req=0 default=\n" + text(kQuoted, 20) +
                  text(kTilde, 10) + text("RagSoc", 40) +
                  "  index PK primary=1 unique=1 (ID)\n  index Unico primary=0 unique=1 (" + kTilde +
                  ")\ntable " + kFixed + "\n" + text("COD", 5) + text("DESCR", 20));
    const Strings clienti = Rows(archive, "CLIENTI");
    ASSERT_EQ(clienti.size(), static_cast<std::size_t>(kRows));
    EXPECT_EQ(clienti[2], "Long 3 | String \"\" | String \"t3\" | String \"R3\"");
    EXPECT_EQ(clienti[4], "Long 5 | String \"q5\" | String \"\" | String \"R5\"");
    EXPECT_EQ(Rows(archive, kFixed), Strings{"String \"A\" | String \"uno\""});

    // Everything removed is in the recovery archive, under names it takes, with every value.
    const std::vector<ReportNote>& notes = w.runReport.notes();
    ASSERT_EQ(notes.size(), 6u);
    const std::size_t at = notes[0].text.find("C:\\ZU\\Ditta2000\\Cont32_rimossi_");
    ASSERT_NE(at, std::string::npos) << notes[0].text;
    const std::string kept = notes[0].text.substr(at, notes[0].text.size() - at - 1);
    const std::string bracket = "Cod_ + Null + _Cod", punctuation = "a\"b--c/*d;e_f_g";
    const std::string longField = "CLIENTI_" + std::string(56, 'L');
    EXPECT_EQ(Names("table", kept), (Strings{"CLIENTI_" + punctuation, "CLIENTI_" + bracket, longField,
                                             bracket, std::string(64, 'L'), "Query_rimosse"}));
    for (const auto& [table, value] : {std::pair{"CLIENTI_" + bracket, std::string("Long 7")},
                                       std::pair{"CLIENTI_" + punctuation, std::string("String \"p7\"")},
                                       std::pair{longField, std::string("String \"l\"")}}) {
        const Strings values = Rows(kept, table);
        ASSERT_EQ(values.size(), static_cast<std::size_t>(kRows)) << table;
        EXPECT_EQ(values[6], "Long 7 | " + value) << table;
    }
    EXPECT_EQ(FieldNames(kept, bracket), (Strings{"ID", punctuation}));
    EXPECT_EQ(Rows(kept, bracket), (Strings{"Long 1 | Null", "Long 2 | Null"}));
    EXPECT_EQ(Rows(kept, std::string(64, 'L')), (Strings{"Long 1", "Long 2"}));
    EXPECT_EQ(RowsAt(kept, "SELECT Nome FROM Query_rimosse", {"Nome"}), Strings{std::string(70, 'Q')});
    EXPECT_NE(notes[0].text.find("CLIENTI_" + bracket + " (campo " + bracket + ") dell'archivio"),
              std::string::npos)
        << notes[0].text;
    EXPECT_NE(
        notes[4].text.find(" (con i nomi dei campi cambiati: " + kPunctuation + " → " + punctuation + ")"),
        std::string::npos)
        << notes[4].text;
}

} // namespace
