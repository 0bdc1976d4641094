// daotool as technicians and scripts use it: the built program on a database of its own making, its JSON
// read back by a strict parser, its password sources, its usage errors; and the JSON text of single values
// where a database cannot easily hold them (bytes that are not UTF-8).

#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/stat.h>

#include "app/window_events.h"
#include "tests/platform/child_process.h"
#include "tests/platform/temp_prefix.h"
#include "tools/daotool/output.h"

namespace ledrana::daotool {
namespace {

namespace fs = std::filesystem;
using dao::Variant;
using testing::ShellQuote;

struct Result {
    int status = -1;
    std::string out, err;
};

// daotool with `args` (shell words), the environment assignments `env` before it; standard output and
// error apart.
Result DaoTool(const fs::path& prefix, const std::string& args, const std::string& env = "") {
    const fs::path err = prefix / "stderr.txt";
    const testing::CommandResult r =
        testing::RunWithPrefix("sh -c " + ShellQuote(env + " " + ShellQuote(DAOTOOL) + " " + args + " 2>" +
                                                     ShellQuote(err.string())),
                               prefix);
    return {r.status, r.output, testing::TempPrefix::get(err)};
}

QJsonDocument Json(const std::string& text) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n" << text;
    return doc;
}

std::vector<fs::path> Files(const fs::path& root) {
    std::vector<fs::path> files(fs::recursive_directory_iterator(root), {});
    std::sort(files.begin(), files.end());
    return files;
}

class DaoToolTest : public ::testing::Test {
protected:
    DaoToolTest() : db((prefix.root() / "prova.mdb").string()) {}
    testing::TempPrefix prefix;
    const std::string db;
};

// What a database can hardly hold (bytes that are not UTF-8) and the edges of the value forms.
TEST(DaoToolJson, TextAndValuesAtTheirEdges) {
    EXPECT_EQ(JsonText("a\"b\\c\x01\n\x1f città €𝄞"), R"("a\"b\\c\u0001\n\u001f città €𝄞")");
    // A lone byte, a sequence cut short, an overlong form, a surrogate: one U+FFFD per byte.
    const std::string bad = "\xFF|\xE2\x82|\xC0\xAF|\xED\xA0\x80";
    const std::string r = "\xEF\xBF\xBD";
    EXPECT_EQ(JsonText(bad), "\"" + r + "|" + r + r + "|" + r + r + "|" + r + r + r + "\"");
    EXPECT_EQ(JsonValue(Variant::FromCurrencyScaled(-5000)), "-0.5");
    EXPECT_EQ(JsonValue(Variant::FromDate(812, 3, 4)), "\"0812-03-04T00:00:00\"");
    EXPECT_EQ(JsonValue(Variant::FromDouble(1e300 * 1e300)), "\"inf\"");
    // RFC 4648's examples, and bytes of every value.
    const std::pair<std::string, std::string> b64[] = {
        {"f", "Zg=="}, {"fo", "Zm8="}, {"foob", "Zm9vYg=="}, {std::string("\xFF\x00\x80", 3), "/wCA"}};
    for (const auto& [bytes, text] : b64)
        EXPECT_EQ(Base64(bytes), text);
}

TEST_F(DaoToolTest, QueryAndSchemaInJsonForScripts) {
    const std::string script =
        "CREATE TABLE Movimenti (Id COUNTER CONSTRAINT pk PRIMARY KEY, Descrizione TEXT(40) NOT NULL, "
        "Importo CURRENCY, Giorno DATETIME, Pagato BIT, Note MEMO, Peso DOUBLE, Righe SHORT, Quota "
        "DECIMAL(18,4), Firma BINARY(8));"
        "CREATE UNIQUE INDEX ixDescr ON Movimenti (Descrizione DESC, Giorno);"
        "INSERT INTO Movimenti (Descrizione, Importo, Giorno, Pagato, Note, Peso, Righe, Quota, Firma) "
        "VALUES "
        "('Riga \"uno\"' & Chr(10) & 'a capo', 1234.5678, #2005-01-31 10:20:30#, True, Null, 0.1, -3, "
        "'12345678901234.5678', 'ab');"
        "INSERT INTO Movimenti (Descrizione, Pagato) VALUES ('due', False)";
    ASSERT_EQ(DaoTool(prefix.root(), "create " + ShellQuote(db) + " " + ShellQuote(script)).status, 0);
    ASSERT_EQ(DaoTool(prefix.root(), "querydef " + ShellQuote(db) + " Pagati " +
                                         ShellQuote("SELECT *\r\nFROM Movimenti WHERE Pagato"))
                  .status,
              0);

    Result r = DaoTool(prefix.root(), "query --json " + ShellQuote(db) +
                                          " \"SELECT Id, Descrizione AS [Che cosa], Importo, Giorno, Pagato, "
                                          "Note, Peso, Righe, Quota, Firma FROM Movimenti ORDER BY Id\"");
    ASSERT_EQ(r.status, 0) << r.err;
    // One row a line, the columns in the query's order; a strict parser reads it.
    EXPECT_EQ(
        r.out,
        R"([{"Id":1,"Che cosa":"Riga \"uno\"\na capo","Importo":1234.5678,"Giorno":"2005-01-31T10:20:30",)"
        R"("Pagato":true,"Note":null,"Peso":0.1,"Righe":-3,"Quota":12345678901234.5678,"Firma":"YWI="},)"
        "\n"
        R"({"Id":2,"Che cosa":"due","Importo":null,"Giorno":null,"Pagato":false,"Note":null,"Peso":null,)"
        R"("Righe":null,"Quota":null,"Firma":null}])"
        "\n");
    r = DaoTool(prefix.root(),
                "query --json " + ShellQuote(db) + " \"SELECT * FROM Movimenti WHERE Id = 0\"");
    EXPECT_EQ(r.out, "[]\n");

