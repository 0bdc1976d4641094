// The errors of the SQL translator. Their descriptions come from Jet's messages (JetErrorText); only Jet's
// wordings of the faults of an expression are here.

#include <string>

#include "dao/sql/jetsql_internal.h"
#include "dao/vb/messages.h"

namespace ledrana::dao::jetsql {

namespace {

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
    return Error(number, JetErrorText(number, argument));
}

Error ExpressionError(ExprFault fault, std::string_view expression) {
    return Error(3075, Fill(kExpressionMessages[static_cast<int>(fault)], expression));
}

} // namespace ledrana::dao::jetsql
