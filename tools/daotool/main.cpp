// daotool: creates, changes and prints databases through the engine, for support technicians, scripts,
// the release builder and the tests. The commands, options and exit statuses are those of kHelp below.
//
// The password of a database comes from LEDRANA_PWD or from --pwd-file (a file that only its owner can
// read), so that it never shows in the list of processes; --pwd on the command line still works and says
// that it shows there.

#include "app/window_events.h"
#include "dao/dao.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tools/daotool/output.h"
#include "tools/manifest/manifest.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace ledrana;
using namespace ledrana::dao;
using manifest::SplitStatements;

constexpr const char* kHelp =
    "uso: daotool [--pwd-file FILE | --pwd PASSWORD] COMANDO ...\n"
    "     daotool --version | --help\n"
    "Crea, cambia e stampa archivi attraverso il motore dei database.\n"
    "Comandi:\n"
    "  create FILE [SCRIPT]             nuovo archivio; SCRIPT (un file, o testo SQL) contiene istruzioni\n"
    "                                   Jet SQL separate da \";\"\n"
    "  exec FILE SQL...                 esegue ogni istruzione\n"
    "  query [--json] FILE SQL          stampa le righe separate da tabulazioni sotto una riga con i nomi\n"
    "                                   delle colonne; con --json un array JSON di oggetti, uno per riga,\n"
    "                                   con i nomi delle colonne come chiavi: Null come null, numeri come\n"
    "                                   numeri, Sì/No come true/false, date in ISO 8601\n"
    "                                   (\"2005-01-31T10:20:30\"), dati binari in base64\n"
    "  schema [--json] FILE             stampa la struttura, una riga per oggetto; con --json tabelle\n"
    "                                   (campi con i tipi come li chiama Access, indici) e query salvate\n"
    "  build MANIFEST FILE              nuovo archivio fatto dai passi di MANIFEST\n"
    "  import ORIGINE DESTINAZIONE      converte un file Jet o ACE in un nuovo archivio; una riga per\n"
    "                                   tabella con le sue righe, le note su standard error\n"
    "  querydef FILE NOME SQL           salva una query (sostituisce quella con lo stesso nome)\n"
    "  property FILE TABELLA NOME VALORE  imposta o crea una proprietà di testo di una tabella\n"
    "  password FILE VECCHIA NUOVA      cambia la password dell'archivio\n"
    "  compact ORIGINE DESTINAZIONE     scrive una copia compattata\n"
    "  hold FILE SECONDI                tiene aperto l'archivio per quei secondi, come il programma\n"
    "                                   principale; stampa \"tengo aperto FILE\" quando lo ha aperto\n"
    "Opzioni:\n"
    "  --pwd-file FILE                  la password dell'archivio è la prima riga di FILE, che solo il suo\n"
    "                                   proprietario può leggere (permessi 0600 o più stretti)\n"
    "  --pwd PASSWORD                   la password dell'archivio (visibile agli altri utenti con ps:\n"
    "                                   meglio --pwd-file o la variabile LEDRANA_PWD)\n"
    "  --version                        stampa la versione\n"
    "  -h, --help                       stampa questo testo\n"
    "Senza --pwd e --pwd-file la password è quella della variabile d'ambiente LEDRANA_PWD, se c'è.\n"
    "Stato di uscita: 0 fatto, 1 errore del motore (numero e descrizione su standard error),\n"
    "2 argomenti sbagliati\n";

#ifndef LEDRANA_BUILD
#define LEDRANA_BUILD "sconosciuta"
#endif

// A command and the operands it takes after its name (max -1: any number from min on).
struct Command {
    const char* name;
    int min, max;
    const char* operands;
    bool json; // takes --json
};

constexpr Command kCommands[] = {
    {"create", 1, 2, "FILE [SCRIPT]", false},        {"exec", 2, -1, "FILE SQL...", false},
    {"query", 2, 2, "[--json] FILE SQL", true},      {"schema", 1, 1, "[--json] FILE", true},
    {"build", 2, 2, "MANIFEST FILE", false},         {"import", 2, 2, "ORIGINE DESTINAZIONE", false},
    {"querydef", 3, 3, "FILE NOME SQL", false},      {"property", 4, 4, "FILE TABELLA NOME VALORE", false},
    {"password", 3, 3, "FILE VECCHIA NUOVA", false}, {"compact", 2, 2, "ORIGINE DESTINAZIONE", false},
    {"hold", 2, 2, "FILE SECONDI", false},
};

// A wrong command line: what is wrong comes first, then the usage.
struct UsageError {
    std::string what;
};

