// Field definition changes and the zero-length permission on real archive pairs.

#include "platform/files.h"
#include "tests/schema/fixture.h"

namespace ledrana::testing {
namespace {

using dao::dbInteger;
using dao::dbLong;
using dao::dbText;
using dao::Variant;
using Variants = std::vector<Variant>;
const Variant N = Variant::Null();
const std::string kJournalHeader = "\xEF\xBB\xBFTabella;Chiave;Campo;Valore precedente;Valore nuovo\r\n";

class Campi : public SchemaTest {
protected:
    dao::Field Archived(const std::string& name) { return w.Db2.TableDefs()["MOVIMENTI"].Fields()[name]; }
    Strings Names() { return FieldNames(archive, "MOVIMENTI"); }
    Strings Values(const std::string& field) {
        Strings out;
        dao::Recordset rs = w.Db2.OpenRecordset("MOVIMENTI");
        for (; !rs.Eof(); rs.MoveNext())
            out.push_back(rs.Fields()[field].Value().Describe());
        rs.Close();
        return out;
    }
    // The run's report, one "archive: text" per note.
    Strings Notes() {
        Strings out;
        for (const ReportNote& n : w.runReport.notes())
            out.push_back(n.archive + ": " + n.text);
        return out;
    }
    // The rebuild's report for the field, but its error line.
    static bool IsReport(const std::string& entry, int number, const std::string& field) {
        return entry.starts_with("Funz. Confr_ModificaField\n" + std::to_string(number) + " ") &&
               entry.ends_with("\ntabella MOVIMENTI\nfield " + field);
    }
    void ExpectDoneQuietly() {
        EXPECT_FALSE(w.ErroreConfronto);
        EXPECT_TRUE(LogEntries().empty());
        EXPECT_TRUE(Boxes().empty());
    }
};

TEST_F(Campi, ChangedFieldsAreRebuiltKeepingTheirValues) {
    const struct {
        const char* what;
        FieldSpec before, after;
        Variants values;
        Strings expected;
    } changes[] = {
        {"Double -> Integer", FieldSpec{"CODICE", dao::dbDouble}, FieldSpec{"CODICE", dbInteger},
         Variants{2.0, -3.0, N}, Strings{"Integer 2", "Integer -3", "Null"}},
        // The model's letter case, none of the old field's other properties: a zero-length text, which the
        // new field does not take, holds Null until the Null pass.
        {"other case", FieldSpec{"codice", dbText, 20, 0, true}, FieldSpec{"CODICE", dbText, 40},
         Variants{"", "x"}, Strings{"Null", "String \"x\""}},
    };
    for (const auto& c : changes) {
        SCOPED_TRACE(c.what);
        std::vector<std::vector<Variant>> rows;
        for (const Variant& v : c.values)
            rows.push_back({v, "k"});
        std::vector<IndexSpec> indexes = {
            {"IXCOD", {"CODICE"}}, {"IXDUE", {"ALTRO", "codice"}}, {"IXALTRO", {"ALTRO"}}};
        MakePair({"MOVIMENTI", {c.after, {"ALTRO", dbText, 5}}, indexes},
                 {"MOVIMENTI", {c.before, {"ALTRO", dbText, 5}}, indexes, "", rows});

        Confr_ModificaField(w, TD1, TD2);

        EXPECT_EQ(Archived("CODICE").Type(), c.after.type);
        EXPECT_EQ(Archived("CODICE").Size(), TD1.Fields()["CODICE"].Size());
        EXPECT_FALSE(Archived("CODICE").AllowZeroLength());
        EXPECT_EQ(Values("CODICE"), c.expected);
        // Appended again as a new field, in the last place (no CODICEzz left), without the indexes that hold
        // it, in any place and any case: the index steps re-create them later.
        EXPECT_EQ(Names(), (Strings{"ALTRO", "CODICE"}));
        EXPECT_EQ(TD2.Indexes().Count(), 1);
        EXPECT_EQ(TD2.Indexes()[0].Name(), "IXALTRO");
        ExpectDoneQuietly();
        ResetPair();
    }
}

// A field missing from the archive is reported, without failing the comparison, and the next one is looked
// at: the question shows both definitions, and No keeps the field.
TEST_F(Campi, QuestionShowsBothDefinitionsAndNoKeepsTheField) {
    MakePair({"MOVIMENTI", {{"NUOVO", dbText, 10}, {"DESCR", dbText, 40}}},
             {"movimenti", {{"descr", dbText, 20}}, {}, "", {{"x"}}});
    w.Check2.value = 1;
    dialogs.AnswerWhenContains(" MODIFICO", vbNo);
    Confr_ModificaField(w, TD1, TD2);
    EXPECT_EQ(LogEntries(),
              Strings{"3265 " + dao::JetErrorText(3265) + "\nno esiste il field:NUOVO sul secondo database"});
    ASSERT_EQ(Boxes().size(), 2u);
    EXPECT_EQ(Boxes()[1], (Box{"tabella MOVIMENTI movimenti campo DESCR descr field diverso \n"
                               "tipo  10 -  10\nsize  40 -  20\nattr  2 -  2\n MODIFICO",
                               4, "Confr_ModificaField"}));
    EXPECT_FALSE(w.ErroreConfronto);
    EXPECT_EQ(Archived("DESCR").Size(), 20);

    dialogs.Clear();
    Confr_ModificaField(w, TD1, TD2); // Yes, the default button
    EXPECT_EQ(Archived("DESCR").Size(), 40);
    EXPECT_EQ(Values("DESCR"), Strings{"String \"x\""});
}

// A counter takes the engine's numbers; every number that changes is journalled under the row's other key
// or its place, nothing goes to the log, and the report names the journal.
TEST_F(Campi, CounterTakesTheEnginesNumbersAndJournalsTheChangedOnes) {
    const struct {
        const char* what;
        std::vector<IndexSpec> indexes;
        std::vector<std::vector<Variant>> rows;
        const char* journal; // the line after the header, "" for no journal
    } cases[] = {
        {"1, 1003, keyed by the counter, named by a unique index",
         {{"PrimaryKey", {"ID"}, true, true}, {"IXDESCR", {"DESCR"}, false, true}},
         {{1, "a"}, {1003, "b"}},
         "MOVIMENTI;DESCR=b;ID;1003;2"},
        {"a row without a number, no other key",
         {},
         {{1, "a"}, {N, "b"}, {3, "c"}},
         "MOVIMENTI;riga 2;ID;(nessun valore);2"},
        {"numbered as the engine numbers", {}, {{1, "a"}, {2, "b"}, {3, "c"}}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MakePair({"MOVIMENTI", {{"ID", dbLong, 0, dao::dbAutoIncrField}, {"DESCR", dbText, 10}}},
                 {"MOVIMENTI", {{"ID", dbLong}, {"DESCR", dbText, 10}}, c.indexes, "", c.rows});
        Confr_ModificaField(w, TD1, TD2);
        EXPECT_EQ(Archived("ID").Attributes(), 17);
        Strings numbers, descr;
        for (std::size_t i = 0; i < c.rows.size(); ++i) {
            numbers.push_back("Long " + std::to_string(i + 1));
            descr.push_back(c.rows[i][1].Describe());
        }
        EXPECT_EQ(Values("ID"), numbers);
        EXPECT_EQ(Values("DESCR"), descr);
        EXPECT_EQ(Names(), (Strings{"DESCR", "ID"}));
        ExpectDoneQuietly();
        EXPECT_EQ(w.DiarioConversioni.empty(), !*c.journal);
        if (!*c.journal) {
            EXPECT_TRUE(Notes().empty());
        } else {
            EXPECT_EQ(platform::ReadAllBytes(w.DiarioConversioni), kJournalHeader + c.journal + "\r\n");
            EXPECT_EQ(Notes(),
                      Strings{archive +
                              ": Tabella MOVIMENTI, campo ID: il contatore ha preso la "
                              "numerazione data dal motore e 1 numero è cambiato. I numeri "
                              "di prima e quelli nuovi, riga per riga, sono nel file " +
                              w.DiarioConversioni + ": servono a correggere i riferimenti a queste righe."});
        }
        ResetPair();
    }
}

// Every failing rebuild leaves the field as it was (definition, values, indexes; no temporary field) and
// returns: the later fields of the table stay as they were.
TEST_F(Campi, FailingRebuildIsRolledBackAndReported) {
    const std::string trenta(30, 'x');
    const FieldSpec text10{"NOTE", dbText, 10}, number{"NOTE", dbLong};
    const struct {
        const char* what;
        FieldSpec before, after;
        Variant value;
        int number;
        std::string detail; // in the report's error line
        FieldSpec leftover; // an extra archive field ("" for none)
    } failures[] = {
        {"leftover temporary field", text10, FieldSpec{"NOTE", dbText, 30}, "n", 3191, "",
         FieldSpec{"NOTEzz", dbText, 5}},
        {"text cut to the new size", FieldSpec{"NOTE", dbText, 40}, FieldSpec{"NOTE", dbText, 20}, trenta,
         3163, "1 valore verrebbe troncato a 20 caratteri. Prime righe: NOTE=" + trenta + "."},
        {"text that is no number", text10, number, "abc", 3421,
         "1 valore non si può convertire nel nuovo tipo"},
        {"number out of range", FieldSpec{"NOTE", dao::dbDouble}, FieldSpec{"NOTE", dbInteger}, 40000.0, 3349,
         "1 valore è fuori"},
    };
    for (const auto& f : failures) {
        SCOPED_TRACE(f.what);
        const bool text = f.before.type == dbText;
        std::vector<FieldSpec> archived = {f.before, {"ALTRO", dbText, 5}};
        archived[0].allowZeroLength = text;
        if (!f.leftover.name.empty()) archived.push_back(f.leftover);
        // Further rows beside the one that cannot be moved: an empty text and a Null are no loss.
        std::vector<std::vector<Variant>> rows = {{f.value, "a"}, {N}};
        Strings values = {f.value.Describe(), "Null"};
        if (text) rows.insert(rows.begin() + 1, std::vector<Variant>{""});
        if (text) values.insert(values.begin() + 1, "String \"\"");
        MakePair({"MOVIMENTI", {f.after, {"ALTRO", dbText, 50}}},
                 {"MOVIMENTI", archived, {{"IX", {"NOTE"}, false, true}}, "", rows});
        const Strings namesBefore = Names();
        const std::int32_t sizeBefore = Archived("NOTE").Size();

        Confr_ModificaField(w, TD1, TD2);

        ASSERT_EQ(LogEntries().size(), 1u);
        const std::string report = LogEntries()[0];
        EXPECT_TRUE(IsReport(report, f.number, "NOTE")) << report;
        EXPECT_NE(report.find(f.detail), std::string::npos) << report;
        EXPECT_EQ(Boxes().size(), 1u);
        EXPECT_TRUE(w.ErroreConfronto);
        // The table's later fields are not looked at: ALTRO keeps its size 5 and its place.
        EXPECT_EQ(Names(), namesBefore);
        EXPECT_EQ(Archived("NOTE").Type(), f.before.type);
        EXPECT_EQ(Archived("NOTE").Size(), sizeBefore);
        EXPECT_EQ(Values("NOTE"), values);
        ASSERT_EQ(TD2.Indexes().Count(), 1);
        EXPECT_TRUE(TD2.Indexes()[0].Unique());
        EXPECT_EQ(Archived("ALTRO").Size(), 5);
        ResetPair();
    }
}

// Values that a unique index of the model would no longer tell apart refuse the rebuild; the archive's
// index stays as it was.
TEST_F(Campi, KeyCollisionsAreRefusedWithTheIndexIntact) {
    const struct {
        const char* what;
        std::vector<FieldSpec> model, archived;
        IndexSpec index;
        std::vector<std::vector<Variant>> rows;
        std::string detail;
    } cases[] = {
        {"one-field unique index",
         {{"CODICE", dbLong}, {"DESCR", dbText, 10}},
         {{"CODICE", dao::dbDouble}, {"DESCR", dbText, 10}},
         {"IXCOD", {"CODICE"}, false, true},
         {{2.4, "a"}, {2.2, "b"}, {3.0, "c"}, {7.6, "d"}, {8.0, "e"}},
         "4 valori diventerebbero uguali ad altri nell'indice univoco IXCOD. Prime righe: CODICE=2,4; "
         "CODICE=2,2; CODICE=7,6; CODICE=8."},
        {"primary key of two fields",
         {{"ANNO", dbInteger}, {"CODICE", dbLong}},
         {{"ANNO", dbInteger}, {"CODICE", dbText, 10}},
         {"PrimaryKey", {"ANNO", "CODICE"}, true, true},
         {{Variant::FromInteger(2001), "7"},
          {Variant::FromInteger(2002), "07"},
          {Variant::FromInteger(2001), "007"}},
         "2 valori diventerebbero uguali ad altri nell'indice univoco PrimaryKey. Prime righe: ANNO=2001, "
         "CODICE=7; ANNO=2001, CODICE=007."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MakePair({"MOVIMENTI", c.model, {c.index}}, {"MOVIMENTI", c.archived, {c.index}, "", c.rows});
        const std::string before = Structure(archive);
        const Strings rows = Rows(archive, "MOVIMENTI");

        Confr_ModificaField(w, TD1, TD2);

        ASSERT_EQ(LogEntries().size(), 1u);
        EXPECT_TRUE(IsReport(LogEntries()[0], 3022, "CODICE")) << LogEntries()[0];
        EXPECT_NE(LogEntries()[0].find(c.detail), std::string::npos) << LogEntries()[0];
        EXPECT_TRUE(w.ErroreConfronto);
        EXPECT_EQ(Structure(archive), before); // the field's type and its unique index as they were
        EXPECT_EQ(Rows(archive, "MOVIMENTI"), rows);
        EXPECT_TRUE(w.DiarioConversioni.empty());
        ResetPair();
    }
}

// Rounded numbers and dates that lose their time: the change is made, every changed value is in the
// journal beside the archive, and one line per field says where; a journal that cannot be written refuses
// the change.
TEST_F(Campi, RoundedValuesAreJournalledBeforeTheChange) {
    const auto data = [](int y, int m, int d, int h) { return Variant::FromDate(y, m, d, h, 0, 0); };
    const TableSpec modello{"MOVIMENTI",
                            {{"ID", dbLong}, {"IMPORTO", dbInteger}, {"DATA", dbLong}},
                            {{"PrimaryKey", {"ID"}, true, true}}};
    const TableSpec archivio{"MOVIMENTI",
                             {{"ID", dbLong}, {"IMPORTO", dao::dbDouble}, {"DATA", dao::dbDate}},
                             {{"PrimaryKey", {"ID"}, true, true}},
                             "",
                             {{1, 3.7, data(2026, 12, 7, 18)},
                              {2, 2.5, data(1850, 6, 15, 6)},
                              {3, -1.5, data(2003, 2, 1, 0)},
                              {4, 4.0, N}}};
    MakePair(modello, archivio);

    Confr_ModificaField(w, TD1, TD2);

    EXPECT_EQ(Values("IMPORTO"), (Strings{"Integer 4", "Integer 2", "Integer -2", "Integer 4"}));
    EXPECT_EQ(Values("DATA"), (Strings{"Long 46364", "Long -18095", "Long 37653", "Null"}));
    const std::string diario = w.DiarioConversioni;
    EXPECT_TRUE(diario.starts_with("C:\\ZU\\Ditta2000\\Cont32_conversioni_") && diario.ends_with(".csv"))
        << diario;
    EXPECT_EQ(platform::ReadAllBytes(diario), kJournalHeader +
                                                  "MOVIMENTI;ID=1;IMPORTO;3,7;4\r\n"
                                                  "MOVIMENTI;ID=2;IMPORTO;2,5;2\r\n"
                                                  "MOVIMENTI;ID=3;IMPORTO;-1,5;-2\r\n"
                                                  "MOVIMENTI;ID=1;DATA;07/12/2026 18.00.00;46364\r\n"
                                                  "MOVIMENTI;ID=2;DATA;15/06/1850 06.00.00;-18095\r\n");
    ExpectDoneQuietly();
    const auto note = [&](const std::string& field, const std::string& count) {
        return archive + ": Tabella MOVIMENTI, campo " + field + ": il nuovo tipo del campo ha cambiato " +
               count +
               " valori (arrotondati, con meno cifre o senza l'ora). I valori di prima e quelli nuovi sono "
               "nel file " +
               diario;
    };
    EXPECT_EQ(Notes(), (Strings{note("IMPORTO", "3"), note("DATA", "2")}));
    ResetPair();

    MakePair(modello, archivio);
    w.DiarioConversioni = "C:\\NonEsiste\\diario.csv";
    Confr_ModificaField(w, TD1, TD2);
    EXPECT_EQ(Archived("IMPORTO").Type(), dao::dbDouble);
    EXPECT_EQ(Archived("DATA").Type(), dao::dbDate);
    EXPECT_EQ(Values("IMPORTO"), (Strings{"Double 3.7", "Double 2.5", "Double -1.5", "Double 4"}));
    ASSERT_EQ(LogEntries().size(), 1u); // the refusal ends the table: DATA is not looked at
    EXPECT_TRUE(LogEntries()[0].starts_with("Funz. Confr_ModificaField\n76 ")) << LogEntries()[0];
    EXPECT_TRUE(Notes().empty());
    EXPECT_TRUE(w.ErroreConfronto);
}

TEST_F(Campi, TextAndMemoFieldsAcceptZeroLengthText) {
    const FieldSpec t1{"T1", dbText, 10}, m1{"M1", dao::dbMemo}, t2{"T2", dbText, 10}, l{"L", dbLong},
        t3{"T3", dbText, 10};
    MakePair({"MOVIMENTI", {t1, m1, t2, l, {"MANCA", dbText, 5}, t3}},
             {"MOVIMENTI", {t1, m1, t2, l, t3, {"EXTRA", dbText, 10}}});
    TD1.Fields()["T2"].SetAllowZeroLength(false);
    TD2.Fields()["T2"].SetAllowZeroLength(true);

    Confr_Abilitazerolenght(w, TD1, TD2);

    for (const char* name : {"T1", "M1", "T2", "T3"})
        EXPECT_TRUE(Archived(name).AllowZeroLength()) << name;
    EXPECT_FALSE(Archived("L").AllowZeroLength());
    EXPECT_FALSE(Archived("EXTRA").AllowZeroLength());  // only in the archive
    EXPECT_FALSE(TD1.Fields()["T1"].AllowZeroLength()); // the model is only read
    EXPECT_EQ(LogEntries(), Strings{"Funz. Confr_Abilitazerolenght\n3265 " + dao::JetErrorText(3265) +
                                    "\ntabella MOVIMENTI\nfield MANCA"});
    EXPECT_TRUE(w.ErroreConfronto);
}

} // namespace
} // namespace ledrana::testing
