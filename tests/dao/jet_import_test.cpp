// Conversion of real Jet files (tests/data/jet): every table, field, row and index of the archive made is
// compared with what libmdb reads from the file by itself, through its own text conversions.

#include "dao/dao.h"
#include "dao/jet/jet_file.h"
#include "dao/jet/jet_import.h"
#include "dao_fixture.h"
#include "jet_corpus.h"

#include <zlib.h>

#include "tests/platform/child_process.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <random>

namespace ledrana::dao::testing {
namespace {

namespace fs = std::filesystem;

// Jet's lock file (255 slots of 64 bytes: computer, then user) of a database open on two computers.
const std::string kLockFile = std::string("PC-UFFICIO") + std::string(22, '\0') + "Admin" +
                              std::string(27, '\0') + "PC-CASSA" + std::string(24, '\0') + "Mario" +
                              std::string(27, '\0');

std::string Printf(const char* fmt, double v) {
    char b[64];
    std::snprintf(b, sizeof b, fmt, v);
    return b;
}

// Our value in the form libmdb gives the same column ("" for Null, as libmdb's bound text is).
std::string AsLibmdbText(const Variant& v, int jetType) {
    if (v.IsNull()) return "";
    switch (jetType) {
    case MDB_BOOL:
        return v.ToBoolean() ? "1" : "0";
    case MDB_FLOAT:
        return Printf("%.8g", static_cast<float>(v.RawDouble()));
    case MDB_DOUBLE:
        return Printf("%.16lg", v.RawDouble());
    case MDB_DATETIME: {
        DateParts p = SplitDate(v.RawDouble());
        char b[32];
        std::snprintf(b, sizeof b, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                      p.second);
        return b;
    }
    case MDB_REPID: {
        std::string s = v.RawString();
        return s.size() > 2 ? s.substr(1, s.size() - 2) : s;
    }
    case MDB_BINARY: {
        std::string s = v.RawString();
        return s.substr(0, s.find('\0'));
    }
    default:
        return v.ToString();
    }
}

// The five bytes Windows-1252 leaves undefined are kept (as U+0081...); libmdb shows them as '?'.
std::string WithUndefinedAsQuestionMarks(const Variant& v) {
    if (v.IsNull()) return "";
    std::string s = v.RawString();
    for (const char* c1 : {"\xC2\x81", "\xC2\x8D", "\xC2\x8F", "\xC2\x90", "\xC2\x9D"})
        for (std::size_t p; (p = s.find(c1)) != std::string::npos;)
            s.replace(p, 2, "?");
    return s;
}

// A file opened by libmdb, its catalog read and its values bound as the texts compared here.
Mdb OpenWithLibmdb(const std::string& path) {
    Mdb mdb(mdb_open(path.c_str(), MDB_NOFLAGS));
    if (!mdb) return mdb;
    mdb_set_bind_size(mdb.get(), 8 << 20);
    mdb_set_date_fmt(mdb.get(), "%Y-%m-%d %H:%M:%S");
    mdb_set_shortdate_fmt(mdb.get(), "%Y-%m-%d %H:%M:%S");
    mdb_set_repid_fmt(mdb.get(), MDB_NOBRACES_4_2_2_2_6);
    mdb_set_boolean_fmt_numbers(mdb.get());
    mdb_read_catalog(mdb.get(), MDB_ANY);
    return mdb;
}

class JetCorpus : public DaoTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(JetCorpus, ConvertsEveryTableFieldRowAndIndexAsLibmdbReadsThem) {
    const std::string name = GetParam();
    const std::string source = Path(name);
    fs::copy_file(kCorpus / name, source);
    const std::string before = Bytes(source);
    JetImportReport report = ImportJetFile(engine_, source, Path("out.db"), name);
    EXPECT_EQ(Bytes(source), before) << "the source must stay untouched";

    Mdb lib = OpenWithLibmdb(source);
    ASSERT_NE(lib, nullptr);
    Database db = engine_.OpenDatabase(Path("out.db"));
    std::size_t tableNo = 0;
    for (unsigned e = 0; e < lib->num_catalog; ++e) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(lib->catalog, e));
        if (!mdb_is_user_table(entry)) continue;
        const std::string tname = entry->object_name;
        SCOPED_TRACE(name + ": " + tname);
        ASSERT_LT(tableNo, report.tables.size());
        EXPECT_EQ(report.tables[tableNo++].name, tname);
        MdbTableDef* t = mdb_read_table(entry);
        ASSERT_NE(t, nullptr);
        mdb_read_columns(t);
        mdb_read_indices(t);
        TableDef ours = db.TableDefs()[tname];
        Fields fields = ours.Fields();
        ASSERT_EQ(fields.Count(), static_cast<int>(t->num_cols));

