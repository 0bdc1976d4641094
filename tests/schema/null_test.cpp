// Null normalisation on a real archive: the neutral value of each type, the box for a type without one,
// and the failures that end a table's walk.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/schema/fixture.h"

namespace ledrana::testing {
namespace {

using dao::Variant;

class Null : public SchemaTest {
protected:
    void Make(TableSpec table) {
        MakeDatabase(model, {});
        MakeDatabase(archive, {std::move(table)});
        OpenPair();
    }
};

TEST_F(Null, NullsBecomeTheNeutralValueOfTheirType) {
    const Variant N = Variant::Null();
    Make({"DATI",
          {{"ID", dao::dbLong},
           {"L", dao::dbLong},
           {"D", dao::dbDouble},
           {"C", dao::dbCurrency},
           {"I", dao::dbInteger},
           {"S", dao::dbSingle},
           {"B", dao::dbBoolean},
           {"DT", dao::dbDate},
           {"T", dao::dbText, 10},
           {"M", dao::dbMemo},
           {"BY", dao::dbByte}},
          {},
          "",
          {{1, N, N, N, N, N, N, N, N, N, N},
           {2, 5, 1.5, Variant::FromCurrency(2.25), Variant::FromInteger(3), Variant::FromSingle(0.5f), true,
            Variant::FromDate(2001, 2, 3, 4, 5, 6), "t", "m", Variant::FromByte(7)},
           {3, N, N, N, N, N, N, N, N, N, N}}});
    dao::TableDef TD2 = w.Db2.TableDefs()["DATI"];
    TD2.Fields()["T"].SetAllowZeroLength(true);
    TD2.Fields()["M"].SetAllowZeroLength(true);
    const std::string filled = Rows(archive, "DATI")[1];

    Confr_VerificaCampiNull1(w, TD2);

    const std::string neutral = " | Long 0 | Double 0 | Currency 0 | Integer 0 | Single 0 | Boolean False | "
                                "Date 01/01/1980 | String \"\" | String \"\" | Null";
    EXPECT_EQ(Rows(archive, "DATI"),
              (std::vector<std::string>{"Long 1" + neutral, filled, "Long 3" + neutral}));
    // The Byte field keeps its Null, with one box for each row where it is Null.
    const Box box{"Tipo non previsto su VerificaCampiNull1", 0, "AggiornaLedrana"};
    EXPECT_EQ(Boxes(), (std::vector<Box>{box, box}));
    EXPECT_TRUE(LogEntries().empty());
    EXPECT_FALSE(w.ErroreConfronto);
}

TEST_F(Null, TableThatCannotBeOpenedIsReported) {
    Make({"Tab Uno", {{"A", dao::dbLong}}, {}, "", {{Variant::Null()}}});
    Confr_VerificaCampiNull1(w, w.Db2.TableDefs()["Tab Uno"]);
    ASSERT_EQ(LogEntries().size(), 1u);
    EXPECT_TRUE(LogEntries()[0].starts_with("Funz. Confr_VerificaCampiNull1\n")) << LogEntries()[0];
    EXPECT_TRUE(LogEntries()[0].ends_with("\ntabella Tab Uno")) << LogEntries()[0];
    EXPECT_EQ(Boxes().size(), 1u);
    EXPECT_TRUE(w.ErroreConfronto);
    EXPECT_EQ(Rows(archive, "Tab Uno"), (std::vector<std::string>{"Null"}));
}

TEST_F(Null, RowThatCannotBeSavedEndsTheTablesWalk) {
    // Zero-length text not allowed: the first row's "" is refused when the row is saved.
    Make({"DATI",
          {{"L", dao::dbLong}, {"T", dao::dbText, 10}},
          {},
          "",
          {{Variant::Null(), Variant::Null()}, {Variant::Null(), Variant::Null()}}});
    Confr_VerificaCampiNull1(w, w.Db2.TableDefs()["DATI"]);
    ASSERT_EQ(LogEntries().size(), 1u);
    EXPECT_TRUE(LogEntries()[0].starts_with("Funz. Confr_VerificaCampiNull1\n3315 ")) << LogEntries()[0];
    EXPECT_TRUE(LogEntries()[0].ends_with("\ntabella DATI\nfield L, T")) << LogEntries()[0];
    EXPECT_TRUE(w.ErroreConfronto);
    EXPECT_EQ(Rows(archive, "DATI"), (std::vector<std::string>{"Null | Null", "Null | Null"}));
    // The recordset was left cleanly: the table can be walked and saved again.
    w.Db2.TableDefs()["DATI"].Fields()["T"].SetAllowZeroLength(true);
    Confr_VerificaCampiNull1(w, w.Db2.TableDefs()["DATI"]);
    EXPECT_EQ(Rows(archive, "DATI"),
              (std::vector<std::string>{"Long 0 | String \"\"", "Long 0 | String \"\""}));
}

} // namespace
} // namespace ledrana::testing
