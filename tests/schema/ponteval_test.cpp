#include <map>

#include "platform/files.h"
#include "tests/schema/fixture.h"

using namespace ledrana;
using namespace ledrana::testing;
using dao::Variant;

namespace {

class PontevalTest : public SchemaTest {
protected:
    const FieldSpec id{"ID", dao::dbLong}, nome{"NOME", dao::dbText, 40}, citta{"CITTA", dao::dbText, 30};
    Strings captions; // Command2's caption at each of its refreshes

    void SetUp() override {
        w.onRefresh = [this](const Control* c) {
            if (c == &w.Command2) captions.push_back(w.Command2.caption);
        };
    }
    bool Exists(const std::string& path) { return std::filesystem::exists(Host(path)); }
};

TEST_F(PontevalTest, VerificaAsksWhenTheSecondNameDoesNotMatchTheFirstAndNoOpensNothing) {
    struct Case {
        std::string first, second;
        std::vector<int> answers;
        Strings warned; // the names asked about, in order
        bool result;
    } cases[] = {
        {"C:\\Programmi\\Tessaro\\CONT32.MDB", "C:\\ZU\\Ditta\\cont32.mdb", {}, {}, true},
        {"C:\\Programmi\\Tessaro\\CONT32.MDB", "C:\\ZU\\Ditta\\scad32.mdb", {vbNo}, {"CONT32.MDB"}, false},
        {"C:\\Programmi\\Tessaro\\Scad32.mdb", "C:\\ZU\\Ditta\\Cont32.mdb", {vbYes}, {"SCAD32.MDB"}, true},
        {"C:\\MAG.MDB\\CONT32.MDB", "C:\\ZU\\Ditta\\altro.mdb", std::vector<int>{vbYes, vbNo},
         Strings{"CONT32.MDB", "MAG.MDB"}, false},
        {"C:\\Programmi\\Tessaro\\Altro.mdb", "C:\\ZU\\Ditta\\x.mdb", {}, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first + " / " + c.second);
        ResetPair();
        w.NomeDb1 = c.first;
        w.NomeDb2 = c.second;
        for (int a : c.answers)
            dialogs.QueueAnswer(a);
        EXPECT_EQ(Confr_Verifica(w), c.result);
        std::vector<Box> boxes;
        std::string log;
        for (std::size_t i = 0; i < c.warned.size(); ++i) {
            const std::string warning = "ATTENZIONE: IL SECONDO DATABASE NON E' " + c.warned[i];
            boxes.push_back({warning + "\nproseguo ?", 260, kAppTitle});
            log += "\r\n->" + warning + "\nproseguo ? " + std::to_string(c.answers[i]);
        }
        EXPECT_EQ(Boxes(), boxes);
        EXPECT_EQ(w.Text1.text, log);
    }
    // A declined pair opens nothing.
    ResetPair();
    w.NomeDb1 = model;
    w.NomeDb2 = "C:\\ZU\\Ditta2000\\Scad32.mdb";
    dialogs.QueueAnswer(vbNo);
    EXPECT_FALSE(Ponteval(w));
    EXPECT_EQ(w.NumDb, 0);
    EXPECT_EQ(w.Command2.caption, "Esegui");
    EXPECT_EQ(Boxes().size(), 1u);
}

// A model that ApreDb cannot open has been reported in its box: the comparison stops there, and none of its
// steps reports an error of its own. An archive that cannot be used (here a text file) is the opening's
// error: its number and text in the log and a box, nothing else, and the run's report says what to do.
TEST_F(PontevalTest, ADatabaseThatCannotBeOpenedStopsTheComparisonThere) {
    const TableSpec clienti{"CLIENTI", {id, nome}, {{"PrimaryKey", {"ID"}, true, true}}};
    const std::string unusable = " 3343Formato di database '" + archive + "' non riconosciuto.";
    struct Case {
        const char* name;
        bool modelMissing;
        std::string box, log;
    } cases[] = {
        {"the archive is a text file", false, unusable, "\r\n->" + unusable},
        {"the model is missing", true,
         "File " + model + "\nFunz. ApreDb: err.3024 " + dao::JetErrorText(3024, model),
         "\r\n->    ----->ponteval NON ESEGUITO" + model + " -> " + archive},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        ResetPair();
        if (!k.modelMissing) MakeDatabase(model, {clienti});
        TempPrefix::put(Host(archive), "non un archivio\r\n");

        EXPECT_FALSE(Ponteval(w));
        const std::vector<Box> boxes = Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0], (Box{k.box, 0, kAppTitle}));
        EXPECT_EQ(w.Text1.text, k.log);
        EXPECT_EQ(w.Command2.caption, "Esegui");
        EXPECT_EQ(TempPrefix::get(Host(archive)), "non un archivio\r\n");
        // Nothing is made beside the archive (no working copy, no conversion).
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Host(archive).parent_path()), {}), 1);
        if (!k.modelMissing) {
            ASSERT_FALSE(w.runReport.notes().empty());
            EXPECT_NE(w.runReport.notes().back().text.find("Verificare che sia un archivio di Tessaro"),
                      std::string::npos);
        }
    }
}