        // Structure.
        for (unsigned i = 0; i < t->num_cols; ++i) {
            auto* c = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
            Field f = fields[static_cast<int>(i)];
            SCOPED_TRACE(std::string("field ") + c->name);
            EXPECT_EQ(f.Name(), c->name);
            const int expectedType = c->col_type == MDB_REPID     ? dbGUID
                                     : c->col_type == MDB_NUMERIC ? dbDecimal
                                                                  : c->col_type;
            EXPECT_EQ(f.Type(), expectedType);
            if (c->col_type == MDB_NUMERIC) { // libmdb's names for the two are the other way round
                EXPECT_EQ(f.Precision(), c->col_scale);
                EXPECT_EQ(f.Scale(), c->col_prec);
            }
            if (c->col_type == MDB_TEXT) {
                EXPECT_EQ(f.Size(), IS_JET3(lib.get()) ? c->col_size : c->col_size / 2);
            }
            EXPECT_EQ((f.Attributes() & dbAutoIncrField) != 0, c->is_long_auto != 0);
            const char* required = mdb_col_get_prop(c, "Required");
            EXPECT_EQ(f.Required(), required && std::strcmp(required, "yes") == 0);
            const char* zeroLength = mdb_col_get_prop(c, "AllowZeroLength");
            EXPECT_EQ(f.AllowZeroLength(), zeroLength && std::strcmp(zeroLength, "yes") == 0);
            const char* def = mdb_col_get_prop(c, "DefaultValue");
            EXPECT_EQ(f.DefaultValue(), def ? def : "");
            if (const char* d = mdb_col_get_prop(c, "Description")) {
                EXPECT_EQ(f.Properties()["Description"].Value().ToString(), d);
            }
        }
        if (const char* d = mdb_table_get_prop(t, "Description")) {
            EXPECT_EQ(ours.Properties()["Description"].Value().ToString(), d);
        }

        // Indexes: name, fields in order with their direction, Primary, Unique, IgnoreNulls, Required.
        // libmdb loses some indexes (it pairs logical and real indexes by the wrong number): those must
        // still come through, and JetIndexes checks them against what the files were made with.
        Indexes indexes = ours.Indexes();
        int expectedIndexes = 0;
        for (unsigned i = 0; t->indices && i < t->indices->len; ++i) {
            auto* x = static_cast<MdbIndex*>(g_ptr_array_index(t->indices, i));
            if (x->index_type == 2) continue;
            bool readable = x->num_keys > 0;
            for (unsigned k = 0; k < x->num_keys; ++k)
                readable =
                    readable && x->key_col_num[k] >= 1 && x->key_col_num[k] <= static_cast<int>(t->num_cols);
            ++expectedIndexes;
            if (!readable) {
                EXPECT_NO_THROW(indexes[x->name]) << "index " << x->name << " lost";
                continue;
            }
            SCOPED_TRACE(std::string("index ") + x->name);
            Index ix = indexes[x->name];
            EXPECT_EQ(ix.Primary(), x->index_type == 1);
            EXPECT_EQ(ix.Unique(), x->index_type == 1 || (x->flags & MDB_IDX_UNIQUE) != 0);
            EXPECT_EQ(ix.IgnoreNulls(), (x->flags & MDB_IDX_IGNORENULLS) != 0);
            Fields ixf = ix.Fields();
            ASSERT_EQ(ixf.Count(), static_cast<int>(x->num_keys));
            for (unsigned k = 0; k < x->num_keys; ++k) {
                auto* c = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, x->key_col_num[k] - 1));
                EXPECT_EQ(ixf[static_cast<int>(k)].Name(), c->name);
                EXPECT_EQ((ixf[static_cast<int>(k)].Attributes() & dbDescending) != 0,
                          x->key_col_order[k] == MDB_DESC);
            }
        }
        EXPECT_EQ(indexes.Count(), expectedIndexes);
        for (const std::string& note : report.notes)
            EXPECT_EQ(note.find("senza campi leggibili"), std::string::npos) << note;

        // Rows, in the file's order, every value.
        std::vector<std::vector<char>> bound(t->num_cols, std::vector<char>(8 << 20));
        std::vector<int> lens(t->num_cols);
        for (unsigned i = 0; i < t->num_cols; ++i)
            mdb_bind_column(t, static_cast<int>(i) + 1, bound[i].data(), &lens[i]);
        Recordset rs = ours.OpenRecordset();
        std::int64_t rows = 0;
        mdb_rewind_table(t);
        while (mdb_fetch_row(t)) {
            ASSERT_FALSE(rs.Eof()) << "row " << rows;
            for (unsigned i = 0; i < t->num_cols; ++i) {
                auto* c = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
                Variant v = rs.Fields()[static_cast<int>(i)].Value();
                SCOPED_TRACE("row " + std::to_string(rows) + " field " + c->name);
                if (c->col_type == MDB_OLE) {
                    std::string expected;
                    if (c->cur_value_len) {
                        std::size_t size = 0;
                        void* p = mdb_ole_read_full(lib.get(), c, &size);
                        expected.assign(static_cast<char*>(p), size);
                        std::free(p);
                    }
                    EXPECT_EQ(v.IsNull() ? std::string() : v.RawString(), expected);
                } else if (c->col_type == MDB_MONEY || c->col_type == MDB_NUMERIC) {
                    // Exact: every digit libmdb writes ("-12.3400").
                    if (lens[i] == 0) {
                        EXPECT_TRUE(v.IsNull());
                    } else {
                        EXPECT_EQ(v.kind(), c->col_type == MDB_MONEY ? Variant::Kind::Currency
                                                                     : Variant::Kind::Decimal);
                        EXPECT_EQ(v.ToDecimal().ToString(), Decimal::Parse(bound[i].data())->ToString());
                    }
                } else if (c->col_type == MDB_DATETIME && !v.IsNull() &&
                           (v.RawDouble() < 0 || v.RawDouble() > 1e6)) {
                    // libmdb prints no date before 1900 or after about 2700: the day number itself is
                    // checked.
                    EXPECT_EQ(v.RawDouble(), mdb_get_double(lib->pg_buf, c->cur_value_start));
                } else if (IS_JET3(lib.get()) && (c->col_type == MDB_TEXT || c->col_type == MDB_MEMO)) {
                    EXPECT_EQ(WithUndefinedAsQuestionMarks(v), std::string(bound[i].data(), lens[i]));
                } else {
                    EXPECT_EQ(AsLibmdbText(v, c->col_type), std::string(bound[i].data(), lens[i]));
                }
            }
            ++rows;
            rs.MoveNext();
        }
        EXPECT_TRUE(rs.Eof());
        rs.Close();
        EXPECT_EQ(ours.RecordCount(), rows);
        EXPECT_EQ(report.tables[tableNo - 1].rows, rows);
        mdb_free_tabledef(t);
    }
    EXPECT_EQ(tableNo, report.tables.size());
    db.Close();
}

