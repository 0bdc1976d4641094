// Jet's messages: the Italian descriptions of Jet/DAO error numbers (VB's run-time errors come from the
// program's table, platform/vb_errors.h), and the errors that the SQL functions report through SQLite.

#include "dao/vb/messages.h"
#include "dao/vb/functions.h"
#include "dao/vb/functions_internal.h"
#include "platform/vb_errors.h"

#include <string>

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
    {3125, "'|' non è un nome valido. Verificare che non contenga caratteri o segni di punteggiatura non "
           "validi e che non sia troppo lungo."},
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

} // namespace ledrana::dao

namespace ledrana::dao::vb {

std::string ErrorDescription(int number) {
    return JetErrorText(number);
}

std::optional<Error> FunctionError(std::string_view message) {
    std::size_t i = !message.empty() && message[0] == '#' ? 1 : 0;
    const std::size_t start = i;
    int number = 0;
    while (i < message.size() && i - start < 6 && message[i] >= '0' && message[i] <= '9')
        number = number * 10 + (message[i++] - '0');
    if (i == start || number == 0 || i >= message.size() || message[i] != ' ') return std::nullopt;
    return Error(number, std::string(message.substr(i + 1)));
}

} // namespace ledrana::dao::vb