    r = DaoTool(prefix.root(), "schema --json " + ShellQuote(db));
    ASSERT_EQ(r.status, 0) << r.err;
    const QJsonObject schema = Json(r.out).object();
    ASSERT_EQ(schema["tables"].toArray().size(), 1);
    const QJsonObject table = schema["tables"].toArray()[0].toObject();
    EXPECT_EQ(table["name"].toString(), "Movimenti");
    std::vector<std::string> types;
    for (const QJsonValue f : table["fields"].toArray())
        types.push_back(f.toObject()["name"].toString().toStdString() + " " +
                        f.toObject()["type"].toString().toStdString() + " " +
                        std::to_string(f.toObject()["size"].toInt()));
    EXPECT_EQ(types, (std::vector<std::string>{
                         "Id Contatore 4", "Descrizione Testo 40", "Importo Valuta 8", "Giorno Data/ora 8",
                         "Pagato Sì/No 1", "Note Memo 0", "Peso Numerico (Precisione doppia) 8",
                         "Righe Numerico (Intero) 2", "Quota Numerico (Decimale) 16", "Firma Binario 8"}));
    EXPECT_TRUE(table["fields"].toArray()[1].toObject()["required"].toBool());
    EXPECT_EQ(table["fields"].toArray()[8].toObject()["scale"].toInt(), 4);
    const QJsonArray indexes = table["indexes"].toArray();
    ASSERT_EQ(indexes.size(), 2);
    EXPECT_EQ(QJsonDocument(indexes[0].toObject()).toJson(QJsonDocument::Compact).toStdString(),
              R"({"fields":[{"descending":true,"name":"Descrizione"},{"descending":false,"name":"Giorno"}],)"
              R"("ignoreNulls":false,"name":"ixDescr","primary":false,"required":false,"unique":true})");
    EXPECT_TRUE(indexes[1].toObject()["primary"].toBool());
    const QJsonArray queries = schema["queries"].toArray();
    ASSERT_EQ(queries.size(), 1);
    EXPECT_EQ(queries[0].toObject()["name"].toString(), "Pagati");
    EXPECT_EQ(queries[0].toObject()["sql"].toString(), "SELECT *\r\nFROM Movimenti WHERE Pagato");

    // An Access file is only read: it is not converted in its place.
    const fs::path jet = prefix.root() / "Date.mdb";
    fs::copy_file(fs::path(LEDRANA_SOURCE_DIR) / "tests/data/jet/DateTestDatabase.mdb", jet);
    const std::string bytes = testing::TempPrefix::get(jet);
    r = DaoTool(prefix.root(), "schema --json " + ShellQuote(jet.string()));
    EXPECT_EQ(Json(r.out).object()["tables"].toArray()[0].toObject()["name"].toString(), "DateTest") << r.err;
    EXPECT_EQ(testing::TempPrefix::get(jet), bytes);
    EXPECT_FALSE(fs::exists(jet.string() + ".jet"));
}

