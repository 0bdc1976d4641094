// Field definition changes and the zero-length permission on real archive pairs.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/schema/fixture.h"

namespace ledrana::testing {
namespace {

using dao::dbInteger;
using dao::dbLong;
using dao::dbMemo;
using dao::dbText;
using dao::Variant;

class Campi : public SchemaTest {
protected:
    void Make(TableSpec modelTable, TableSpec archiveTable) {
        MakeDatabase(model, {std::move(modelTable)});
        MakeDatabase(archive, {std::move(archiveTable)});
        OpenPair();
        TD1 = w.Db1.TableDefs()["MOVIMENTI"];
        TD2 = w.Db2.TableDefs()["MOVIMENTI"];
    }
    // Back to no databases, an empty log and fresh dialogs, for the next case of a table.
    void TearDownPair() {
        w.Db1.Close();
        w.Db2.Close();
        w.Db1 = {};
        w.Db2 = {};
        std::filesystem::remove(Host(model));
        std::filesystem::remove(Host(archive));
        w.Text1.text.clear();
        w.ErroreConfronto = vbFalse;
        dialogs = ScriptedDialogs();
    }
    dao::Field Archived(const std::string& name) { return w.Db2.TableDefs()["MOVIMENTI"].Fields()[name]; }
    // Field names of the archive's table, in order.
    std::vector<std::string> Names() {
        std::vector<std::string> out;
        dao::Fields f = w.Db2.TableDefs()["MOVIMENTI"].Fields();
        for (int i = 0; i < f.Count(); ++i)
            out.push_back(f[i].Name());
        return out;
    }
    std::vector<std::string> Values(const std::string& field) {
        std::vector<std::string> out;
        dao::Recordset rs = w.Db2.OpenRecordset("MOVIMENTI");
        for (; !rs.Eof(); rs.MoveNext())
            out.push_back(rs.Fields()[field].Value().Describe());
        rs.Close();
        return out;
    }
    // The rebuild's report for field N, without its error line.
    static bool IsReport(const std::string& entry, int number, const std::string& field) {
        return entry.rfind("Funz. Confr_ModificaField\n" + std::to_string(number) + " ", 0) == 0 &&
               entry.ends_with("\ntabella MOVIMENTI\nfield " + field);
    }

