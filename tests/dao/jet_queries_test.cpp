// Saved queries and passwords of real Jet files (tests/data/jet), read through libmdb.

#include "dao/jet/jet_password.h"
#include "dao/jet/jet_queries.h"
#include "platform/error.h"
#include "tests/dao/dao_fixture.h"
#include "tests/dao/jet_corpus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

namespace ledrana::dao::jet {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::kCorpus;
using testing::Mdb;

class JetQueriesTest : public testing::DaoTest {
protected:
    // A copy of a corpus file, opened read-only.
    Mdb Open(const std::string& name) {
        fs::path copy = dir_ / name;
        fs::copy_file(kCorpus / name, copy, fs::copy_options::overwrite_existing);
        Mdb mdb(mdb_open(copy.c_str(), MDB_NOFLAGS));
        EXPECT_NE(mdb, nullptr) << name;
        return mdb;
    }
};

struct Expected {
    const char* name;
    int type;
    const char* sql;
};

// One query of each kind, the same in the Jet 3 and the Jet 4 file.
const Expected kQueryTest[] = {
    {"SelectQuery", kQuerySelect,
     "SELECT DISTINCT Table1.*, Table2.col1, Table2.col2, Table3.col3 FROM (Table1 LEFT JOIN Table3 ON "
     "Table1.col1 = Table3.col1) INNER JOIN Table2 ON (Table3.col1 = Table2.col2) AND (Table3.col1 = "
     "Table2.col1) WHERE (((Table2.col2)=\"foo\" Or (Table2.col2) In (\"buzz\",\"bazz\"))) ORDER BY "
     "Table2.col1;"},
    {"DeleteQuery", kQueryDelete,
     "DELETE Table1.col1, Table1.col2, Table1.col3 FROM Table1 WHERE (((Table1.col1)>\"blah\"));"},
    {"AppendQuery", kQueryAppend,
     "INSERT INTO Table3 ( col2, col2, col3 ) SELECT [Table1].[col2], [Table2].[col2], [Table2].[col3] FROM "
     "Table3, Table1 INNER JOIN Table2 ON [Table1].[col1]=[Table2].[col1];"},
    {"UpdateQuery", kQueryUpdate,
     "PARAMETERS [User Name] Text; UPDATE Table1 SET Table1.col1 = \"foo\", Table1.col2 = [Table2].[col3], "
     "[Table2].[col1] = [User Name] WHERE ((([Table2].[col1]) Is Not Null));"},
    {"MakeTableQuery", kQueryMakeTable,
     "SELECT Max(Table2.col1) AS MaxOfcol1, Table2.col2, Table3.col2 INTO Table4 FROM (Table2 INNER JOIN "
     "Table1 ON Table2.col1 = Table1.col2) RIGHT JOIN Table3 ON Table1.col2 = Table3.col3 GROUP BY "
     "Table2.col2, Table3.col2 HAVING (((Max(Table2.col1))=\"buzz\") AND ((Table2.col2)<>\"blah\"));"},
    {"CrosstabQuery", kQueryCrosstab,
     "TRANSFORM Count([Table2].[col2]) AS CountOfcol2 SELECT Table2_1.col1, [Table2].[col3], "
     "Avg(Table2_1.col2) AS AvgOfcol2 FROM (Table1 INNER JOIN Table2 ON [Table1].[col1]=[Table2].[col1]) "
     "INNER JOIN Table2 AS Table2_1 ON [Table2].[col1]=Table2_1.col3 WHERE ((([Table1].[col1])>\"10\") And "
     "((Table2_1.col1) Is Not Null) And ((Avg(Table2_1.col2))>\"10\")) GROUP BY Table2_1.col1, "
     "[Table2].[col3] ORDER BY [Table2].[col3] PIVOT [Table1].[col1];"},
    {"UnionQuery", kQueryUnion,
     "Select Table1.col1, Table1.col2\r\nwhere Table1.col1 = \"foo\"\r\nUNION\r\nSelect Table2.col1, "
     "Table2.col2 UNION ALL Select Table3.col1, Table3.col2\r\nwhere Table3.col3 > \"blah\";"},
    {"PassthroughQuery", kQueryPassThrough, "ALTER TABLE Table4 DROP COLUMN col5;"},
    {"DataDefinitionQuery", kQueryDataDefinition, "CREATE TABLE Table5 (col1 CHAR, col2 CHAR);"},
};

// Northwind, written by Access 97: nested joins, DISTINCTROW with TOP, parameters, a crosstab with its
// column headings, a union typed by hand, a subquery, an aliased table.
const Expected kNorthwind[] = {
    {"Ten Most Expensive Products", kQuerySelect,
     "SELECT DISTINCTROW TOP 10 Products.ProductName AS TenMostExpensiveProducts, Products.UnitPrice FROM "
     "Products ORDER BY Products.UnitPrice DESC;"},
    {"Current Product List", kQuerySelect,
     "SELECT [Product List].ProductID, [Product List].ProductName FROM Products AS [Product List] WHERE "
     "((([Product List].Discontinued)=No)) ORDER BY [Product List].ProductName;"},
    {"Employee Sales by Country", kQuerySelect,
     "PARAMETERS [Beginning Date] DateTime, [Ending Date] DateTime; SELECT DISTINCTROW Employees.Country, "
     "Employees.LastName, Employees.FirstName, Orders.ShippedDate, Orders.OrderID, [Order "
     "Subtotals].Subtotal "
     "AS SaleAmount FROM Employees INNER JOIN (Orders INNER JOIN [Order Subtotals] ON Orders.OrderID = "
     "[Order Subtotals].OrderID) ON Employees.EmployeeID = Orders.EmployeeID WHERE (((Orders.ShippedDate) "
     "Between [Beginning Date] And [Ending Date]));"},
    {"Product Sales for 1995", kQuerySelect,
     "SELECT DISTINCTROW Categories.CategoryName, Products.ProductName, "
     "Sum(CCur([Order Details].[UnitPrice]*[Quantity]*(1-[Discount])/100)*100) AS ProductSales FROM "
     "(Categories INNER JOIN Products ON Categories.CategoryID = Products.CategoryID) INNER JOIN (Orders "
     "INNER JOIN [Order Details] ON Orders.OrderID = [Order Details].OrderID) ON Products.ProductID = "
     "[Order Details].ProductID WHERE (((Orders.ShippedDate) Between #1/1/95# And #12/31/95#)) GROUP BY "
     "Categories.CategoryName, Products.ProductName;"},
    {"Quarterly Orders by Product", kQueryCrosstab,
     "TRANSFORM Sum(CCur([Order Details].[UnitPrice]*[Quantity]*(1-[Discount])/100)*100) AS ProductAmount "
     "SELECT DISTINCTROW Products.ProductName, Orders.CustomerID, Year([OrderDate]) AS OrderYear FROM "
     "Products INNER JOIN (Orders INNER JOIN [Order Details] ON Orders.OrderID = [Order Details].OrderID) ON "
     "Products.ProductID = [Order Details].ProductID WHERE (((Orders.OrderDate) Between #1/1/95# And "
     "#12/31/95#)) GROUP BY Products.ProductName, Orders.CustomerID, Year([OrderDate]) PIVOT \"Qtr \" & "
     "DatePart(\"q\",[OrderDate],1,0) In (\"Qtr 1\",\"Qtr 2\",\"Qtr 3\",\"Qtr 4\");"},
    {"Customers and Suppliers by City", kQueryUnion,
     "SELECT City, CompanyName, ContactName, \"Customers\" AS [Relationship] \r\nFROM Customers UNION "
     "SELECT City, CompanyName, ContactName, \"Suppliers\"\r\nFROM Suppliers ORDER BY City, CompanyName;"},
    {"Products Above Average Price", kQuerySelect,
     "SELECT DISTINCTROW Products.ProductName, Products.UnitPrice FROM Products WHERE "
     "(((Products.UnitPrice)>(SELECT AVG([UnitPrice]) From Products))) ORDER BY Products.UnitPrice DESC;"},
};

// Every query as the file holds it, Northwind's in catalog order (not alphabetical).
TEST_F(JetQueriesTest, EveryQueryAsTheFileHoldsIt) {
    // How many queries each file holds is CorpusQueries' check.
    const std::pair<const char*, std::span<const Expected>> files[] = {
        {"queryTestV1997.mdb", kQueryTest}, {"queryTestV2000.mdb", kQueryTest}, {"nwind.mdb", kNorthwind}};
    for (const auto& [file, expected] : files) {
        Mdb mdb = Open(file);
        ASSERT_NE(mdb, nullptr);
        const std::vector<SavedQuery> list = ReadSavedQueries(mdb.get());
        for (const SavedQuery& q : list) {
            SCOPED_TRACE(std::string(file) + ": " + q.name);
            EXPECT_TRUE(q.sql.ends_with(';')) << q.sql;
            EXPECT_EQ(q.note, "");
            EXPECT_FALSE(q.access_internal);
            EXPECT_EQ(q.connect, q.type == kQueryPassThrough ? "ODBC;" : "");
        }
        for (const Expected& e : expected) {
            SCOPED_TRACE(std::string(file) + ": " + e.name);
            const auto q = std::ranges::find(list, std::string(e.name), &SavedQuery::name);
            ASSERT_NE(q, list.end());
            EXPECT_EQ(q->sql, e.sql);
            EXPECT_EQ(q->type, e.type);
        }
        if (expected.data() == kNorthwind) {
            EXPECT_EQ(list.front().name, "Alphabetical List of Products");
            EXPECT_EQ(list.back().name, "Summary of Sales by Quarter");
        }
    }
}

// The header page of a corpus file as it is on disk.
std::vector<unsigned char> Header(const std::string& name) {
    const std::string page = Bytes(kCorpus / name).substr(0, 4096);
    return {page.begin(), page.end()};
}

TEST_F(JetQueriesTest, TruncatedFileIsRefusedNotReadInPart) {
    for (int pages : {12, 40, 200}) {
        SCOPED_TRACE(pages);
        const fs::path cut = dir_ / "cut.mdb";
        std::ofstream(cut, std::ios::binary | std::ios::trunc)
            << Bytes(kCorpus / "nwind.mdb").substr(0, pages * 2048);
        Mdb mdb(mdb_open(cut.c_str(), MDB_NOFLAGS));
        ASSERT_NE(mdb, nullptr);
        EXPECT_EQ(testing::ErrorOf([&] { ReadSavedQueries(mdb.get()); }), 3049);
    }
}

// Rows for the cases the corpus lacks.
QueryRow R(int attribute, std::string expression = "", int flag = 0, std::string name1 = "",
           std::string name2 = "", long extra = 0) {
    return {attribute, std::move(expression), flag, std::move(name1), std::move(name2), extra};
}

TEST(JetQueryText, CasesTheCorpusLacks) {
    struct Case {
        const char* what;
        std::vector<QueryRow> rows;
        int objectFlags;
        const char* sql; // "" when the rows are refused
    };
    const Case cases[] = {
        {"TOP PERCENT and owner access",
         {R(1, "", 1), R(3, "", 0x10 | 0x20 | 0x04, "25"), R(5, "", 0, "Clienti anagrafica"),
          R(6, "[Clienti anagrafica].Nome")},
         0,
         "SELECT TOP 25 PERCENT [Clienti anagrafica].Nome FROM [Clienti anagrafica] WITH OWNERACCESS "
         "OPTION;"},
        {"append of VALUES into another database",
         {R(1, "Access", 3, "Log", "C:\\dati\\log.mdb"), R(2, "", 10, "Testo", "", 50),
          R(6, "[Testo]", 0x8000, "", "Messaggio"), R(6, "Now()", 0x8000, "", "Quando")},
         0,
         "PARAMETERS Testo Text ( 50 ); INSERT INTO Log ( Messaggio, Quando ) IN 'C:\\dati\\log.mdb' "
         "[Access] VALUES ([Testo], Now());"},
        {"delete of distinct rows, a star, a source in another file",
         {R(1, "", 5), R(3, "", 0x08 | 0x01), R(4, "", 0, "C:\\vecchi.mdb"), R(5, "", 0, "Ordini"),
          R(8, "Ordini.Anno<2000")},
         0,
         "DELETE DISTINCTROW * FROM Ordini IN 'C:\\vecchi.mdb' WHERE Ordini.Anno<2000;"},
        {"a join naming a table that has no table row",
         {R(1, "", 1), R(3, "", 1), R(5, "", 0, "A"), R(7, "A.k = [B b].k", 2, "A", "B b")},
         0,
         "SELECT * FROM A LEFT JOIN [B b] ON A.k = [B b].k;"},
        {"the kind from the object's flags when the type row is missing",
         {R(5, "", 0, "T"), R(6, "T.x")},
         32,
         "DELETE T.x FROM T;"},
        {"two joins of one pair with different kinds",
         {R(1, "", 1), R(5, "", 0, "A"), R(5, "", 0, "B"), R(7, "A.x = B.x", 1, "A", "B"),
          R(7, "A.y = B.y", 2, "A", "B")},
         0,
         ""},
        {"an unknown join kind",
         {R(1, "", 1), R(5, "", 0, "A"), R(5, "", 0, "B"), R(7, "A.x = B.x", 4, "A", "B")},
         0,
         ""},
        {"an unknown query kind", {R(1, "", 12)}, 0, ""},
        {"an unknown parameter type", {R(1, "", 1), R(2, "", 99, "p"), R(6, "[p]")}, 0, ""},
        {"no rows at all", {}, 0, ""},
        {"a union without its second part", {R(1, "", 9), R(5, "SELECT 1", 0, "", "X7YZ_____1")}, 0, ""},
    };
    for (const Case& c : cases) {
        SavedQuery q = DecodeQuery(c.rows, c.objectFlags);
        EXPECT_EQ(q.sql, c.sql) << c.what;
        EXPECT_EQ(q.note.empty(), *c.sql != '\0') << c.what << ": " << q.note;
    }
}

// A file without a password holds its masks alone at 0x42, so a password is written into a copy of the
// header by XORing its bytes there: Windows-1252 in Jet 3, UTF-16LE in Jet 4.
void WritePassword(std::vector<unsigned char>& page, const std::string& stored) {
    for (std::size_t i = 0; i < stored.size(); ++i)
        page[0x42 + i] ^= static_cast<unsigned char>(stored[i]);
}

std::string Utf16(const std::u16string& s) {
    std::string out;
    for (char16_t c : s)
        out += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return out;
}

TEST(JetPassword, RoundTrips) {
    struct Case {
        const char* file;
        std::string stored; // the bytes Jet stores
        const char* expected;
    } cases[] = {
        {"nwind.mdb", "Contabilit\xE0", "Contabilità"},
        {"queryTestV1997.mdb", "12345678901234567890", "12345678901234567890"},
        {"DateTestDatabase.mdb", Utf16(u"Perché€"), "Perché€"},
        {"queryTestV2000.mdb", Utf16(u"ABCDEFGHIJKLMNOPQRST"), "ABCDEFGHIJKLMNOPQRST"},
        {"bigIndexTestV2000.mdb", Utf16(u"x"), "x"},
    };
    for (const Case& c : cases) {
        auto page = Header(c.file);
        WritePassword(page, c.stored);
        DatabasePassword p = DecodeDatabasePassword(page.data(), page.size());
        EXPECT_EQ(p.password, c.expected) << c.file;
        EXPECT_FALSE(p.encrypted) << c.file;
    }
}

TEST(JetPassword, EncryptedPagesAndOtherBytes) {
    for (const char* file : {"testV1997.mdb", "testV2000.mdb"}) {
        auto page = Header(file);
        page[0x3f] ^= 0x5A; // a database key: the pages are encoded
        EXPECT_TRUE(DecodeDatabasePassword(page.data(), page.size()).encrypted) << file;

        auto shortPage = Header(file);
        EXPECT_EQ(DecodeDatabasePassword(shortPage.data(), 100).password, "") << file;
        EXPECT_FALSE(DecodeDatabasePassword(shortPage.data(), 100).encrypted) << file;
        shortPage[4] = 'X'; // not a Jet header
        WritePassword(shortPage, "abc");
        EXPECT_EQ(DecodeDatabasePassword(shortPage.data(), shortPage.size()).password, "") << file;
    }
}

} // namespace
} // namespace ledrana::dao::jet
