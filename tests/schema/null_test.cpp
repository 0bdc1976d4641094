// Null normalisation on a real archive: the neutral value of each type, the box for a type without one,
// and the failures that end a table's walk.

#include "tests/schema/fixture.h"

namespace ledrana::testing {
namespace {

using dao::Variant;

using Null = SchemaTest;

// Every Null becomes the neutral value of its type. BY, a Byte field, has none: it keeps its Nulls, with one
// box for each row. T2 does not allow zero-length text, so its "" is refused when a row is saved: it keeps
// its Nulls, the other Nulls of those rows are replaced all the same, and it is reported once, not once per
// row; the driver decides, as the field may be deleted later in the pass.
TEST_F(Null, NullsBecomeTheNeutralValueOfTheirType) {
    const Variant N = Variant::Null();
    const TableSpec dati{
        "DATI",
        {{"ID", dao::dbLong},
         {"L", dao::dbLong},
         {"D", dao::dbDouble},
         {"C", dao::dbCurrency},
         {"I", dao::dbInteger},
         {"S", dao::dbSingle},
         {"B", dao::dbBoolean},
         {"DT", dao::dbDate},
         {"T", dao::dbText, 10, 0, true},
         {"M", dao::dbMemo, 0, 0, true},
         {"BY", dao::dbByte},
         {"T2", dao::dbText, 10}},
        {},
        "",
        {{1, N, N, N, N, N, N, N, N, N, N, N},
         {2, 5, 1.5, Variant::FromCurrency(2.25), Variant::FromInteger(3), Variant::FromSingle(0.5f), true,
          Variant::FromDate(2001, 2, 3, 4, 5, 6), "t", "m", Variant::FromByte(7), "x"},
         {3, N, N, N, N, N, N, N, N, N, N, N}}};
    MakePair(dati, dati);
    const std::string filled = Rows(archive, "DATI")[1];

    EXPECT_EQ(Confr_VerificaCampiNull1(w, TD2), Strings{"T2"});

    const std::string neutral = " | Long 0 | Double 0 | Currency 0 | Integer 0 | Single 0 | Boolean False | "
                                "Date 01/01/1980 | String \"\" | String \"\" | Null | Null";
    EXPECT_EQ(Rows(archive, "DATI"), (Strings{"Long 1" + neutral, filled, "Long 3" + neutral}));
    ASSERT_EQ(LogEntries().size(), 1u);
    EXPECT_EQ(LogEntries()[0],
              "Funz. Confr_VerificaCampiNull1\n3315 " + dao::JetErrorText(3315, "T2") +
                  "\ntabella DATI\nfield T2\n2 valori Null di questo campo sono rimasti Null: il "
                  "campo non accetta il valore che lo sostituisce. Gli altri campi delle stesse "
                  "righe sono stati completati.");
    const Box box{"Tipo non previsto su VerificaCampiNull1", 0, "AggiornaLedrana"};
    EXPECT_EQ(Boxes(), (std::vector<Box>{box, box, {LogEntries()[0], 0, kAppTitle}}));
    EXPECT_FALSE(w.ErroreConfronto);
}

// The archive's table of that name is attached to a file that is gone.
TEST_F(Null, TableThatCannotBeOpenedIsReported) {
    const std::string fonte = "C:\\ZU\\Ditta2000\\Fonte.mdb";
    MakeDatabase(fonte, {{"Tab Uno", {{"A", dao::dbLong}}, {}, "", {{Variant::Null()}}}});
    MakeDatabase(model, {{"Tab Uno", {{"A", dao::dbLong}}}});
    MakeDatabase(archive, {}, {}, "", {{"Tab Uno", fonte, "Tab Uno"}});
    std::filesystem::remove(Host(fonte));
    OpenPair();
    Confr_VerificaCampiNull1(w, w.Db2.TableDefs()["Tab Uno"]);
    ASSERT_EQ(LogEntries().size(), 1u);
    EXPECT_TRUE(LogEntries()[0].starts_with("Funz. Confr_VerificaCampiNull1\n")) << LogEntries()[0];
    EXPECT_TRUE(LogEntries()[0].ends_with("\ntabella Tab Uno")) << LogEntries()[0];
    EXPECT_EQ(Boxes().size(), 1u);
    EXPECT_TRUE(w.ErroreConfronto);
}

// In a whole comparison: a surplus text field of the archive that refuses "" is deleted a few steps later,
// so the comparison does not fail and the archive is compacted; kept (declined), it fails the comparison.
TEST_F(Null, SurplusFieldThatRefusesZeroLengthTextFailsNothingOnceDeleted) {
    const Variant N = Variant::Null();
    const TableSpec modello{"DATI", {{"ID", dao::dbLong}, {"L", dao::dbLong}, {"T", dao::dbText, 10}}};
    const TableSpec archivio{
        "DATI",
        {{"ID", dao::dbLong}, {"L", dao::dbLong}, {"T", dao::dbText, 10}, {"EXTRA", dao::dbText, 10}},
        {},
        "",
        {{1, N, N, N}, {2, 7, N, N}}};
    for (const bool elimina : {true, false}) {
        SCOPED_TRACE(elimina ? "deleted" : "kept");
        MakeDatabase(model, {modello});
        MakeDatabase(archive, {archivio});
        if (!elimina) {
            // Ask before every change: the boxes' default buttons keep EXTRA (No is preselected there).
            w.Check2.value = 1;
        }

        const bool fatto = Ponteval(w);

        EXPECT_EQ(fatto, elimina);
        const std::string estremi = elimina ? "" : " | Null";
        EXPECT_EQ(Rows(archive, "DATI"), (Strings{"Long 1 | Long 0 | String \"\"" + estremi,
                                                  "Long 2 | Long 7 | String \"\"" + estremi}));
        int rapporti = 0;
        for (const std::string& voce : LogEntries())
            rapporti += voce.starts_with("Funz. Confr_VerificaCampiNull1\n3315 ") &&
                        voce.find("\nfield EXTRA\n2 valori") != std::string::npos;
        EXPECT_EQ(rapporti, 1);
        EXPECT_EQ(w.ErroreConfronto, elimina ? vbFalse : vbTrue);

        ResetPair();
        w.Check2.value = 0;
    }
}

} // namespace
} // namespace ledrana::testing