    dao::TableDef TD1, TD2;
};

struct Change {
    const char* what;
    FieldSpec before, after;
    std::vector<Variant> values;
    std::vector<std::string> expected;
};

TEST_F(Campi, ChangedFieldsAreRebuiltKeepingTheirValues) {
    const std::vector<Change> changes = {
        {"text 20 -> 40",
         {"CODICE", dbText, 20},
         {"CODICE", dbText, 40},
         {"abc", "12345678901234567890", Variant::Null()},
         {"String \"abc\"", "String \"12345678901234567890\"", "Null"}},
        {"Integer -> Long",
         {"CODICE", dbInteger},
         {"CODICE", dbLong},
         {5, -3, Variant::Null()},
         {"Long 5", "Long -3", "Null"}},
        {"Double -> Integer, rounded: no loss",
         {"CODICE", dao::dbDouble},
         {"CODICE", dbInteger},
         {2.5, 3.5, Variant::Null()},
         {"Integer 2", "Integer 4", "Null"}},
        {"text -> Long",
         {"CODICE", dbText, 10},
         {"CODICE", dbLong},
         {"12", " 7", Variant::Null()},
         {"Long 12", "Long 7", "Null"}},
    };
    for (const Change& c : changes) {
        SCOPED_TRACE(c.what);
        std::vector<std::vector<Variant>> rows;
        for (const Variant& v : c.values)
            rows.push_back({v, "k"});
        std::vector<IndexSpec> indexes = {{"IXCOD", {"CODICE"}}, {"IXALTRO", {"ALTRO"}}};
        Make({"MOVIMENTI", {c.after, {"ALTRO", dbText, 5}}, indexes},
             {"MOVIMENTI", {c.before, {"ALTRO", dbText, 5}}, indexes, "", rows});

        Confr_ModificaField(w, TD1, TD2);

        EXPECT_EQ(Archived("CODICE").Type(), c.after.type);
        EXPECT_EQ(Archived("CODICE").Size(), TD1.Fields()["CODICE"].Size());
        EXPECT_EQ(Values("CODICE"), c.expected);
        EXPECT_EQ(Names(), (std::vector<std::string>{"ALTRO", "CODICE"})); // appended again, no CODICEzz
        // Only the indexes of the rebuilt field are gone; the index steps re-create them later.
        EXPECT_EQ(TD2.Indexes().Count(), 1);
        EXPECT_EQ(TD2.Indexes()[0].Name(), "IXALTRO");
        EXPECT_FALSE(w.ErroreConfronto);
        EXPECT_TRUE(LogEntries().empty());
        EXPECT_TRUE(Boxes().empty());
        TearDownPair();
    }
}

// The rebuilt field is a new field: the model's name and letter case, the last place, none of the old
// field's other properties.
TEST_F(Campi, RebuiltFieldIsANewFieldInTheLastPlace) {
    Make({"MOVIMENTI", {{"CODICE", dbText, 40}, {"ALTRO", dbText, 5}}},
         {"MOVIMENTI", {{"codice", dbText, 20, 0, true}, {"ALTRO", dbText, 5}}, {}, "", {{"", "a"}, {"x", "b"}}});
    Confr_ModificaField(w, TD1, TD2);
    TD2.Fields().Refresh();
    const dao::Field codice = TD2.Fields()["CODICE"];
    EXPECT_EQ(codice.Name(), "CODICE");
    EXPECT_FALSE(codice.AllowZeroLength());
    EXPECT_GT(codice.OrdinalPosition(), TD2.Fields()["ALTRO"].OrdinalPosition());
    EXPECT_EQ(Names(), (std::vector<std::string>{"ALTRO", "CODICE"}));
    // The zero-length text was not accepted by the new field: that row holds Null until the Null pass.
    EXPECT_EQ(Values("CODICE"), (std::vector<std::string>{"Null", "String \"x\""}));
    EXPECT_FALSE(w.ErroreConfronto);
}

TEST_F(Campi, QuestionShowsBothDefinitionsAndNoKeepsTheField) {
    Make({"MOVIMENTI", {{"DESCR", dbText, 40}}}, {"movimenti", {{"descr", dbText, 20}}, {}, "", {{"x"}}});
    w.Check2.value = 1;
    dialogs.QueueAnswer(vbNo);
    Confr_ModificaField(w, TD1, TD2);
    EXPECT_EQ(Boxes(), (std::vector<Box>{{"tabella MOVIMENTI movimenti campo DESCR descr field diverso \n"
                                          "tipo  10 -  10\nsize  40 -  20\nattr  2 -  2\n MODIFICO",
                                          4, "Confr_ModificaField"}}));
    EXPECT_EQ(Archived("DESCR").Size(), 20);
    EXPECT_TRUE(LogEntries().empty());

    Confr_ModificaField(w, TD1, TD2); // Yes, the default button
    EXPECT_EQ(Archived("DESCR").Size(), 40);
    EXPECT_EQ(Archived("DESCR").Name(), "DESCR"); // the model's letter case
    EXPECT_EQ(Values("DESCR"), (std::vector<std::string>{"String \"x\""}));
}

TEST_F(Campi, CounterIsAppendedAgainWithoutMovingValues) {
    Make({"MOVIMENTI", {{"ID", dbLong, 0, dao::dbAutoIncrField}, {"DESCR", dbText, 10}}},
         {"MOVIMENTI", {{"ID", dbLong}, {"DESCR", dbText, 10}}, {}, "", {{10, "a"}, {20, "b"}, {30, "c"}}});
    Confr_ModificaField(w, TD1, TD2);
    EXPECT_EQ(Archived("ID").Attributes(), 17);
    // Numbered by the engine: moving the old values would have kept 10, 20, 30.
    EXPECT_EQ(Values("ID"), (std::vector<std::string>{"Long 1", "Long 2", "Long 3"}));
    EXPECT_EQ(Values("DESCR"), (std::vector<std::string>{"String \"a\"", "String \"b\"", "String \"c\""}));
    EXPECT_EQ(Names(), (std::vector<std::string>{"DESCR", "ID"}));
    EXPECT_FALSE(w.ErroreConfronto);
}

// Every failing rebuild leaves the field as it was: definition, values, indexes; no temporary field.
struct Failure {
    const char* what;
    FieldSpec before, after;
    Variant value;
    int number;
    std::string detail; // in the report's error line
    FieldSpec leftover; // an extra archive field ("" for none)
};

TEST_F(Campi, FailingRebuildIsRolledBackAndReported) {
    const std::string trenta(30, 'x');
    const std::vector<Failure> failures = {
        {"name with a blank", {"Cod Cli", dbText, 10}, {"Cod Cli", dbText, 20}, "C01", 0, "", {}},
        {"leftover temporary field",
         {"NOTE", dbText, 10},
         {"NOTE", dbText, 30},
         "n",
         3191,
         "",
         {"NOTEzz", dbText, 5}},
        {"text cut to the new size",
         {"NOTE", dbText, 40},
         {"NOTE", dbText, 20},
         trenta,
         3163,
         "1 valore",
         {}},
        {"text that is no number", {"NOTE", dbText, 10}, {"NOTE", dbLong}, "abc", 3421, "1 valore", {}},
        {"number cut to the new size", {"NOTE", dbLong}, {"NOTE", dbText, 3}, 123456, 3163, "1 valore", {}},
    };
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.what);
        const std::string N = f.before.name;
        std::vector<FieldSpec> archived = {f.before, {"ALTRO", dbText, 5}};
        if (!f.leftover.name.empty()) archived.push_back(f.leftover);
        Make({"MOVIMENTI", {f.after, {"ALTRO", dbText, 50}}},
             {"MOVIMENTI", archived, {{"IX", {N}, false, true}}, "", {{f.value, "a"}}});
        // Further rows beside the one that cannot be moved: an empty text and a Null are no loss.
        std::vector<Variant> others = {Variant::Null()};
        std::vector<std::string> values = {f.value.Describe(), "Null"};
        if (f.before.type == dbText) {
            TD2.Fields()[N].SetAllowZeroLength(true);
            others.insert(others.begin(), Variant(""));
            values.insert(values.begin() + 1, "String \"\"");
        }
        dao::Recordset rs = w.Db2.OpenRecordset("MOVIMENTI");
        for (const Variant& v : others) {
            rs.AddNew();
            rs.Fields()[N].SetValue(v);
            rs.Update();
        }
        rs.Close();
        const std::vector<std::string> namesBefore = Names();
        const std::int32_t sizeBefore = Archived(N).Size();