// The password file given on the command line could not be used.
struct PasswordFileError {
    std::string what;
};

std::string ReadScript(const std::string& arg) {
    std::string win = !arg.empty() && arg[0] == '/' ? platform::WindowsPath(arg) : arg;
    if (arg.find('\n') == std::string::npos && platform::FileExists(win)) return platform::ReadAllBytes(win);
    return arg;
}

std::string SystemError(int err) {
    switch (err) {
    case ENOENT:
        return "non esiste";
    case EACCES:
        return "permesso negato";
    default:
        return std::strerror(err);
    }
}

std::string OctalMode(mode_t mode) {
    char b[8];
    std::snprintf(b, sizeof b, "%04o", static_cast<unsigned>(mode & 07777));
    return b;
}

// The first line of a file that nobody but its owner can read or write.
std::string ReadPasswordFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) throw PasswordFileError{path + ": non si può aprire (" + SystemError(errno) + ")"};
    struct stat st {};
    std::string text;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw PasswordFileError{path + ": non è un file"};
    }
    if (st.st_mode & 077) {
        ::close(fd);
        throw PasswordFileError{path + ": i permessi " + OctalMode(st.st_mode) +
                                " lo lasciano leggere o cambiare ad altri utenti; deve essere 0600 o più "
                                "stretto (chmod 600 " +
                                path + ")"};
    }
    char buf[4096];
    for (ssize_t n; text.find('\n') == std::string::npos && (n = ::read(fd, buf, sizeof buf)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            throw PasswordFileError{path + ": non si può leggere (" + SystemError(err) + ")"};
        }
        text.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    text = text.substr(0, text.find('\n'));
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return text;
}

std::string Arguments(int n) {
    return std::to_string(n) + (n == 1 ? " argomento" : " argomenti");
}

int Seconds(const std::string& text) {
    int seconds = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size() || seconds < 0)
        throw UsageError{"hold: SECONDI è un numero intero di secondi, non \"" + text + "\""};
    return seconds;
}

struct CommandLine {
    std::optional<std::string> pwd; // nothing: no password given
    bool pwdOnCommandLine = false;
    const Command* command = nullptr;
    bool json = false;
    std::vector<std::string> operands;
    bool help = false, version = false;
    int seconds = 0; // of hold
};

CommandLine Parse(const std::vector<std::string>& args) {
    CommandLine cl;
    std::optional<std::string> pwdFile;
    std::size_t i = 0;
    for (; i < args.size() && args[i].size() > 1 && args[i][0] == '-'; ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            cl.help = true;
        } else if (a == "--version") {
            cl.version = true;
        } else if (a == "--pwd" || a == "--pwd-file") {
            if (i + 1 == args.size()) throw UsageError{a + " vuole un valore"};
            if (cl.pwd || pwdFile) throw UsageError{"la password si dà una volta sola (--pwd o --pwd-file)"};
            if (a == "--pwd")
                cl.pwd = args[++i], cl.pwdOnCommandLine = true;
            else
                pwdFile = args[++i];
        } else {
            throw UsageError{"opzione sconosciuta: " + a};
        }
    }
    if (cl.help || cl.version) return cl;
    if (i == args.size()) throw UsageError{"manca il comando"};
    const std::string& name = args[i++];
    for (const Command& c : kCommands)
        if (name == c.name) cl.command = &c;
    if (!cl.command) throw UsageError{"comando sconosciuto: " + name};
    const Command& c = *cl.command;
    if (c.json && i < args.size() && args[i] == "--json") cl.json = true, ++i;
    cl.operands.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    // A file name never begins with "-" here: an option in its place is a mistake.
    if (!cl.operands.empty() && cl.operands[0].size() > 1 && cl.operands[0][0] == '-')
        throw UsageError{"opzione sconosciuta per " + name + ": " + cl.operands[0]};
    const int n = static_cast<int>(cl.operands.size());
    if (n < c.min || (c.max >= 0 && n > c.max)) {
        const std::string wanted = c.max < 0 ? "almeno " + Arguments(c.min)
                                   : c.min == c.max
                                       ? Arguments(c.min)
                                       : "da " + std::to_string(c.min) + " a " + Arguments(c.max);
        throw UsageError{name + " vuole " + wanted + ", non " + std::to_string(n) + ": daotool " + name +
                         " " + c.operands};
    }
    if (name == "hold") cl.seconds = Seconds(cl.operands[1]);
    if (pwdFile) {
        cl.pwd = ReadPasswordFile(*pwdFile);
    } else if (!cl.pwd) {
        if (const char* env = std::getenv("LEDRANA_PWD"); env && *env) cl.pwd = env;
    }
    return cl;
}

