// Jet/DAO error numbers with our Italian descriptions, and the mapping of SQLite failures onto them.

#include "dao/store/internal.h"

#include "dao/vb/functions.h"
#include "platform/paths.h"
#include "platform/vb_errors.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace ledrana::dao {
namespace {

struct ErrorText {
    int number;
    const char* text;
};

// What to do when another program holds an archive.
#define CHIUDERE_ALTRI                                                                                       \
    "Chiudere il programma che usa l'archivio sugli altri computer (o su questo) e riprovare."

// '|' stands for the name (or value) the error is about.
constexpr ErrorText kTexts[] = {
    {3000, "Errore riservato (|): non esiste un messaggio per questo errore."},
    {3001, "Argomento non valido."},
    {3010, "La tabella '|' esiste già."},
    {3011, "Impossibile trovare l'oggetto '|'."},
    {3012, "L'oggetto '|' esiste già."},
    {3020, "Update o CancelUpdate senza AddNew o Edit."},
    {3021, "Nessun record corrente."},
    {3022, "Le modifiche richieste alla tabella non sono state apportate perché creerebbero valori "
           "duplicati nell'indice, nella chiave primaria o nella relazione."},
    {3023, "AddNew o Edit già in uso."},
    {3024, "Impossibile trovare il file '|'."},
    {3026, "Spazio su disco insufficiente."},
    {3027, "Impossibile aggiornare. Il database o l'oggetto è di sola lettura."},
    {3031, "Password non valida."},
    {3034, "Si è tentato di eseguire il commit o il rollback di una transazione senza BeginTrans."},
    {3043, "Errore del disco o della rete: l'archivio '|' non è stato scritto. Verificare il disco o la "
           "connessione alla cartella condivisa e riprovare."},
    {3044, "'|' non è un percorso valido."},
    {3045, "Impossibile utilizzare '|': file già in uso da un altro utente o processo. " CHIUDERE_ALTRI},
    {3047, "Record troppo grande."},
    {3051, "Impossibile aprire il file '|'. È già aperto in modo esclusivo da un altro utente, oppure "
           "è necessaria l'autorizzazione per visualizzarne i dati."},
    {3058, "L'indice o la chiave primaria non può contenere un valore Null."},
    {3061, "Parametri insufficienti. Previsto |."},
    {3065, "Impossibile eseguire una query di selezione."},
    {3075, "Errore di sintassi nell'espressione della query '|'."},
    {3078, "Impossibile trovare la tabella o la query di input '|'. Verificare che esista e che il "
           "nome sia stato digitato correttamente."},
    {3085, "Funzione '|' non definita nell'espressione."},
    {3090, "La tabella contiene già un campo contatore."},
    {3113, "Impossibile aggiornare '|': il campo non è aggiornabile."},
    {3125, "'|' non è un nome valido."},
    {3127, "Nell'istruzione INSERT INTO è presente un nome di campo sconosciuto '|'."},
    {3129, "Istruzione SQL non valida. Prevista 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT' o 'UPDATE'."},
    {3131, "Errore di sintassi nella clausola FROM."},
    {3134, "Errore di sintassi nell'istruzione INSERT INTO."},
    {3144, "Errore di sintassi nell'istruzione UPDATE."},
    {3163, "Il campo è troppo piccolo per il numero di dati che si desidera aggiungere."},
    {3167, "Il record è eliminato."},
    {3191, "Impossibile definire un campo più volte."},
    {3204, "Il database esiste già."},
    {3008, "La tabella '|' è già aperta in modo esclusivo da un altro utente o processo. " CHIUDERE_ALTRI},
    {3211,
     "Impossibile bloccare la tabella '|': è in uso da parte di un altro utente o processo. " CHIUDERE_ALTRI},
    {3219, "Operazione non valida."},
    {3259, "Tipo di dati del campo non valido."},
    {3264, "Nessun campo definito. Impossibile aggiungere un oggetto TableDef o Index."},
    {3265, "Elemento non trovato in questo insieme."},
    {3266, "Impossibile aggiungere un oggetto Field. L'oggetto fa già parte di un insieme Fields."},
    {3267, "La proprietà non può essere impostata su un oggetto che fa già parte di un insieme."},
    {3270, "Proprietà non trovata."},
    {3280, "Impossibile eliminare un campo che fa parte di un indice o che è necessario al sistema."},
    {3281, "Impossibile eliminare l'indice: è l'indice corrente o è utilizzato in una relazione."},
    {3283, "La chiave primaria esiste già."},
    {3284, "L'indice esiste già."},
    {3290, "Errore di sintassi nell'istruzione CREATE TABLE."},
    {3292, "Errore di sintassi nella definizione del campo."},
    {3314, "Il campo '|' non può contenere un valore Null perché la proprietà Required del campo è "
           "impostata su True. Immettere un valore nel campo."},
    {3315, "Il campo '|' non può essere una stringa di lunghezza zero."},
    {3316, "Uno o più valori non sono consentiti dalla regola di convalida '|' impostata per '|'. Immettere "
           "un valore accettabile per l'espressione."},
    {3317, "Uno o più valori non sono consentiti dalla regola di convalida '|' impostata per '|'. Immettere "
           "un valore accettabile per l'espressione di questo campo."},
    {3376, "La tabella '|' non esiste."},
    {3343, "Formato di database '|' non riconosciuto."},
    {3349, "Overflow di un campo numerico."},
    {3356, "Il database '|' è già aperto in modo esclusivo da un altro utente o processo. " CHIUDERE_ALTRI},
    {3367, "Impossibile aggiungere. Nell'insieme esiste già un oggetto con lo stesso nome."},
    {3380, "Il campo '|' esiste già nella tabella '|'."},
    {3420, "Oggetto non valido o non più impostato."},
    {3421, "Errore di conversione del tipo di dati."},
    {3464, "Tipo di dati non corrispondente nell'espressione criterio."},
    // Wordings of the SQL translator.
    {3096, "Impossibile utilizzare una funzione di aggregazione nella clausola WHERE (|)."},
    {3128, "Specificare la tabella contenente i record da eliminare."},
    {3135, "Errore di sintassi nell'operazione JOIN."},
    {3138, "Errore di sintassi nella clausola ORDER BY."},
    {3141, "L'istruzione SELECT include una parola riservata o un nome di argomento non corretto o mancante, "
           "oppure la punteggiatura non è corretta."},
    {3142, "Caratteri trovati dopo la fine dell'istruzione SQL."},
    {3289, "Errore di sintassi nella clausola CONSTRAINT."},
    {3291, "Errore di sintassi nell'istruzione CREATE INDEX."},
    {3293, "Errore di sintassi nell'istruzione ALTER TABLE."},
    {3295, "Errore di sintassi nell'istruzione DROP TABLE o DROP INDEX."},
    {3346, "Il numero dei valori della query e quello dei campi di destinazione non coincidono."},
};

#undef CHIUDERE_ALTRI

} // namespace

