// The saved queries of every real Jet file (tests/data/jet), once the file is converted: each is kept
// with the text the file gives, each is read by the translator, and each select, crosstab and union
// query runs. Queries that ask for parameters get a value of the declared type.

#include "dao/jet/jet_queries.h"
#include "dao/sql/jetsql.h"
#include "dao_fixture.h"
#include "jet_corpus.h"

#include <iostream>

namespace ledrana::dao::testing {
namespace {

namespace fs = std::filesystem;

// A value a parameter of the given DAO type accepts.
Variant ParameterValue(int type) {
    switch (type) {
    case 8: // dbDate
        return Variant::FromDate(1995, 1, 1);
    case 10: // dbText
    case 12: // dbMemo
        return Variant(std::string("A"));
    case 1: // dbBoolean
        return Variant(true);
    default:
        return Variant(1);
    }
}

// The saved queries that Jet itself refuses, with its number: the test files hold them as written, never run.
struct Refusal {
    const char* query;
    int number;
};
const Refusal kRefused[] = {
    // Its parts have no FROM clause: Table1.col1 names no table read, so Jet takes it for a parameter.
    {"UnionQuery", 3061},
    // An aggregate in WHERE (Avg(Table2_1.col2)>"10"): Jet wants it in HAVING.
    {"CrosstabQuery", 3096},
};

int RefusedWith(const std::string& query) {
    for (const Refusal& r : kRefused)
        if (query == r.query) return r.number;
    return 0;
}

using CorpusQueries = DaoTest;

TEST_F(CorpusQueries, EverySavedQueryIsKeptTranslatedAndSelectsRun) {
    int total = 0;
    for (const std::string& file : CorpusFiles()) {
        const fs::path copy = dir_ / file;
        fs::copy_file(kCorpus / file, copy);
        // What the file holds, read from it by libmdb before the conversion.
        std::vector<jet::SavedQuery> saved;
        {
            MdbHandle* mdb = mdb_open(copy.c_str(), MDB_NOFLAGS);
            ASSERT_NE(mdb, nullptr) << file;
            for (jet::SavedQuery& q : jet::ReadSavedQueries(mdb))
                if (!q.access_internal) saved.push_back(std::move(q));
            mdb_close(mdb);
        }
        Database db = engine_.OpenDatabase(copy.string());
        EXPECT_EQ(db.QueryDefs().Count(), static_cast<int>(saved.size())) << file;
        int kept = 0, translated = 0, run = 0, runnable = 0, refusedAsJet = 0, passThrough = 0;
        for (const jet::SavedQuery& q : saved) {
            const std::string where = file + ": " + q.name;
            QueryDef def;
            if (ErrorOf([&] { def = db.QueryDefs()[q.name]; }) != 0) {
                ADD_FAILURE() << where << ": not kept";
                continue;
            }
            EXPECT_EQ(def.SQL(), q.sql) << where;
            ++kept;
            // A pass-through query is the other server's SQL, kept as it is and never read here: Jet
            // itself sends it unread over the ODBC connection, which this engine does not have.
            if (q.type == jet::kQueryPassThrough) {
                ++passThrough;
                continue;
            }
            // Jet's refusals come at translation or when the query runs; everything else translates and runs.
            const int refused = RefusedWith(q.name);
            std::string outcome = Failure([&] { TranslateJetSql(q.sql); });
            translated += outcome.empty() || std::atoi(outcome.c_str()) == refused;
            if (outcome.empty() && (q.type == jet::kQuerySelect || q.type == jet::kQueryCrosstab ||
                                    q.type == jet::kQueryUnion)) {
                ++runnable;
                outcome = Failure([&] {
                    for (int i = 0; i < def.Parameters().Count(); ++i)
                        def.Parameters()[i].SetValue(ParameterValue(def.Parameters()[i].Type()));
                    Rows(def.OpenRecordset());
                });
                run += outcome.empty();
            }
            refusedAsJet += refused != 0 && std::atoi(outcome.c_str()) == refused;
            EXPECT_EQ(std::atoi(outcome.c_str()), refused) << where << ": " << outcome << "\n" << q.sql;
        }
        db.Close();
        std::cout << file << ": " << saved.size() << " saved, " << kept << " kept, " << translated
                  << " translated, " << passThrough << " pass-through, " << run << " of " << runnable
                  << " selects run, " << refusedAsJet << " refused as Jet does\n";
        total += static_cast<int>(saved.size());
    }
    // Northwind's queries and those of the two query test files at least.
    EXPECT_GE(total, 40);
}

} // namespace
} // namespace ledrana::dao::testing