int Run(const CommandLine& cl) {
    const std::string cmd = cl.command->name;
    const std::vector<std::string>& a = cl.operands;
    const std::string& file = a[0];
    const std::string connect = cl.pwd ? ";pwd=" + *cl.pwd : std::string();
    DBEngine engine;
    if (cmd == "create") {
        Database db = engine.CreateDatabase(file, connect);
        if (a.size() == 2)
            for (const auto& st : SplitStatements(ReadScript(a[1])))
                db.Execute(st);
        db.Close();
        return 0;
    }
    if (cmd == "build") {
        manifest::BuildFromManifest(engine, file, a[1], true).Close();
        return 0;
    }
    if (cmd == "import") {
        const JetImportReport report =
            ImportJetFile(engine, engine.HostPath(file), engine.HostPath(a[1]), file);
        for (const auto& t : report.tables)
            std::cout << t.name << "\t" << t.rows << "\n";
        for (const auto& note : report.notes)
            std::cerr << "nota: " << note << "\n";
        for (const auto& j : report.journal)
            std::cerr << "registro: " << j.table << "\t" << j.key << "\t" << j.field << "\t" << j.text
                      << "\n";
        return 0;
    }
    if (cmd == "compact") {
        if (cl.pwd)
            engine.CompactDatabase(file, a[1], connect);
        else
            engine.CompactDatabase(file, a[1]);
        return 0;
    }
    // A query and the structure only read: a Jet file is read through a temporary conversion and stays as
    // it is.
    const bool readOnly = (cmd == "query" || cmd == "schema") && IsJetFile(engine.HostPath(file));
    Database db = engine.OpenDatabase(file, false, readOnly, ";pwd=" + cl.pwd.value_or(""));
    if (cmd == "hold") {
        std::cout << "tengo aperto " << file << std::endl;
        std::this_thread::sleep_for(std::chrono::seconds(cl.seconds));
    } else if (cmd == "exec") {
        for (std::size_t i = 1; i < a.size(); ++i)
            for (const auto& st : SplitStatements(a[i]))
                db.Execute(st);
    } else if (cmd == "query") {
        if (cl.json)
            daotool::WriteRowsJson(db, a[1], std::cout);
        else
            daotool::WriteRowsText(db, a[1], std::cout);
    } else if (cmd == "schema") {
        if (cl.json)
            daotool::WriteSchemaJson(db, std::cout);
        else
            daotool::WriteSchemaText(db, std::cout);
    } else if (cmd == "querydef") {
        QueryDefs qs = db.QueryDefs();
        for (int i = 0; i < qs.Count(); ++i)
            if (EqualsNoCase(qs[i].Name(), a[1])) {
                qs.Delete(a[1]);
                break;
            }
        db.CreateQueryDef(a[1], a[2]).Close();
    } else if (cmd == "property") {
        TableDef t = db.TableDefs()[a[1]];
        Properties props = t.Properties();
        bool found = false;
        for (int i = 0; i < props.Count(); ++i)
            if (EqualsNoCase(props[i].Name(), a[2])) found = true;
        if (found)
            props[a[2]].SetValue(Variant(a[3]));
        else
            props.Append(t.CreateProperty(a[2], dbText, Variant(a[3])));
    } else if (cmd == "password") {
        db.NewPassword(a[1], a[2]);
    }
    db.Close();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    CommandLine cl;
    try {
        cl = Parse(args);
    } catch (const UsageError& e) {
        std::cerr << "daotool: " << e.what << "\n" << kHelp;
        return 2;
    } catch (const PasswordFileError& e) {
        std::cerr << "daotool: --pwd-file " << e.what << "\n";
        return 2;
    }
    if (cl.help) {
        std::cout << kHelp;
        return 0;
    }
    if (cl.version) {
        std::cout << "daotool " << ledrana::kVersione << " (build " << LEDRANA_BUILD << ")\n";
        return 0;
    }
    if (cl.pwdOnCommandLine)
        std::cerr << "daotool: attenzione: la password data con --pwd è visibile agli altri utenti di questo "
                     "computer (ps); meglio la variabile LEDRANA_PWD o --pwd-file FILE\n";
    try {
        return Run(cl);
    } catch (const ledrana::Error& e) {
        std::cout.flush();
        std::cerr << e.number() << " " << e.description() << "\n";
        return 1;
    }
}
