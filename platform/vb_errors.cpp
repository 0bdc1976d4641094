#include "platform/vb_errors.h"

namespace ledrana {

namespace {

struct Entry {
    int number;
    const char* description;
};

// Our own Italian wording, one table for the whole program.
constexpr Entry kTable[] = {
    {kErrInvalidCall, "Chiamata di routine o argomento non validi"},
    {6, "Overflow"},
    {7, "Memoria esaurita"},
    {9, "Indice non incluso nell'intervallo"},
    {11, "Divisione per zero"},
    {13, "Tipo non corrispondente"},
    {kErrBadFileName, "Nome o numero di file non valido"},
    {kErrFileNotFound, "Impossibile trovare il file"},
    {55, "File già aperto"},
    {kErrFileExists, "File già esistente"},
    {kErrDiskFull, "Disco pieno"},
    {kErrInputPastEnd, "Input oltre la fine del file"},
    {kErrPermissionDenied, "Autorizzazione negata"},
    {74, "Impossibile rinominare con un'unità differente"},
    {kErrPathFileAccess, "Errore di accesso al percorso/file"},
    {kErrPathNotFound, "Impossibile trovare il percorso"},
    {91, "Variabile oggetto o variabile del blocco With non impostata"},
    {94, "Utilizzo non valido di Null"},
};

} // namespace

const char* VbErrorDescription(int number) {
    for (const Entry& e : kTable)
        if (e.number == number) return e.description;
    return "Errore definito dall'applicazione o dall'oggetto";
}

Error VbError(int number) {
    return Error(number, VbErrorDescription(number));
}

} // namespace ledrana
