// Northwind's saved queries, run on the archive the real Northwind file becomes when it is opened: the
// queries are those the file holds, and what they must give is worked out here from the rows that libmdb
// reads from the file by itself.

#include "dao_fixture.h"
#include "jet_corpus.h"

#include "platform/text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>
#include <vector>

namespace ledrana::dao::testing {
namespace {

using Row = std::map<std::string, std::string>; // column -> text ("" for Null)
struct Table {
    std::vector<std::string> columns;
    std::vector<Row> rows;
};

// Reads a table with libmdb: its column names and its rows as text.
Table ReadTable(MdbHandle* mdb, const std::string& name) {
    Table out;
    MdbTableDef* t = mdb_read_table_by_name(mdb, const_cast<gchar*>(name.c_str()), MDB_TABLE);
    if (!t) return out;
    mdb_read_columns(t);
    mdb_rewind_table(t);
    std::vector<std::vector<char>> bound(t->num_cols, std::vector<char>(MDB_BIND_SIZE));
    std::vector<int> lengths(t->num_cols);
    std::vector<std::string>& names = out.columns;
    for (unsigned i = 0; i < t->num_cols; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
        names.emplace_back(col->name);
        mdb_bind_column(t, static_cast<int>(i) + 1, bound[i].data(), &lengths[i]);
    }
    while (mdb_fetch_row(t)) {
        Row r;
        for (unsigned i = 0; i < t->num_cols; ++i) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
            const bool binary = col->col_type == MDB_OLE;
            r[names[i]] = lengths[i] > 0 && !binary
                              ? std::string(bound[i].data(), static_cast<std::size_t>(lengths[i]))
                              : std::string();
        }
        out.rows.push_back(std::move(r));
    }
    mdb_free_tabledef(t);
    return out;
}

double Num(const std::string& s) {
    return s.empty() ? 0 : std::stod(s);
}

// CCur(UnitPrice * Quantity * (1 - Discount) / 100) * 100, as the queries compute a line's amount.
double LineAmount(const Row& line) {
    const double v = Num(line.at("UnitPrice")) * Num(line.at("Quantity")) *
                     (1 - static_cast<double>(static_cast<float>(Num(line.at("Discount"))))) / 100;
    return std::nearbyint(v * 10000) / 10000 * 100;
}

class Northwind : public DaoTest {
protected:
    void SetUp() override {
        DaoTest::SetUp();
        const std::string copy = Path("nwind.mdb");
        std::filesystem::copy_file(kCorpus / "nwind.mdb", copy);
        Mdb mdb(mdb_open(copy.c_str(), MDB_NOFLAGS));
        ASSERT_NE(mdb, nullptr);
        mdb_set_date_fmt(mdb.get(), "%Y-%m-%d %H:%M:%S");
        for (const char* name : {"Categories", "Customers", "Employees", "Order Details", "Orders",
                                 "Products", "Shippers", "Suppliers"}) {
            tables[name] = ReadTable(mdb.get(), name);
            ASSERT_FALSE(tables[name].rows.empty()) << name;
        }
        // The file converted in place: its tables and its saved queries, as the file holds them.
        db_ = engine_.OpenDatabase(copy);
    }
    std::vector<std::vector<Variant>> Rows(Recordset rs) {
        std::vector<std::vector<Variant>> out;
        for (; !rs.Eof(); rs.MoveNext()) {
            std::vector<Variant> row;
            for (int i = 0; i < rs.Fields().Count(); ++i)
                row.push_back(rs.Fields()[i].Value());
            out.push_back(std::move(row));
        }
        rs.Close();
        return out;
    }
    std::vector<std::vector<Variant>> Rows(const std::string& name) { return Rows(db_.OpenRecordset(name)); }
    const Row* Find(const std::string& table, const std::string& column, const std::string& value) {
        for (const Row& r : tables[table].rows)
            if (r.at(column) == value) return &r;
        return nullptr;
    }
    std::map<std::string, Table> tables;
};

TEST_F(Northwind, QueriesGiveWhatTheRowsSay) {
    const auto& products = tables["Products"].rows;
    const auto& lines = tables["Order Details"].rows;
    const auto& orders = tables["Orders"].rows;

    // Ten Most Expensive Products: the dearest ten, dearest first.
    std::vector<std::pair<double, std::string>> byPrice;
    for (const Row& p : products)
        byPrice.emplace_back(Num(p.at("UnitPrice")), p.at("ProductName"));
    std::sort(byPrice.begin(), byPrice.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    auto ten = Rows("Ten Most Expensive Products");
    ASSERT_EQ(ten.size(), 10u);
    for (std::size_t i = 0; i < ten.size(); ++i) {
        EXPECT_EQ(ten[i][0], Variant(byPrice[i].second)) << i;
        EXPECT_NEAR(ten[i][1].ToDouble(), byPrice[i].first, 1e-9) << i;
        EXPECT_EQ(ten[i][1].kind(), Variant::Kind::Currency);
    }

    // Products Above Average Price.
    double total = 0;
    for (const auto& [price, name] : byPrice)
        total += price;
    const auto above = std::count_if(byPrice.begin(), byPrice.end(),
                                     [&](const auto& p) { return p.first > total / byPrice.size(); });
    auto dear = Rows("Products Above Average Price");
    EXPECT_EQ(dear.size(), static_cast<std::size_t>(above));
    EXPECT_EQ(dear.at(0)[0], Variant(byPrice[0].second));

    // Order Subtotals: one row per order, the sum of its lines.
    std::map<long, double> subtotal;
    for (const Row& l : lines)
        subtotal[std::stol(l.at("OrderID"))] += LineAmount(l);
    auto subtotals = Rows("Order Subtotals");
    ASSERT_EQ(subtotals.size(), subtotal.size());
    for (const auto& row : subtotals) {
        EXPECT_NEAR(row[1].ToDouble(), subtotal[row[0].ToLong()], 0.005) << row[0].ToLong();
        EXPECT_EQ(row[1].kind(), Variant::Kind::Currency);
    }

    // Current Product List and Alphabetical List of Products: the products still sold.
    std::size_t sold = 0;
    for (const Row& p : products)
        sold += p.at("Discontinued") == "0";
    EXPECT_EQ(Rows("Current Product List").size(), sold);
    auto alphabetical = Rows("Alphabetical List of Products");
    EXPECT_EQ(alphabetical.size(), sold);
    EXPECT_EQ(alphabetical.at(0).size(), tables["Products"].columns.size() + 1);

    // Customers and Suppliers by City: the union without repeated rows, ordered by city.
    std::set<std::vector<std::string>> people;
    for (const char* t : {"Customers", "Suppliers"})
        for (const Row& r : tables[t].rows)
            people.insert({r.at("City"), r.at("CompanyName"), r.at("ContactName"), t});
    auto cities = Rows("Customers and Suppliers by City");
    EXPECT_EQ(cities.size(), people.size());
    for (std::size_t i = 1; i < cities.size(); ++i)
        EXPECT_LE(UCase(cities[i - 1][0].ToString()), UCase(cities[i][0].ToString()));

    // Quarterly Orders by Product: a row per product and customer of 1995, a column per quarter.
    std::map<std::pair<std::string, std::string>, std::array<double, 4>> quarters;
    std::map<std::string, const Row*> orderById;
    for (const Row& o : orders)
        orderById[o.at("OrderID")] = &o;
    for (const Row& l : lines) {
        const Row& o = *orderById.at(l.at("OrderID"));
        const std::string date = o.at("OrderDate");
        if (date.substr(0, 4) != "1995") continue;
        const Row* p = Find("Products", "ProductID", l.at("ProductID"));
        const int q = (std::stoi(date.substr(5, 2)) - 1) / 3;
        quarters[{p->at("ProductName"), o.at("CustomerID")}][static_cast<std::size_t>(q)] += LineAmount(l);
    }
    Recordset crosstab = db_.OpenRecordset("Quarterly Orders by Product");
    ASSERT_EQ(crosstab.Fields().Count(), 7);
    EXPECT_EQ(crosstab.Fields()[3].Name(), "Qtr 1");
    auto cells = Rows(crosstab);
    ASSERT_EQ(cells.size(), quarters.size());
    for (const auto& row : cells) {
        const auto& expected = quarters[{row[0].ToString(), row[1].ToString()}];
        EXPECT_EQ(row[2], Variant(1995));
        for (std::size_t q = 0; q < 4; ++q) {
            if (expected[q] == 0)
                EXPECT_TRUE(row[3 + q].IsNull());
            else
                EXPECT_NEAR(row[3 + q].ToDouble(), expected[q], 0.005) << row[0].ToString();
        }
    }

    // Employee Sales by Country: the orders shipped in the period given as parameters.
    std::size_t shipped = 0;
    for (const Row& o : orders) {
        const std::string d = o.at("ShippedDate");
        shipped += !d.empty() && d >= "1995-01-01" && d <= "1995-06-30 23:59:59";
    }
    QueryDef sales = db_.QueryDefs()["Employee Sales by Country"];
    EXPECT_EQ(ErrorOf([&] { sales.OpenRecordset(); }), 3061);
    sales.Parameters()["Beginning Date"].SetValue(Variant::FromDate(1995, 1, 1));
    sales.Parameters()["Ending Date"].SetValue("30/06/1995");
    EXPECT_EQ(Rows(sales.OpenRecordset()).size(), shipped);

    // Order Details Extended: every line with its amount, by order.
    auto extended = Rows("Order Details Extended");
    ASSERT_EQ(extended.size(), lines.size());
    double extendedTotal = 0, linesTotal = 0;
    for (std::size_t i = 0; i < extended.size(); ++i) {
        extendedTotal += extended[i][6].ToDouble();
        if (i > 0) {
            EXPECT_LE(extended[i - 1][0].ToLong(), extended[i][0].ToLong());
        }
    }
    for (const Row& l : lines)
        linesTotal += LineAmount(l);
    EXPECT_NEAR(extendedTotal, linesTotal, 0.01);

    // Sales Totals by Amount: the orders shipped in 1995 worth more than 2500.
    std::size_t big = 0;
    for (const Row& o : orders)
        big += o.at("ShippedDate").substr(0, 4) == "1995" && subtotal.count(std::stol(o.at("OrderID"))) &&
               subtotal[std::stol(o.at("OrderID"))] > 2500;
    auto totals = Rows("Sales Totals by Amount");
    EXPECT_GT(big, 0u);
    EXPECT_EQ(totals.size(), big);
    for (const auto& row : totals)
        EXPECT_GT(row[0].ToDouble(), 2500);

    // Sales by Year: its parameters are named after a form's controls, as the text refers to them.
    std::size_t of1994 = 0;
    for (const Row& o : orders)
        of1994 += o.at("ShippedDate").substr(0, 4) == "1994";
    QueryDef byYear = db_.QueryDefs()["Sales by Year"];
    ASSERT_EQ(byYear.Parameters().Count(), 2);
    byYear.Parameters()[0].SetValue(Variant::FromDate(1994, 1, 1));
    byYear.Parameters()[1].SetValue(Variant::FromDate(1994, 12, 31));
    auto year = Rows(byYear.OpenRecordset());
    EXPECT_GT(of1994, 0u);
    EXPECT_EQ(year.size(), of1994);
    for (const auto& row : year)
        EXPECT_EQ(row[3], Variant(std::string("1994")));

    // Invoices Filter: the invoice lines of the order a form shows, its control read as a parameter.
    const std::string someOrder = lines.at(lines.size() / 2).at("OrderID");
    const auto ofOrder =
        std::count_if(lines.begin(), lines.end(), [&](const Row& l) { return l.at("OrderID") == someOrder; });
    QueryDef filter = db_.QueryDefs()["Invoices Filter"];
    ASSERT_EQ(filter.Parameters().Count(), 1);
    EXPECT_EQ(ErrorOf([&] { filter.OpenRecordset(); }), 3061);
    filter.Parameters()["Forms!Orders!OrderID"].SetValue(std::stol(someOrder));
    auto invoice = Rows(filter.OpenRecordset());
    EXPECT_EQ(invoice.size(), static_cast<std::size_t>(ofOrder));

    // Category Sales for 1995, through Product Sales for 1995: the lines shipped in 1995 by category.
    std::map<std::string, double> byCategory;
    for (const Row& l : lines) {
        const Row& o = *orderById.at(l.at("OrderID"));
        if (o.at("ShippedDate").substr(0, 4) != "1995") continue;
        const Row* p = Find("Products", "ProductID", l.at("ProductID"));
        const Row* c = Find("Categories", "CategoryID", p->at("CategoryID"));
        byCategory[c->at("CategoryName")] += LineAmount(l);
    }
    auto categories = Rows("Category Sales for 1995");
    ASSERT_EQ(categories.size(), byCategory.size());
    for (const auto& row : categories) {
        EXPECT_NEAR(row[1].ToDouble(), byCategory[row[0].ToString()], 0.005) << row[0].ToString();
        EXPECT_EQ(row[1].kind(), Variant::Kind::Currency);
    }
}

} // namespace
} // namespace ledrana::dao::testing