INSTANTIATE_TEST_SUITE_P(Files, JetCorpus, ::testing::ValuesIn(CorpusFiles()),
                         [](const ::testing::TestParamInfo<std::string>& i) {
                             std::string n = fs::path(i.param).stem().string();
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

// Indexes libmdb cannot read: their real index is not the one numbered like the logical index, or a
// column was deleted before them. Every index of every table, as the files were made: "table: name (fields)
// flags; ...".
using JetIndexes = DaoTest;

TEST_F(JetIndexes, ComeThroughWithTheirFieldsAndFlags) {
    const std::pair<std::string, std::vector<std::string>> files[] = {
        {"testIndexPropertiesV2000.mdb",
         {"TableIgnoreNulls1: DataIndex (data) ignore nulls; PrimaryKey (row) primary unique",
          "TableIgnoreNulls1_temp: DataIndex (data) ignore nulls; PrimaryKey (row) primary unique",
          "TableIgnoreNulls2: DataIndex (data1, data2) ignore nulls; PrimaryKey (row) primary unique",
          "TableIgnoreNulls2_temp: DataIndex (data1, data2) ignore nulls; PrimaryKey (row) primary unique",
          "TableUnique1_temp: DataIndex (data) unique; PrimaryKey (row) primary unique",
          "TableUnique2_temp: DataIndex (data1, data2) unique; PrimaryKey (row) primary unique"}},
        {"delColTestV2000.mdb", {"Table1: id (id); id2 (id2)"}},
    };
    for (const auto& [name, expected] : files) {
        SCOPED_TRACE(name);
        fs::copy_file(kCorpus / name, Path(name));
        JetImportReport report = ImportJetFile(engine_, Path(name), Path(name + ".db"), name);
        for (const std::string& note : report.notes)
            EXPECT_EQ(note.find("indice"), std::string::npos) << note;
        Database db = engine_.OpenDatabase(Path(name + ".db"));
        std::vector<std::string> tables;
        for (const auto& t : report.tables) {
            Indexes all = db.TableDefs()[t.name].Indexes();
            std::vector<std::string> indexes;
            for (int i = 0; i < all.Count(); ++i) {
                Index ix = all[i];
                Fields f = ix.Fields();
                std::string d = ix.Name() + " (";
                for (int k = 0; k < f.Count(); ++k)
                    d += (k ? ", " : "") + f[k].Name() + (f[k].Attributes() & dbDescending ? " desc" : "");
                indexes.push_back(d + ")" + (ix.Primary() ? " primary" : "") +
                                  (ix.Unique() ? " unique" : "") + (ix.IgnoreNulls() ? " ignore nulls" : ""));
            }
            std::sort(indexes.begin(), indexes.end());
            tables.push_back(t.name + ":");
            for (std::size_t i = 0; i < indexes.size(); ++i)
                tables.back() += (i ? "; " : " ") + indexes[i];
        }
        std::sort(tables.begin(), tables.end());
        EXPECT_EQ(tables, expected);
        db.Close();
    }
}

class JetOpen : public DaoTest {
protected:
    std::string CopyCorpus(const std::string& file, const std::string& as) {
        fs::copy_file(kCorpus / file, Path(as));
        return Path(as);
    }
};

TEST_F(JetOpen, OpenDatabaseConvertsInPlaceKeepingTheOriginalBeside) {
    const std::string path = CopyCorpus("testV1997.mdb", "Cont32.mdb");
    fs::copy_file(kCorpus / "nwind.mdb", Path("Cont32.mdb.jet")); // taken: never overwritten
    // What a conversion cut short by a crash leaves beside the Jet file: its work file and journal, and
    // Jet's lock file, which nobody holds.
    std::ofstream(Path("Cont32.mdb.conversione")) << "half";
    std::ofstream(Path("Cont32.mdb.conversione-journal")) << "half";
    std::ofstream(Path("cont32.LDB"), std::ios::binary) << kLockFile;
    Database db = engine_.OpenDatabase(path, false, false, ";pwd=");
    EXPECT_EQ(db.TableDefs()["Table1"].RecordCount(), 2);
    db.Close();
    EXPECT_EQ(Bytes(Path("Cont32.mdb.jet2")), Bytes(kCorpus / "testV1997.mdb"));
    EXPECT_EQ(Bytes(Path("Cont32.mdb.jet")), Bytes(kCorpus / "nwind.mdb"));
    EXPECT_EQ(Names(dir_),
              (std::vector<std::string>{"Cont32.mdb", "Cont32.mdb.jet", "Cont32.mdb.jet2", "cont32.LDB"}));
    std::vector<std::string> notices = engine_.TakeConversionNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("Cont32.mdb.jet2; il file di blocco cont32.LDB di Jet (PC-UFFICIO (utente "
                              "Admin), PC-CASSA (utente Mario)) non è tenuto da nessuno"),
              std::string::npos)
        << notices[0];
    EXPECT_FALSE(jet::LooksLikeJetFile(path));

    // Opened again (by this engine or another), it is an archive like any other.
    engine_.OpenDatabase(path).Close();
    DBEngine other;
    other.OpenDatabase(path).Close();
    EXPECT_TRUE(engine_.TakeConversionNotices().empty());
    EXPECT_TRUE(other.TakeConversionNotices().empty());
}

// Sets or clears the immutable attribute of a file or folder; false where the host does not allow it.
bool SetImmutable(const std::string& path, bool on) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    int flags = 0;
    bool ok = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0) close(fd);
    return ok;
}