std::string JetErrorText(int number, std::string_view arg1, std::string_view arg2) {
    const char* text = nullptr;
    for (const auto& e : kTexts)
        if (e.number == number) text = e.text;
    if (!text && number < 1000) return VbErrorDescription(number); // VB's run-time errors
    if (!text) return "Errore " + std::to_string(number) + " del motore di database.";
    std::string out;
    int arg = 0;
    for (const char* p = text; *p; ++p) {
        if (*p == '|') {
            out += arg == 0 ? arg1 : arg2;
            ++arg;
        } else {
            out += *p;
        }
    }
    return out;
}

namespace detail {

Error JetError(int number, std::string_view arg1, std::string_view arg2) {
    return Error(number, JetErrorText(number, arg1, arg2));
}

void ThrowJet(int number, std::string_view arg1, std::string_view arg2) {
    throw JetError(number, arg1, arg2);
}

namespace {
std::string After(const std::string& msg, const char* prefix) {
    auto p = msg.find(prefix);
    if (p == std::string::npos) return {};
    std::string rest = msg.substr(p + std::strlen(prefix));
    return rest;
}

// The Windows name of a connection's main file, for the errors about the file as a whole.
std::string FileName(sqlite3* db) {
    const char* f = db ? sqlite3_db_filename(db, "main") : nullptr;
    if (!f || !*f) return {};
    try {
        return platform::WindowsPath(f);
    } catch (const Error&) {
        return f;
    }
}

// A table name given as context (the other contexts are SQL texts).
bool IsName(std::string_view context) {
    return !context.empty() && context.find(' ') == std::string_view::npos;
}

// True when the folder of `file` has no room left, or when the file or its journal has reached the size
// limit of this process.
bool NoRoomFor(const std::string& file) {
    struct rlimit limit {};
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        struct stat st {};
        for (const std::string& f : {file, file + "-journal"})
            if (::stat(f.c_str(), &st) == 0 && static_cast<rlim_t>(st.st_size) + 65536 > limit.rlim_cur)
                return true;
    }
    struct statvfs fs {};
    const std::string::size_type slash = file.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
    return ::statvfs(folder.c_str(), &fs) == 0 && fs.f_bavail == 0;
}

} // namespace