        Confr_ModificaField(w, TD1, TD2);

        ASSERT_EQ(LogEntries().size(), 1u);
        const std::string report = LogEntries()[0];
        if (f.number != 0) EXPECT_TRUE(IsReport(report, f.number, N)) << report;
        EXPECT_TRUE(report.starts_with("Funz. Confr_ModificaField\n") && report.ends_with("\nfield " + N))
            << report;
        EXPECT_NE(report.find(f.detail), std::string::npos) << report;
        EXPECT_EQ(Boxes().size(), 1u);
        EXPECT_TRUE(w.ErroreConfronto);

        EXPECT_EQ(Names(), namesBefore);
        EXPECT_EQ(Archived(N).Type(), f.before.type);
        EXPECT_EQ(Archived(N).Size(), sizeBefore);
        EXPECT_EQ(Values(N), values);
        ASSERT_EQ(TD2.Indexes().Count(), 1);
        EXPECT_TRUE(TD2.Indexes()[0].Unique());
        EXPECT_EQ(Archived("ALTRO").Size(), 5); // the fields after the failing one are not examined
        TearDownPair();
    }
}

TEST_F(Campi, FieldMissingFromTheArchiveIsReportedAndTheNextOneDone) {
    Make({"MOVIMENTI", {{"NUOVO", dbText, 10}, {"DESCR", dbText, 40}}},
         {"MOVIMENTI", {{"DESCR", dbText, 20}}});
    Confr_ModificaField(w, TD1, TD2);
    EXPECT_EQ(LogEntries(), (std::vector<std::string>{"3265 " + dao::JetErrorText(3265) +
                                                      "\nno esiste il field:NUOVO sul secondo database"}));
    EXPECT_EQ(Boxes().size(), 1u);
    EXPECT_FALSE(w.ErroreConfronto);
    EXPECT_EQ(Archived("DESCR").Size(), 40);
}

TEST_F(Campi, TextAndMemoFieldsAcceptZeroLengthText) {
    Make({"MOVIMENTI",
          {{"T1", dbText, 10},
           {"M1", dbMemo},
           {"T2", dbText, 10},
           {"L", dbLong},
           {"MANCA", dbText, 5},
           {"T3", dbText, 10}}},
         {"MOVIMENTI",
          {{"T1", dbText, 10},
           {"M1", dbMemo},
           {"T2", dbText, 10},
           {"L", dbLong},
           {"T3", dbText, 10},
           {"EXTRA", dbText, 10}}});
    TD1.Fields()["T2"].SetAllowZeroLength(false);
    TD2.Fields()["T2"].SetAllowZeroLength(true);

    Confr_Abilitazerolenght(w, TD1, TD2);

    for (const char* name : {"T1", "M1", "T2", "T3"})
        EXPECT_TRUE(Archived(name).AllowZeroLength()) << name;
    EXPECT_FALSE(Archived("L").AllowZeroLength());
    EXPECT_FALSE(Archived("EXTRA").AllowZeroLength());  // only in the archive
    EXPECT_FALSE(TD1.Fields()["T1"].AllowZeroLength()); // the model is only read
    ASSERT_EQ(LogEntries().size(), 1u);
    EXPECT_EQ(LogEntries()[0], "Funz. Confr_Abilitazerolenght\n3265 " + dao::JetErrorText(3265) +
                                   "\ntabella MOVIMENTI\nfield MANCA");
    EXPECT_TRUE(w.ErroreConfronto);
}

} // namespace
} // namespace ledrana::testing