TEST_F(PontevalTest, APairThatAgreesIsOnlyCompacted) {
    const std::string other = "C:\\ZU\\Ditta2000\\Altro.mdb";
    MakeDatabase(other, {{"ORIGINE", {id}}});
    const TableSpec clienti{"CLIENTI", {id, nome}, {{"PrimaryKey", {"ID"}, true, true}}};
    // As an earlier comparison leaves it: its text fields take zero-length text.
    TableSpec piena = clienti;
    piena.fields[1].allowZeroLength = true;
    piena.rows = {{Variant(1), Variant("Rossi")}, {Variant(2), Variant("Bianchi")}};
    const std::vector<QuerySpec> queries{{"QClienti", "SELECT NOME FROM CLIENTI"}};
    MakeDatabase(model, {clienti}, queries, "", {{"ESTERNA", other, "ORIGINE"}});
    MakeDatabase(archive, {piena}, queries);
    const std::string before = Structure(archive);

    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        std::filesystem::remove(Host(archive + ".tmp"));
        EXPECT_TRUE(Ponteval(w));
        EXPECT_EQ(Structure(archive), before); // the model's attached table is not compared
        EXPECT_EQ(Rows(archive, "CLIENTI"),
                  (Strings{"Long 1 | String \"Rossi\"", "Long 2 | String \"Bianchi\""}));
        // Compacted into A.tmp, which is too small to take the archive's place: no A.tmp2.
        EXPECT_TRUE(Exists(archive + ".tmp") && !Exists(archive + ".tmp2"));
        EXPECT_FALSE(w.Db1.IsOpen() || w.Db2.IsOpen());
    }
    EXPECT_EQ(captions, (Strings{"Ditta: Ditta2000", "Esegui", "Ditta: Ditta2000", "Esegui"}));
    EXPECT_EQ(w.Label10.caption, "Ditta2000");
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(w.Text1.text, "");
}