TEST_F(DaoToolTest, PasswordFromTheEnvironmentOrAFileOnlyItsOwnerReads) {
    const std::string select = " " + ShellQuote(db) + " \"SELECT Count(*) AS N FROM T\"";
    ASSERT_EQ(DaoTool(prefix.root(), "create " + ShellQuote(db) + " \"CREATE TABLE T (A LONG)\"",
                      "LEDRANA_PWD=segreto")
                  .status,
              0);
    EXPECT_EQ(DaoTool(prefix.root(), "query" + select).status, 1) << "the database has a password";
    Result r = DaoTool(prefix.root(), "query" + select, "LEDRANA_PWD=segreto");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "N\n0\n");
    EXPECT_EQ(r.err, "");

    const fs::path file = prefix.root() / "password.txt";
    testing::TempPrefix::put(file, "segreto\r\nseconda riga\n");
    const std::string option = "--pwd-file " + ShellQuote(file.string()) + " query" + select;
    for (const std::string mode : {"0640", "0604"}) {
        fs::permissions(file, static_cast<fs::perms>(std::stoi(mode, nullptr, 8)));
        r = DaoTool(prefix.root(), option);
        EXPECT_EQ(r.status, 2) << mode;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("daotool: --pwd-file " + file.string() + ": i permessi " + mode, 0), 0u)
            << r.err;
    }
    for (const fs::perms mode : {fs::perms::owner_read | fs::perms::owner_write, fs::perms::owner_read}) {
        fs::permissions(file, mode);
        // The file's first line counts, not the environment's.
        r = DaoTool(prefix.root(), option, "LEDRANA_PWD=sbagliata");
        EXPECT_EQ(r.out, "N\n0\n") << r.err;
    }
    r = DaoTool(prefix.root(),
                "--pwd-file " + ShellQuote((prefix.root() / "nessuno").string()) + " query" + select);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("nessuno: non si può aprire (non esiste)"), std::string::npos) << r.err;

    // On the command line it still works, and says who else can see it.
    r = DaoTool(prefix.root(), "--pwd segreto query" + select);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "N\n0\n");
    EXPECT_NE(r.err.find("visibile agli altri utenti"), std::string::npos) << r.err;
    r = DaoTool(prefix.root(), "--pwd sbagliata query" + select);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("3031"), std::string::npos) << r.err;
}

TEST_F(DaoToolTest, UsageErrorsNameTheFaultFirstAndTouchNothing) {
    const struct {
        std::string args, first;
    } cases[] = {
        {"--frobnicate schema x.mdb", "daotool: opzione sconosciuta: --frobnicate"},
        {"frobnicate x.mdb", "daotool: comando sconosciuto: frobnicate"},
        {"", "daotool: manca il comando"},
        {"--pwd", "daotool: --pwd vuole un valore"},
        {"--pwd a --pwd-file b schema x.mdb",
         "daotool: la password si dà una volta sola (--pwd o --pwd-file)"},
        {"query x.mdb", "daotool: query vuole 2 argomenti, non 1: daotool query [--json] FILE SQL"},
        {"query --jsn x.mdb SELECT", "daotool: opzione sconosciuta per query: --jsn"},
        {"create x.mdb a b", "daotool: create vuole da 1 a 2 argomenti, non 3: daotool create FILE [SCRIPT]"},
        {"exec x.mdb", "daotool: exec vuole almeno 2 argomenti, non 1: daotool exec FILE SQL..."},
        {"hold x.mdb 3s", "daotool: hold: SECONDI è un numero intero di secondi, non \"3s\""},
    };
    const Result version = DaoTool(prefix.root(), "--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind(std::string("daotool ") + kVersione + " (build ", 0), 0u) << version.out;
    const std::vector<fs::path> before = Files(prefix.root());
    for (const auto& c : cases) {
        const Result r = DaoTool(prefix.root(), c.args);
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.first) << c.args;
        EXPECT_NE(r.err.find("\nuso: daotool"), std::string::npos) << c.args;
    }
    EXPECT_EQ(Files(prefix.root()), before) << "nothing was opened or made";
}

} // namespace
} // namespace ledrana::daotool
