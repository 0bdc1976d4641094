// The errors of the SQL translator and of the SQL functions. Their descriptions come from the engine's
// table (JetErrorText), which takes VB's from the program's (platform/vb_errors.h); only Jet's wordings of
// the faults of an expression are here.

#include <string>

#include "dao/sql/jetsql_internal.h"
#include "dao/vb/functions.h"
#include "dao/vb/functions_internal.h"
#include "dao/vb/messages.h"
#include "platform/vb_errors.h"

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

namespace ledrana::dao::vb {

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

namespace ledrana::dao::vb {

std::string ErrorDescription(int number) {
    return jetsql::SqlError(number).description();
}

} // namespace ledrana::dao::vb