// What only the archive has is deleted once it is kept in a recovery archive beside it: the surplus table
// whole, the surplus field's values by row, the surplus query's text. The copies are on disk, all at once,
// before the archive takes the comparison's changes; when they cannot be put there, the archive stays as it
// was. When a copy cannot be made (here the empty recovery archive cannot be made), nothing is deleted and
// each step reports it.
TEST_F(PontevalTest, MissingAndSurplusObjectsAreCreatedAndRemovedKeepingTheData) {
    const FieldSpec ragione{"RAGIONE", dao::dbText, 60}, vecchio{"VECCHIO", dao::dbText, 10};
    const TableSpec clienti{"Clienti", {id, nome, vecchio}, {}, "", {{1, "Rossi", "x"}, {2, "Bianchi", "y"}}},
        articoli{"ARTICOLI", {id}, {{"PK", {"ID"}, true, true}}, "", {{Variant(9)}}};
    enum class Mode { copied, notSynced, noTemporaryFolder };
    for (const Mode mode : {Mode::copied, Mode::notSynced, Mode::noTemporaryFolder}) {
        const bool copied = mode != Mode::noTemporaryFolder;
        SCOPED_TRACE(mode == Mode::copied ? "copied" : copied ? "not synced" : "no temporary folder");
        ResetPair();
        MakeDatabase(
            model, {{"CLIENTI", {id, nome, citta}}, {"FORNITORI", {id, ragione}}},
            {{"QClienti", "SELECT ID, CITTA FROM CLIENTI"}, {"QFornitori", "SELECT * FROM FORNITORI"}});
        MakeDatabase(archive, {clienti, articoli, {"VUOTA", {id}}},
                     {{"qclienti", "SELECT ID FROM CLIENTI"}, {"QVecchia", "SELECT * FROM ARTICOLI"}});
        {
            // A decimal keeps every digit in the recovery archive.
            dao::Database db = Open(archive);
            dao::TableDef articoli = db.TableDefs()["ARTICOLI"];
            dao::Field prezzo = articoli.CreateField("PREZZO", dao::dbDecimal);
            prezzo.SetPrecision(28);
            prezzo.SetScale(10);
            articoli.Fields().Append(prezzo);
            db.Execute("UPDATE ARTICOLI SET PREZZO = '123456789012345678.0123456789'");
            db.Close();
        }
        std::filesystem::permissions(Host(archive), std::filesystem::perms(0640));
        std::filesystem::remove(Host(archive + ".tmp")); // the compacted copy of the mode before
        const std::string before = platform::FileIdentity(archive);
        // Each sync of the recovery archive: whether the archive was still the same file then.
        std::vector<std::string> syncs;
        platform::SetFileOperationHook([&](const char* op, const std::string& path) {
            if (op != std::string("fsync") || path.find("_rimossi_") == std::string::npos) return;
            syncs.push_back(platform::FileIdentity(archive) == before ? "before" : "after");
            if (mode == Mode::notSynced) throw Error(61, "Disco pieno");
        });
        // The empty recovery archive is made in a folder under TMPDIR: a missing one refuses every copy.
        {
            const ScopedEnv tempDir("TMPDIR", copied ? std::filesystem::temp_directory_path().string()
                                                     : Host("C:\\NonEsiste").string());
            EXPECT_EQ(Ponteval(w), copied) << w.Text1.text;
        }
        platform::SetFileOperationHook({});
        if (mode == Mode::notSynced) {
            // Tried before the compacted copy would take the archive's place, and again before the working
            // copy would: the archive is the one before the update, whole.
            EXPECT_EQ(syncs, (Strings{"before", "before"}));
            EXPECT_EQ(platform::FileIdentity(archive), before);
            EXPECT_FALSE(std::filesystem::exists(Host(archive + ".tmp"))); // no compaction was made for it
            EXPECT_EQ(Names("table", archive), (Strings{"ARTICOLI", "Clienti", "VUOTA"}));
            EXPECT_EQ(Rows(archive, "CLIENTI")[0], "Long 1 | String \"Rossi\" | String \"x\"");
            EXPECT_NE(w.runReport.notes().back().text.find("l'archivio è rimasto com'era"), std::string::npos)
                << w.runReport.notes().back().text;
            continue;
        }
        EXPECT_EQ(syncs, copied ? Strings{"before"} : Strings{});

        if (!copied) {
            // Nothing deleted, and no recovery archive: each refusal is its step's report.
            for (const char* step :
                 {"Confr_VerificaFieldInPiuSuSecondoDB", "Confr_VerificaQueryInPiuSuSecondoDB",
                  "Confr_VerificaTabelleInPiuSuSecondoDB"}) {
                EXPECT_NE(w.Text1.text.find(std::string("Funz. ") + step + "\n"), std::string::npos) << step;
            }
            EXPECT_NE(
                w.Text1.text.find("Il campo VECCHIO della tabella Clienti non è stato eliminato: la copia "
                                  "nell'archivio di recupero non si è potuta fare"),
                std::string::npos)
                << w.Text1.text;
            EXPECT_EQ(Names("table", archive), (Strings{"ARTICOLI", "Clienti", "FORNITORI", "VUOTA"}));
            EXPECT_EQ(Names("query", archive), (Strings{"QClienti", "QFornitori", "QVecchia"}));
            EXPECT_EQ(Rows(archive, "CLIENTI")[0], "Long 1 | String \"Rossi\" | String \"x\" | String \"\"");
            EXPECT_TRUE(w.runReport.notes().empty());
            continue;
        }
        // The model's tables and queries, with one table whatever the case of its name; the text fields now
        // take zero-length text, which the new field holds instead of Null.
        EXPECT_EQ(Structure(archive), "table Clienti\n"
                                      "  field ID type=4 size=4 attr=1 zl=0 req=0 default=\n"
                                      "  field NOME type=10 size=40 attr=2 zl=1 req=0 default=\n"
                                      "  field CITTA type=10 size=30 attr=2 zl=1 req=0 default=\n"
                                      "table FORNITORI\n"
                                      "  field ID type=4 size=4 attr=1 zl=0 req=0 default=\n"
                                      "  field RAGIONE type=10 size=60 attr=2 zl=1 req=0 default=\n"
                                      "query QClienti: SELECT ID, CITTA FROM CLIENTI\n"
                                      "query QFornitori: SELECT * FROM FORNITORI\n");
        EXPECT_EQ(Rows(archive, "CLIENTI"), (Strings{"Long 1 | String \"Rossi\" | String \"\"",
                                                     "Long 2 | String \"Bianchi\" | String \"\""}));
        // One recovery archive, the archive's mode, named in every note; the empty table needs no copy.
        const std::vector<ReportNote>& notes = w.runReport.notes();
        ASSERT_EQ(notes.size(), 3u);
        const std::size_t at = notes[0].text.find("C:\\ZU\\Ditta2000\\Cont32_rimossi_");
        ASSERT_NE(at, std::string::npos) << notes[0].text;
        const std::string kept = notes[0].text.substr(at, notes[0].text.size() - at - 1);
        for (const ReportNote& n : notes)
            EXPECT_TRUE(n.archive == archive && n.text.ends_with(kept + ".")) << n.text;
        EXPECT_EQ(kept.size(), std::string("C:\\ZU\\Ditta2000\\Cont32_rimossi_20261207-021901.mdb").size());
        EXPECT_EQ(std::filesystem::status(Host(kept)).permissions(), std::filesystem::perms(0640));
        EXPECT_EQ(Names("table", kept), (Strings{"ARTICOLI", "Clienti_VECCHIO", "Query_rimosse"}));
        EXPECT_EQ(Rows(kept, "Clienti_VECCHIO"), (Strings{"Long 1 | String \"x\"", "Long 2 | String \"y\""}));
        EXPECT_EQ(Rows(kept, "ARTICOLI"), (Strings{"Long 9 | Decimal 123456789012345678.0123456789"}));
        EXPECT_NE(Structure(kept).find("index PK primary=1 unique=1 (ID)"), std::string::npos)
            << Structure(kept);
        EXPECT_EQ(RowsAt(kept, "SELECT Nome, SQL FROM Query_rimosse", {"Nome", "SQL"}),
                  Strings{"QVecchia|SELECT * FROM ARTICOLI"});
        EXPECT_TRUE(Boxes().empty());
        EXPECT_EQ(w.Text1.text, ""); // the log does not mention the recovery archive
    }
}

