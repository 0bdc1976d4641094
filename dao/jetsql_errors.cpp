// The errors of the SQL translator and of the SQL functions. VB's descriptions come from the program's
// table (platform/vb_errors.h), Jet's from the engine's (JetErrorText); only the wordings that belong to
// the translator alone are here.

#include <string>

#include "dao/dao.h"
#include "dao/functions.h"
#include "dao/functions_internal.h"
#include "dao/jetsql_internal.h"
#include "platform/vb_errors.h"

namespace ledrana::dao::jetsql {

namespace {

struct Message {
    int number;
    const char* text;
};

// The translator's own wordings, for the numbers that the engine's table (JetErrorText) does not hold.
// '|' stands for the argument.
const Message kMessages[] = {
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

// Jet's wordings of 3075, one per fault.
const char* const kExpressionMessages[] = {
    "Errore di sintassi (operatore mancante) nell'espressione della query '|'.",
    "Errore di sintassi nella stringa nell'espressione della query '|'.",
    "Errore di sintassi nella data nell'espressione della query '|'.",
    "Manca ), ] o Elemento nell'espressione della query '|'.",
    "Numero di argomenti errato nella funzione utilizzata nell'espressione della query '|'.",
};

std::string Fill(const char* text, std::string_view argument) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        if (*p == '|')
            out += argument;
        else
            out += *p;
    }
    return out;
}

} // namespace

Error SqlError(int number, std::string_view argument) {
    if (number < 1000) return Error(number, VbErrorDescription(number)); // VB's run-time errors
    for (const Message& m : kMessages)
        if (m.number == number) return Error(number, Fill(m.text, argument));
    return Error(number, JetErrorText(number, argument));
}

Error ExpressionError(ExprFault fault, std::string_view expression) {
    return Error(3075, Fill(kExpressionMessages[static_cast<int>(fault)], expression));
}

} // namespace ledrana::dao::jetsql

namespace ledrana::dao::vb {

std::optional<Error> FunctionError(std::string_view message) {
    std::size_t i = 0;
    int number = 0;
    while (i < message.size() && message[i] >= '0' && message[i] <= '9')
        number = number * 10 + (message[i++] - '0');
    if (i == 0 || number == 0 || i >= message.size() || message[i] != ' ') return std::nullopt;
    return Error(number, std::string(message.substr(i + 1)));
}

} // namespace ledrana::dao::vb

namespace ledrana::dao::vb {

std::string ErrorDescription(int number) {
    return jetsql::SqlError(number).description();
}

} // namespace ledrana::dao::vb