// A file that cannot be changed in its place is refused as an archive to update (3051, nothing touched),
// and read through a temporary copy, as the models are, by an ordinary opening.
TEST_F(JetOpen, AFileThatCannotBeChangedIsRefusedForChangesAndReadThroughATemporaryCopy) {
    const auto readOnly = [](const std::string& p, bool on) {
        fs::permissions(p, on ? fs::perms::owner_read | fs::perms::group_read : fs::perms::owner_all);
        return true;
    };
    struct Case {
        const char* what;
        const char* changed; // the file, or its folder
        std::function<bool(const std::string&, bool)> change;
    } cases[] = {
        {"read-only file", "CONT32.MDB", readOnly},
        {"immutable file", "CONT32.MDB", SetImmutable},
        // Permissions do not stop root: an immutable folder does.
        {"folder refusing new files", "", geteuid() == 0 ? SetImmutable : std::function(readOnly)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path folder = Path(c.what), path = folder / "CONT32.MDB", changed = folder / c.changed;
        fs::create_directory(folder);
        fs::copy_file(kCorpus / "DateTestDatabase.mdb", path);
        if (!c.change(changed, true)) continue; // not possible on this host
        EXPECT_EQ(ErrorOf([&] { engine_.Reserve(path); }), 3051);
        {
            DBEngine engine;
            EXPECT_EQ(engine.OpenDatabase(path, false, false, ";pwd=").TableDefs()["DateTest"].RecordCount(),
                      6);
            engine.OpenDatabase(path).Close(); // the same copy again, no second conversion
            EXPECT_EQ(engine.TakeConversionNotices().size(), 1u);
        }
        c.change(changed, false);
        EXPECT_EQ(Bytes(path), Bytes(kCorpus / "DateTestDatabase.mdb"));
        EXPECT_EQ(Names(folder), std::vector<std::string>{"CONT32.MDB"});
    }
}

// Someone else has the file open when another process holds a lock on it or on Jet's lock file beside it:
// refused with the computers of the lock file, for reading and for changes alike, and left as it was.
TEST_F(JetOpen, AFileInUseElsewhereIsRefusedNamingItsComputers) {
    const std::string owners = "in uso da un altro utente o processo (aperto su PC-UFFICIO (utente Admin), "
                               "PC-CASSA (utente Mario)). Chiudere";
    struct Case {
        const char* lockFile; // beside Cont32.mdb, "" for none
        const char* locked;   // the file another process locks
        long long offset;     // Jet's user locks lie past the end of the lock file
        std::string named;
    } cases[] = {
        {"Cont32.ldb", "Cont32.mdb", 0x10000000, owners},
        {"CONT32.LDB", "CONT32.LDB", 0x10000001, owners},
        {"", "Cont32.mdb", 0, "in uso da un altro utente o processo. Chiudere"},
    };
    const std::string path = CopyCorpus("testV1997.mdb", "Cont32.mdb");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locked);
        if (*c.lockFile) std::ofstream(Path(c.lockFile), std::ios::binary) << kLockFile;
        const std::vector<std::string> before = Names(dir_);
        ledrana::testing::ChildWhile other(
            [&] { return ledrana::testing::LockRange(Path(c.locked), c.offset, 1); });
        ASSERT_TRUE(other.held());
        for (const auto& call : std::vector<std::function<void()>>{[&] { engine_.OpenDatabase(path); },
                                                                   [&] { engine_.Reserve(path); }}) {
            const std::string f = Failure(call);
            EXPECT_EQ(f.rfind("3045 ", 0), 0u) << f;
            EXPECT_NE(f.find("'" + path + "': file già " + c.named), std::string::npos) << f;
            EXPECT_EQ(Bytes(path), Bytes(kCorpus / "testV1997.mdb"));
            EXPECT_EQ(Names(dir_), before);
        }
        if (*c.lockFile) fs::remove(Path(c.lockFile));
    }
}