TEST_F(PontevalTest, OnlyTablesDescribedExactlyAsFissaAreCopiedAndTheirErrorsPassSilently) {
    auto table = [&](const std::string& name, const std::string& description, const char* value) {
        return TableSpec{name, {id, nome}, {}, description, {{Variant(1), Variant(value)}}};
    };
    TableSpec rotta = table("ROTTA", "fissa", "modello");
    rotta.rows.push_back({Variant(2), Variant::Null()});
    MakeDatabase(model, {table("ALTRA", "Fissa", "modello"), table("FISSA", "fissa", "modello"),
                         table("NESSUNA", "", "modello"), rotta});
    MakeDatabase(archive, {table("ALTRA", "", "archivio"), table("FISSA", "", "archivio"),
                           table("NESSUNA", "", "archivio"), table("ROTTA", "", "archivio")});
    {
        // The archive's field refuses the model's Null of the second row: that copy fails, and the first
        // row's save is undone with the deletion.
        dao::Database db = Open(archive);
        db.TableDefs()["ROTTA"].Fields()["NOME"].SetRequired(true);
        db.Close();
    }
    EXPECT_TRUE(Ponteval(w)) << w.Text1.text;
    EXPECT_EQ(w.Text1.text, "");
    EXPECT_TRUE(Boxes().empty());
    for (const char* name : {"ALTRA", "NESSUNA", "ROTTA"}) {
        EXPECT_EQ(Rows(archive, name), Strings{"Long 1 | String \"archivio\""}) << name;
    }
    EXPECT_EQ(Rows(archive, "FISSA"), Strings{"Long 1 | String \"modello\""});
}