Error SqliteError(sqlite3* db, int rc, std::string_view context) {
    std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    int ext = db ? sqlite3_extended_errcode(db) : rc;
    int primary = ext & 0xff;
    // The SQL functions report "NNNN description" (or "#NNNN description").
    if (auto raised = vb::FunctionError(msg)) return *raised;
    if (primary == SQLITE_CONSTRAINT) {
        if (ext == SQLITE_CONSTRAINT_NOTNULL) return JetError(3314, After(msg, "failed: "));
        return JetError(3022);
    }
    if (primary == SQLITE_READONLY) return JetError(3027);
    // Refused by RefuseUngatedWrites: a write that did not store a table's waiting values first.
    if (primary == SQLITE_AUTH) return JetError(3000, "scrittura di una tabella con valori in attesa");
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
        // Another program holds the file beyond the busy wait: while writing we could not lock the table,
        // while reading someone holds it exclusively.
        if (!IsName(context)) return JetError(3045, FileName(db));
        return JetError(db && !sqlite3_get_autocommit(db) ? 3211 : 3008, context);
    }
    if (primary == SQLITE_FULL) return JetError(3026);
    if (primary == SQLITE_IOERR) {
        // A write refused because the disk (or the file-size limit) is full is a full disk too.
        const int err = db ? sqlite3_system_errno(db) : 0;
        if (err == ENOSPC || err == EFBIG || err == EDQUOT) return JetError(3026);
        // SQLite keeps the error number of the last system call, which a clean-up after the failed write
        // may have replaced: a write that failed where the disk has no room left, or where the file (or its
        // journal) has reached the size this process may give a file, is a full disk all the same.
        if ((ext == SQLITE_IOERR_WRITE || ext == SQLITE_IOERR_FSYNC) && db)
            if (const char* file = sqlite3_db_filename(db, "main"); file && *file && NoRoomFor(file))
                return JetError(3026);
        return JetError(3043, FileName(db));
    }
    if (primary == SQLITE_NOTADB) return JetError(3343, context);
    if (primary == SQLITE_CANTOPEN) return JetError(3051, context);
    if (msg.rfind("no such table: ", 0) == 0) {
        std::string name = After(msg, "no such table: ");
        auto dot = name.find('.');
        if (dot != std::string::npos && name.compare(0, 4, "main") == 0) name = name.substr(dot + 1);
        return JetError(3078, name);
    }
    if (msg.rfind("no such column: ", 0) == 0) return JetError(3061, "1");
    if (msg.rfind("no such function: ", 0) == 0) return JetError(3085, After(msg, "no such function: "));
    if (msg.find("syntax error") != std::string::npos) return JetError(3075, context);
    if (msg.find("datatype mismatch") != std::string::npos) return JetError(3464);
    return Error(3000, JetErrorText(3000, msg));
}

void ThrowSqlite(sqlite3* db, int rc, std::string_view context) {
    throw SqliteError(db, rc, context);
}

} // namespace detail
} // namespace ledrana::dao