TEST_F(JetOpen, CompactDatabaseTakesAJetSource) {
    const std::string path = CopyCorpus("queryTestV2000.mdb", "Scad32.mdb");
    engine_.CompactDatabase(path, Path("compact.mdb"));
    Database db = engine_.OpenDatabase(Path("compact.mdb"));
    EXPECT_NO_THROW(db.TableDefs()["Table3"]);
    db.Close();
    EXPECT_EQ(Bytes(Path("Scad32.mdb.jet")), Bytes(kCorpus / "queryTestV2000.mdb"));
}

// Bad files are refused with Jet's number, left as they are, and nothing is left beside them: among them
// files on which the reader dies, which end its own process and not this one.
TEST_F(JetOpen, BadFilesAreRefusedUntouched) {
    const std::string nwind = Bytes(kCorpus / "nwind.mdb");
    std::string wrongVersion = Bytes(kCorpus / "testV2000.mdb");
    wrongVersion[0x14] = 0x09;
    std::string encryptedAce = Bytes(kCorpus / "testV2000.mdb");
    encryptedAce.replace(4, 15, "Standard ACE DB");
    encryptedAce[0x14] = 0x03;
    encryptedAce[0x3e] ^= 0x5a; // a page-encoding key under the masked header
    struct Case {
        std::string what;
        std::string bytes;
        int number;
    } cases[] = {
        {"cut inside a page", nwind.substr(0, 1000000), 3049},
        {"cut at a page boundary", nwind.substr(0, 2048 * 600), 3049},
        {"only the header page", nwind.substr(0, 2048), 3049},
        {"unknown version", wrongVersion, 3343},
        {"encrypted ACE file", encryptedAce, 3031},
        {"neither Jet nor ours", std::string(8192, 'x'), 3343},
        {"catalog page blank", Bytes(kCorpus / "testV2000.mdb").replace(2 * 4096, 4096, 4096, '\0'), 3049},
    };
    std::vector<Case> all(std::begin(cases), std::end(cases));
    for (const std::string& file : CorpusFiles(kCorpus / "damaged"))
        all.push_back({file, Bytes(kCorpus / "damaged" / file), 3049});
    ASSERT_EQ(all.size(), std::size(cases) + 7);
    for (const Case& c : all) {
        SCOPED_TRACE(c.what);
        const std::string path = Path("Cont32.mdb");
        { std::ofstream(path, std::ios::binary) << c.bytes; }
        const std::string f = Failure([&] { engine_.OpenDatabase(path, false, false, ";pwd="); });
        EXPECT_EQ(std::atoi(f.c_str()), c.number) << f;
        EXPECT_NE(f.find("Cont32.mdb"), std::string::npos) << f;
        // What libmdb says is the error's detail, never raw text on the standard error.
        if (c.what == "catalog page blank") {
            EXPECT_NE(f.find("(libmdb: "), std::string::npos) << f;
        }
        EXPECT_EQ(Bytes(path), c.bytes);
        EXPECT_EQ(Names(dir_), std::vector<std::string>{"Cont32.mdb"});
        fs::remove(path);
    }
}

