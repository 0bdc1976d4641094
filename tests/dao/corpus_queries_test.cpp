// The saved queries of every real Jet file (tests/data/jet): read from the file without disturbing the
// caller's libmdb handle, and once the file is converted, each is kept with the text the file gives, each
// is read by the translator, and each select, crosstab and union query runs. Queries that ask for
// parameters get a value of the declared type. No file of the corpus has a database password.

#include "dao/jet/jet_queries.h"
#include "dao/sql/jetsql.h"
#include "dao_fixture.h"
#include "jet_corpus.h"

#include <map>

namespace ledrana::dao::testing {
namespace {

namespace fs = std::filesystem;

// A value a parameter of the given DAO type accepts.
Variant ParameterValue(int type) {
    return type == dbDate                     ? Variant::FromDate(1995, 1, 1)
           : type == dbText || type == dbMemo ? Variant(std::string("A"))
           : type == dbBoolean                ? Variant(true)
                                              : Variant(1);
}

// The saved queries that Jet itself refuses, with its number: the test files hold them as written, never run.
const std::map<std::string, int> kRefused = {
    // Its parts have no FROM clause: Table1.col1 names no table read, so Jet takes it for a parameter.
    {"UnionQuery", 3061},
    // An aggregate in WHERE (Avg(Table2_1.col2)>"10"): Jet wants it in HAVING.
    {"CrosstabQuery", 3096},
};

using CorpusQueries = DaoTest;

TEST_F(CorpusQueries, EverySavedQueryIsKeptTranslatedAndSelectsRun) {
    const std::map<std::string, std::size_t> withQueries = {
        {"nwind.mdb", 22}, {"queryTestV1997.mdb", 9}, {"queryTestV2000.mdb", 9}};
    const std::vector<std::string> files = CorpusFiles();
    int total = 0;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const fs::path copy = dir_ / file;
        fs::copy_file(kCorpus / file, copy);
        // What the file holds, read from it by libmdb before the conversion: the handle's catalog and
        // settings stay as the caller had them.
        std::vector<jet::SavedQuery> saved;
        {
            Mdb mdb(mdb_open(copy.c_str(), MDB_NOFLAGS));
            ASSERT_NE(mdb, nullptr);
            ASSERT_NE(mdb_read_catalog(mdb.get(), MDB_ANY), nullptr);
            const unsigned count = mdb->num_catalog;
            auto* first = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, 0));
            const std::string firstName = first->object_name;
            const std::size_t bindSize = mdb->bind_size;
            std::vector<jet::SavedQuery> all = jet::ReadSavedQueries(mdb.get());
            EXPECT_EQ(all.size(), withQueries.count(file) ? withQueries.at(file) : 0u);
            EXPECT_EQ(mdb->num_catalog, count);
            EXPECT_EQ(g_ptr_array_index(mdb->catalog, 0), first);
            EXPECT_EQ(first->object_name, firstName);
            EXPECT_EQ(mdb->bind_size, bindSize);
            for (jet::SavedQuery& q : all)
                if (!q.access_internal) saved.push_back(std::move(q));
        }
        Database db = engine_.OpenDatabase(copy.string());
        EXPECT_EQ(db.QueryDefs().Count(), static_cast<int>(saved.size())) << file;
        for (const jet::SavedQuery& q : saved) {
            const std::string where = file + ": " + q.name;
            QueryDef def;
            if (ErrorOf([&] { def = db.QueryDefs()[q.name]; }) != 0) {
                ADD_FAILURE() << where << ": not kept";
                continue;
            }
            EXPECT_EQ(def.SQL(), q.sql) << where;
            // A pass-through query is the other server's SQL, kept as it is and never read here: Jet
            // itself sends it unread over the ODBC connection, which this engine does not have.
            if (q.type == jet::kQueryPassThrough) continue;
            // Jet's refusals come at translation or when the query runs; everything else translates and runs.
            const int refused = kRefused.count(q.name) ? kRefused.at(q.name) : 0;
            std::string outcome = Failure([&] { TranslateJetSql(q.sql); });
            if (outcome.empty() &&
                (q.type == jet::kQuerySelect || q.type == jet::kQueryCrosstab || q.type == jet::kQueryUnion))
                outcome = Failure([&] {
                    for (int i = 0; i < def.Parameters().Count(); ++i)
                        def.Parameters()[i].SetValue(ParameterValue(def.Parameters()[i].Type()));
                    Rows(def.OpenRecordset());
                });
            EXPECT_EQ(std::atoi(outcome.c_str()), refused) << where << ": " << outcome << "\n" << q.sql;
        }
        db.Close();
        total += static_cast<int>(saved.size());
    }
    // Northwind's queries and those of the two query test files at least.
    EXPECT_GE(total, 40);
    EXPECT_GE(files.size(), 25u);
}

} // namespace
} // namespace ledrana::dao::testing
