// AppendRows: the rows of a table appended to a table of another file, each value as the source's Recordset
// reads it and as a save into the destination stores it; all of them or none.

#include "dao/vb/decimal.h"
#include "dao_fixture.h"

#include <string>
#include <vector>

namespace ledrana::dao::testing {
namespace {

const std::string kFields =
    "Vbool YESNO, Vbyte BYTE, Vint SHORT, Vlong LONG, Vcur CURRENCY, Vsng SINGLE, "
    "Vdbl DOUBLE, Vdate DATETIME, Tx TEXT(20), Me MEMO, Vbin BINARY(4), Vlbin LONGBINARY, "
    "Vguid GUID, Vdec DECIMAL(28,10)";

class AppendRowsTest : public DaoTest {
protected:
    void SetUp() override {
        DaoTest::SetUp();
        src_ = Create("a.mdb");
        src_.Execute("CREATE TABLE S (" + kFields + ")");
        const std::vector<std::vector<Variant>> rows = {
            {Variant(true), Variant::FromByte(255), Variant::FromInteger(-32768),
             Variant::FromLong(2147483647), Variant::FromCurrency(-922337203685.4775),
             Variant::FromSingle(0.1f), Variant(1e300), Variant::FromDate(2026, 12, 7, 23, 59, 58),
             Variant("Perché è così"), Variant(std::string(5000, 'x') + "€"),
             Variant::FromBinary(std::string("\0\x01\xff", 3)),
             Variant::FromBinary(std::string(1000, '\0') + "z"),
             Variant("{6F9619FF-8B86-D011-B42D-00C04FC964FF}"),
             Variant::FromDecimal(*Decimal::Parse("-123456789012345678.0123456789"))},
            std::vector<Variant>(14, Variant::Null()),
            {Variant(false), Variant::FromByte(0), Variant::FromInteger(7), Variant::FromLong(-1),
             Variant::FromCurrency(0.0001), Variant::FromSingle(-3.4e38f), Variant(-0.5),
             Variant::FromDate(-657434.0), Variant("x"), Variant("riga"), Variant::FromBinary(""),
             Variant::FromBinary("b"), Variant::Null(), Variant::FromDecimal(*Decimal::Parse("1E-10"))}};
        // Enough rows for whole batches of the copy and the rows after the last one.
        Recordset rs = src_.OpenRecordset("S");
        for (int n = 0; n < 50; ++n)
            for (const std::vector<Variant>& row : rows) {
                rs.AddNew();
                for (std::size_t i = 0; i < row.size(); ++i)
                    rs.Fields()[static_cast<int>(i)].SetValue(row[i]);
                rs.Update();
            }
        rs.Close();
        // The memo's Null reads completed, a value the rows take at the next compaction only.
        ASSERT_EQ(src_.TableDefs()["S"].FillNulls({{"Me", Variant("completato")}}),
                  std::vector<std::int64_t>{50});
        dst_ = engine_.CreateDatabase(Path("b.mdb"), ";pwd=segreta");
    }
    void TearDown() override {
        for (Database* db : {&src_, &dst_})
            if (db->IsOpen()) db->Close();
        DaoTest::TearDown();
    }
    std::int64_t Append(const std::string& table, const RowCopy& copy) {
        return AppendRows(src_.TableDefs()["S"], dst_.TableDefs()[table], copy);
    }
    Database src_, dst_;
};

TEST_F(AppendRowsTest, EveryValueArrivesAsTheSourceReadsIt) {
    dst_.Execute("CREATE TABLE D (Pos LONG, " + kFields + ")");
    EXPECT_EQ(Append("D", {{}, "", "Pos"}), 150);
    Recordset a = src_.OpenRecordset("S"), b = dst_.OpenRecordset("D");
    for (int pos = 1; !a.Eof(); a.MoveNext(), b.MoveNext(), ++pos) {
        EXPECT_EQ(b.Fields()["Pos"].Value().Describe(), Variant::FromLong(pos).Describe());
        for (int i = 0; i < a.Fields().Count(); ++i)
            EXPECT_EQ(b.Fields()[a.Fields()[i].Name()].Value().Describe(), a.Fields()[i].Value().Describe())
                << pos << " " << a.Fields()[i].Name();
    }
    EXPECT_EQ(Scalar(dst_, "SELECT Me FROM D WHERE Pos = 2"), Variant("completato"));
}

TEST_F(AppendRowsTest, RowsWithAValueKeepTheirPlaceAndAFailedCopyLeavesNothing) {
    dst_.Execute("CREATE TABLE K (N COUNTER, Riga LONG, Tx TEXT(20))");
    Recordset open = dst_.OpenRecordset("K");
    const RowCopy texts{{"Tx"}, "Tx", "Riga"};
    dst_.BeginTrans();
    EXPECT_EQ(Append("K", texts), 100);
    dst_.Rollback();
    EXPECT_EQ(open.RecordCount(), 0);
    EXPECT_EQ(Append("K", texts), 100);
    EXPECT_EQ(open.RecordCount(), 100);
    open.AddNew();
    open.Update();
    open.Close();
    // Every third row has no text: left out, it keeps its place. The counter numbers the rows copied, then
    // the new one.
    Recordset rs = dst_.OpenRecordset("SELECT N, Riga FROM K WHERE N IN (1, 2, 3, 100, 101) ORDER BY N");
    std::string rows;
    for (; !rs.Eof(); rs.MoveNext())
        rows += rs.Fields()[0].Value().Describe() + "|" + rs.Fields()[1].Value().Describe() + ";";
    rs.Close();
    EXPECT_EQ(rows, "Long 1|Long 1;Long 2|Long 3;Long 3|Long 4;Long 100|Long 150;Long 101|Null;");

    struct Case {
        const char* table;
        RowCopy copy;
        int error;
    } cases[] = {
        {"CREATE TABLE E1 (Tx TEXT(5))", {{"Tx"}, "", ""}, 3163},
        {"CREATE TABLE E2 (Tx LONG)", {{"Tx"}, "", ""}, 3421},
        {"CREATE TABLE E3 (Tx TEXT(20) NOT NULL)", {{"Tx"}, "", ""}, 3314},
        {"CREATE TABLE E4 (Vlong BYTE)", {{"Vlong"}, "", ""}, 3349},
        {"CREATE TABLE E5 (Tx TEXT(20))", {{"Nessuno"}, "", ""}, 3265},
        {"CREATE TABLE E6 (Tx TEXT(20), CONSTRAINT PK PRIMARY KEY (Tx))", {{"Tx"}, "Tx", ""}, 3022},
    };
    for (const Case& c : cases) {
        dst_.Execute(c.table);
        const std::string table = std::string(c.table).substr(13, 2);
        EXPECT_EQ(ErrorOf([&] { Append(table, c.copy); }), c.error) << c.table;
        EXPECT_EQ(Scalar(dst_, "SELECT count(*) FROM " + table), Variant(0)) << c.table;
    }
    EXPECT_EQ(ErrorOf([&] { AppendRows(src_.TableDefs()["S"], src_.TableDefs()["S"]); }), 3219);
}

} // namespace
} // namespace ledrana::dao::testing