// A Jet file protected by a database password: the masked password of its header page is what the
// converted archive asks for. Written into a copy's header as Jet 4 keeps it (UTF-16); the decoding of both
// versions' passwords is JetPassword.RoundTrips'.
TEST_F(JetOpen, ProtectedFileKeepsItsPassword) {
    const std::string path = Path("Cont32.mdb"), stored("s\0e\0g\0r\0e\0t\0a\0", 14);
    std::string bytes = Bytes(kCorpus / "testV2000.mdb");
    for (std::size_t i = 0; i < stored.size(); ++i)
        bytes[0x42 + i] ^= stored[i];
    std::ofstream(path, std::ios::binary) << bytes;
    for (const char* wrong : {";pwd=", ";pwd=altra"}) {
        EXPECT_EQ(ErrorOf([&] { engine_.OpenDatabase(path, false, false, wrong); }), 3031) << wrong;
        EXPECT_EQ(Bytes(path), bytes); // refused untouched, nothing converted
    }
    engine_.OpenDatabase(path, false, false, ";pwd=segreta").Close();
    EXPECT_FALSE(jet::LooksLikeJetFile(path));
    EXPECT_EQ(Bytes(path + ".jet"), bytes);
    DBEngine other;
    EXPECT_EQ(ErrorOf([&] { other.OpenDatabase(path, false, false, ";pwd="); }), 3031)
        << "the converted archive must ask for its password";
    EXPECT_EQ(other.OpenDatabase(path, false, false, ";pwd=segreta").TableDefs()["Table1"].RecordCount(), 2);
}

// Jet files with random bytes changed, as a damaged disk or a copy cut short leaves them: each is converted
// or refused with a Jet error number naming it, never touched, and whatever the reader meets (a crash, a
// page chain without end) ends its own process, not this one. The seed is fixed, so a failure repeats.
using JetMutation = DaoTest;

TEST_F(JetMutation, EveryCopyIsConvertedOrRefusedWithAJetNumber) {
    constexpr int kCopies = 300;
    // The smaller files, for speed; the damaged ones too, whose mutations often crash the reader.
    std::vector<std::pair<std::string, std::string>> bases;
    for (const fs::path& folder : {kCorpus, kCorpus / "damaged"})
        for (const std::string& file : CorpusFiles(folder))
            if (fs::file_size(folder / file) < 600 * 1024) bases.emplace_back(file, Bytes(folder / file));
    std::sort(bases.begin(), bases.end());
    ASSERT_GE(bases.size(), 20u);

    const std::string source = Path("Cont32.mdb"), destination = Path("Cont32.mdb.conversione");
    std::mt19937 rng(20261207);
    std::map<std::string, int> outcomes;
    for (int copy = 0; copy < kCopies; ++copy) {
        const auto& [name, original] =
            bases[std::uniform_int_distribution<std::size_t>(0, bases.size() - 1)(rng)];
        std::string bytes = original;
        const int changes = std::uniform_int_distribution<int>(1, 64)(rng);
        for (int k = 0; k < changes; ++k) {
            const auto at = std::uniform_int_distribution<std::size_t>(0, bytes.size() - 1)(rng);
            const int kind = std::uniform_int_distribution<int>(0, 2)(rng);
            bytes[at] = static_cast<char>(kind == 0 ? 0 : kind == 1 ? 0xff : rng() & 0xff);
        }
        SCOPED_TRACE("copy " + std::to_string(copy) + " of " + name + ", " + std::to_string(changes) +
                     " bytes changed");
        { std::ofstream(source, std::ios::binary) << bytes; }
        try {
            ImportJetFile(engine_, source, destination, "Cont32.mdb");
            EXPECT_TRUE(engine_.IsWholeDatabase(destination));
            ++outcomes["converted"];
        } catch (const Error& e) {
            EXPECT_TRUE(e.number() >= 3000 && e.number() < 4000) << e.number() << " " << e.description();
            EXPECT_NE(e.description().find("Cont32.mdb"), std::string::npos) << e.description();
            const bool died = e.description().find("la lettura si è interrotta") != std::string::npos;
            ++outcomes[std::to_string(e.number()) + (died ? " (reader ended)" : "")];
            EXPECT_FALSE(fs::exists(destination));
        }
        EXPECT_FALSE(fs::exists(destination + "-journal"));
        EXPECT_EQ(Bytes(source), bytes) << "the source must stay untouched";
        fs::remove(destination);
    }
    for (const auto& [outcome, count] : outcomes)
        std::cout << outcome << ": " << count << "\n";
}

