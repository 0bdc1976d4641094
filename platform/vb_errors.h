#pragma once
// VB run-time error numbers raised by the platform, with their Italian descriptions.
// Every file-system call of platform/ throws ledrana::Error built here, so a caller that formats
// "number blank description" shows the same text the original runtime showed.

#include "platform/error.h"

namespace ledrana {

inline constexpr int kErrInvalidCall = 5;       // "Chiamata di routine o argomento non validi"
inline constexpr int kErrBadFileName = 52;      // "Nome o numero di file non valido"
inline constexpr int kErrFileNotFound = 53;     // "Impossibile trovare il file"
inline constexpr int kErrFileExists = 58;       // "File già esistente"
inline constexpr int kErrDiskFull = 61;         // "Disco pieno"
inline constexpr int kErrInputPastEnd = 62;     // "Input oltre la fine del file"
inline constexpr int kErrPermissionDenied = 70; // "Autorizzazione negata"
inline constexpr int kErrPathFileAccess = 75;   // "Errore di accesso al percorso/file"
inline constexpr int kErrPathNotFound = 76;     // "Impossibile trovare il percorso"

// Italian description of a VB run-time error number; "Errore definito dall'applicazione o dall'oggetto"
// for a number the table does not hold.
const char* VbErrorDescription(int number);

// The error to throw for a VB run-time error number, with its description from the table above.
Error VbError(int number);

} // namespace ledrana