TEST_F(PontevalTest, AProtectedArchiveIsAskedForOnceInTheWholeComparison) {
    // Creating a table and the two surplus checks re-open the archive; the compaction needs it too.
    MakeDatabase(model, {{"CLIENTI", {id}}, {"NUOVA", {id}}});
    MakeDatabase(archive, {{"CLIENTI", {id}}}, {}, "segreta");
    dialogs.QueueInput("segreta");
    EXPECT_TRUE(Ponteval(w)) << w.Text1.text;
    EXPECT_EQ(dialogs.records().size(), 1u);
    EXPECT_EQ(w.Text1.text, "");
    EXPECT_TRUE(Exists(archive + ".tmp"));
    EXPECT_EQ(Names("table", archive, "segreta"), (Strings{"CLIENTI", "NUOVA"}));
}

TEST_F(PontevalTest, ADeclinedQueryFailsTheComparisonButEveryStepStillRuns) {
    MakeDatabase(model, {{"CLIENTI", {id}}}, {{"QNuova", "SELECT ID FROM CLIENTI"}});
    MakeDatabase(archive, {{"CLIENTI", {id}}, {"VECCHIA", {id}}});
    w.Check2.value = 1;
    dialogs.AnswerWhenContains("la query QNuova", vbNo);
    dialogs.AnswerWhenContains("la Tabella VECCHIA", vbYes);
    const std::string report =
        "Funz. Ponteval\n" + Failure([&] { Open(archive).QueryDefs()["QNuova"]; }) + "\nquery QNuova";

    EXPECT_FALSE(Ponteval(w));
    // The query's question (the query suite checks its text), the report, and the later step's question.
    ASSERT_EQ(Boxes().size(), 3u);
    EXPECT_EQ(Boxes()[1], (Box{report, 0, kAppTitle}));
    EXPECT_EQ(LogEntries(), (Strings{report, "    ----->ponteval NON ESEGUITO" + model + " -> " + archive}));
    EXPECT_TRUE(w.ErroreConfronto);
    EXPECT_FALSE(w.FrameAttendere.visible);
    EXPECT_FALSE(Exists(archive + ".tmp")); // not compacted
    // What it did stays done: its working copy has taken the archive's place.
    EXPECT_FALSE(w.Db2.IsOpen());
    EXPECT_FALSE(Exists(archive + ".lavoro"));
    EXPECT_EQ(Names("table", archive), Strings{"CLIENTI"});
}