// Access 2010's calculated fields keep the values the file holds, and those are what their Expression gives
// on the same row; the definition's row count (3) does not hide the fourth row.
TEST_F(JetOpen, CalculatedFieldsHoldTheirExpressionsResults) {
    JetImportReport report = ImportJetFile(engine_, CopyCorpus("calcFieldTestV2010.accdb", "calc.accdb"),
                                           Path("out.mdb"), "calc.accdb");
    ASSERT_EQ(report.tables.size(), 1u);
    EXPECT_EQ(report.tables[0].rows, 4);
    Database db = engine_.OpenDatabase(Path("out.mdb"));
    Fields fields = db.TableDefs()["Table1"].Fields();
    int calculated = 0;
    for (int i = 0; i < fields.Count(); ++i) {
        Field f = fields[i];
        std::string expression;
        try {
            expression = f.Properties()["Expression"].Value().ToString();
        } catch (const Error&) {
            continue;
        }
        ++calculated;
        SCOPED_TRACE(f.Name() + " = " + expression);
        Recordset rs =
            db.OpenRecordset("SELECT [" + f.Name() + "], (" + expression + ") FROM Table1 ORDER BY ID");
        for (int row = 0; !rs.Eof(); rs.MoveNext(), ++row) {
            const Variant stored = rs.Fields()[0].Value(), computed = rs.Fields()[1].Value();
            if ((f.Type() == dbText && f.Properties()["ResultType"].Value().ToString() != "16") ||
                f.Type() == dbMemo) {
                EXPECT_EQ(stored.ToString(), computed.ToString()) << "row " << row;
            } else {
                // A Currency result is the value to the ten-thousandth, a Single to its 24 bits.
                const double a = stored.ToDouble(), b = computed.ToDouble();
                const double within =
                    f.Type() == dbCurrency ? 0.00005 : std::fabs(b) * (f.Type() == dbSingle ? 1e-6 : 1e-9);
                EXPECT_LE(std::fabs(a - b), within) << "row " << row;
            }
        }
        rs.Close();
    }
    EXPECT_EQ(calculated, 11);
    db.Close();
    int notes = 0;
    for (const std::string& n : report.notes)
        notes += n.find("non è più ricalcolato") != std::string::npos ||
                 n.find("dichiara 3 righe") != std::string::npos;
    EXPECT_EQ(notes, 12);
}

// Attachments, multi-valued fields and version histories become tables of ours, each value with the key of
// its row; an attachment's bytes are the file as stored, whether Access compressed it or not.
TEST_F(JetOpen, ComplexFieldsBecomeTablesKeyedByTheirRows) {
    const struct {
        const char* file;
        const char* sql;
        const char* rows;
    } cases[] = {
        {"complexDataTestV2007.accdb", "SELECT id, [memo-data], [append-memo-data] FROM Table1 ORDER BY id",
         "row1|Null|Null;row2|row2-memo|row2-memo;row3|row3-memo|row3-memo-again;row4|row4-memo|row4-memo"},
        {"complexDataTestV2007.accdb", "SELECT id, FileName, FileType, FileData FROM [Table1_attach-data]",
         "row2|test_data.txt|txt|this is some test data for attachment.;"
         "row2|test_data2.txt|txt|this is some more test data for attachment.;"
         "row4|test_data2.txt|txt|this is some more test data for attachment."},
        {"complexDataTestV2007.accdb", "SELECT id, Value FROM [Table1_multi-value-data]",
         "row2|value1;row2|value4;row3|value1;row3|value2;row3|value3;row3|value4"},
        {"complexDataTestV2007.accdb", "SELECT id, [append-memo-data] FROM [Table1_append-memo-data]",
         "row2|row2-memo;row3|row3-memo;row4|row4-memo;row3|row3-memo-revised;row3|row3-memo-again"},
        {"unsupportedFieldsTestV2007.accdb", "SELECT COUNT(*) FROM Test_UnknownComplex WHERE ID IS NOT NULL",
         "3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        const std::string out = Path(std::string(c.file) + ".mdb");
        if (!fs::exists(out)) {
            JetImportReport report = ImportJetFile(engine_, CopyCorpus(c.file, c.file), out, c.file);
            for (const std::string& n : report.notes)
                EXPECT_EQ(n.find("nascosta"), std::string::npos) << n;
        }
        Database db = engine_.OpenDatabase(out);
        EXPECT_EQ(Rows(db, c.sql), c.rows);
        db.Close();
    }
}

// Date/Time Extended: days from 1 January of year 1 and ten-millionths of a second, in digits. A Date holds
// the same instant; what it cannot hold comes with the exact text.
TEST(JetValues, ExtendedDatesBecomeDatesAndTheirExactText) {
    const struct {
        const char* stored;
        jet::Value::Kind kind;
        double serial;
        const char* exact;
    } cases[] = {
        {"0000000000000693594:0000000432000000000:7", jet::Value::Kind::Date, 1.5, ""},
        {"0000000000000738885:0000000000012345678:7", jet::Value::Kind::Date, 45292 + 1 / 86400.0,
         "2024-01-01 00:00:01.2345678"},
        {"0000000000000693592:0000000216000000000:7", jet::Value::Kind::Date, -1.25, ""},
        {"0000000000000000000:0000000000000000000:7", jet::Value::Kind::Null, 0,
         "0001-01-01 00:00:00.0000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        jet::Value v;
        ASSERT_TRUE(jet::ReadExtendedDate(std::string(c.stored) + '\0', v));
        EXPECT_EQ(v.kind, c.kind);
        if (c.kind == jet::Value::Kind::Date) {
            EXPECT_DOUBLE_EQ(v.d, c.serial);
        }
        EXPECT_EQ(v.exact, c.exact);
    }
    jet::Value v;
    EXPECT_FALSE(jet::ReadExtendedDate("00000000000006935x4:0000000000000000000:7", v));
}

// An attachment as Access stores it: its kind (0 as it is, 1 deflated) and the length of what follows
// unpacked, a header naming the file's type, then the file's bytes.
TEST(JetValues, AttachmentsComeBackAsTheUserStoredThem) {
    auto le32 = [](std::uint32_t v) {
        return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    };
    const std::string bytes = "%PDF-1.4 \x00\xff bytes of the file";
    const std::string content = le32(16) + le32(1) + le32(4) + std::string("pdf\0", 4) + bytes;
    std::string deflated(compressBound(content.size()), '\0');
    uLongf size = deflated.size();
    ASSERT_EQ(compress(reinterpret_cast<Bytef*>(deflated.data()), &size,
                       reinterpret_cast<const Bytef*>(content.data()), content.size()),
              Z_OK);
    deflated.resize(size);
    const std::string length = le32(static_cast<std::uint32_t>(content.size()));
    const struct {
        const char* what;
        std::string stored;
        std::optional<std::string> expected;
    } cases[] = {
        {"as it is", le32(0) + length + content, bytes},
        {"deflated", le32(1) + length + deflated, bytes},
        {"deflated, cut short", le32(1) + length + deflated.substr(0, deflated.size() / 2), std::nullopt},
        {"unknown kind", le32(2) + length + content, std::nullopt},
        {"header longer than the content", le32(0) + le32(8) + le32(16) + "abcd", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(jet::AttachmentBytes(c.stored), c.expected) << c.what;
}

// A Date/Time Extended field holds the instants of the ordinary Date beside it, the fractions of a second in
// the journal. The file is the shared corpus's, beside the checkout: none of ours holds such a field.
TEST_F(JetOpen, ExtendedDateFieldsKeepTheInstantAndJournalTheRest) {
    const fs::path file =
        fs::path(LEDRANA_SOURCE_DIR) / ".." / "shared" / "jet-corpus" / "extDateTestV2019.accdb";
    if (!fs::exists(file)) GTEST_SKIP() << "no Date/Time Extended file at " << file;
    fs::copy_file(file, Path("ext.accdb"));
    JetImportReport report = ImportJetFile(engine_, Path("ext.accdb"), Path("out.mdb"), "ext");
    Database db = engine_.OpenDatabase(Path("out.mdb"));
    EXPECT_EQ(db.TableDefs()["Table1"].Fields()["DateExt"].Type(), dbDate);
    EXPECT_EQ(Rows(db, "SELECT ID, DateExt FROM Table1 ORDER BY ID"),
              Rows(db, "SELECT ID, DateNormal FROM Table1 ORDER BY ID"));
    db.Close();
    std::string journal;
    for (const auto& j : report.journal)
        journal += j.table + "|" + j.key + "|" + j.field + "|" + j.text + ";";
    EXPECT_EQ(journal,
              "Table1|6|DateExt|2021-06-14 22:45:12.3456789;Table1|8|DateExt|0100-06-14 12:45:00.1234567;");
}

} // namespace
} // namespace ledrana::dao::testing