// A table whose values wait for the compaction (a field rebuilt) has its Nulls completed at once and counted
// as the values are stored: the report has them, whether the comparison ends well (compacted) or not (its
// working copy takes the archive's place).
TEST_F(PontevalTest, NullsCountedWhenTheValuesAreStoredReachTheReport) {
    const FieldSpec num{"NUM", dao::dbLong}, note{"NOTE", dao::dbText, 20, 0, true};
    for (const bool fails : {false, true}) {
        SCOPED_TRACE(fails ? "comparison failed" : "comparison through");
        w.runReport = RunReport();
        for (const std::string& f : {model, archive, archive + ".tmp", archive + ".tmp2"})
            std::filesystem::remove(Host(f));
        std::vector<QuerySpec> queries;
        if (fails) queries.push_back({"QNuova", "SELECT ID FROM MOVIMENTI"});
        MakeDatabase(model, {{"MOVIMENTI", {id, num, note}, {{"PrimaryKey", {"ID"}, true, true}}}}, queries);
        MakeDatabase(archive, {{"MOVIMENTI",
                                {id, {"NUM", dao::dbInteger}, note},
                                {{"PrimaryKey", {"ID"}, true, true}},
                                "",
                                {{Variant(1), Variant(5), dao::Variant()},
                                 {Variant(2), dao::Variant(), dao::Variant()},
                                 {Variant(3), Variant(7), Variant("x")}}}});
        w.Check2.value = fails ? 1 : 0;
        if (fails) dialogs.AnswerWhenContains("la query QNuova", vbNo);
        EXPECT_EQ(Ponteval(w), !fails);
        // The rebuilt field after the others.
        EXPECT_EQ(Rows(archive, "MOVIMENTI"),
                  (Strings{"Long 1 | String \"\" | Long 5", "Long 2 | String \"\" | Long 0",
                           "Long 3 | String \"x\" | Long 7"}));
        std::map<std::string, std::int64_t> completed;
        for (const ArchiveReport& a : w.runReport.archives())
            for (const ReportChange& c : a.changes)
                if (c.kind == ChangeKind::NullsCompleted) completed[c.table + "." + c.object] += c.count;
        EXPECT_EQ(completed,
                  (std::map<std::string, std::int64_t>{{"MOVIMENTI.NOTE", 2}, {"MOVIMENTI.NUM", 1}}));
    }
}

TEST_F(PontevalTest, AnErrorLetThroughByAStepIsReportedAndThePassGoesOn) {
    // The model's query reads an attached table, which is never compared: the archive cannot take it.
    const std::string other = "C:\\ZU\\Ditta2000\\Altro.mdb";
    MakeDatabase(other, {{"ORIGINE", {id}}});
    MakeDatabase(model, {{"CLIENTI", {id}}},
                 {{"QEsterna", "SELECT ID FROM ESTERNA"}, {"QZeta", "SELECT ID FROM CLIENTI"}}, "",
                 {{"ESTERNA", other, "ORIGINE"}});
    MakeDatabase(archive, {{"CLIENTI", {id}}});
    const std::string refused =
        Failure([&] { Open(archive).CreateQueryDef("QEsterna", "SELECT ID FROM ESTERNA"); });

    EXPECT_FALSE(Ponteval(w));
    const std::string report = "Funz. Confr_CreaQueryDef\n" + refused + "\nquery QEsterna";
    EXPECT_EQ(Boxes(), (std::vector<Box>{{report, 0, kAppTitle}}));
    EXPECT_EQ(LogEntries().front(), report);
    EXPECT_EQ(Names("query", archive), Strings{"QZeta"});
}

} // namespace
