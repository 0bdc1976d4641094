#pragma once
// What a field rebuild does to each value (private to schema/): whether a value comes back unchanged from
// the new type, changes in a way that may be made once it is written down (rounded, fewer decimals, time of
// day gone), or would be lost; the plain-Italian texts of values; the journal of the changed values.

#include <cstdint>
#include <string>
#include <vector>

#include "dao/dao.h"
#include "window/aggiorna.h"

namespace ledrana::schema_detail {

// The fate of one value. The first two let the rebuild go on; every other one refuses it.
enum class Esito {
    Invariato,       // comes back from the new type as it was (Null stays Null)
    Registrato,      // rounded, fewer decimals or digits, time of day gone, text written another way
    Nullo,           // would become Null: the new type cannot hold it
    Troncato,        // a text cut to the new size
    FuoriIntervallo, // a number or date outside the new type's range
    LettoInParte,    // a text read as a number only by rounding away what follows its separator
    Significato,     // another meaning: 5 becomes True, a Boolean a date, bytes a text
};

// Judges one value: `vecchio` as the old field (type `tipoVecchio`) held it, `nuovo` as the engine wrote
// it into a field of type `tipoNuovo` and size `sizeNuovo`. A zero-length text that becomes Null in a new
// text field is Invariato (the Null pass writes it back); in any other field it is Registrato.
Esito Giudica(const dao::Variant& vecchio, int tipoVecchio, const dao::Variant& nuovo, int tipoNuovo,
              std::int32_t sizeNuovo);

// True when every value of a field of type `da` comes back unchanged from type `a`, so that the values
// need not be looked at (a longer text, a wider number).
bool SenzaPerdite(int da, std::int32_t sizeDa, int a, std::int32_t sizeA);

// A value as the accountant reads it: numbers with the decimal comma and every digit the value has,
// dates as dd/mm/yyyy hh.nn.ss, Vero/Falso, texts as they are, "(nessun valore)" for Null.
std::string TestoValore(const dao::Variant& v);

// One changed value of one row.
struct ValoreCambiato {
    std::string chiave; // "CODICE=12, ANNO=2001", or "riga 5" for a table without a key
    std::string vecchio, nuovo;
};

// Adds the rows to the comparison's journal of changed values, a CSV file beside the archive named after
// it and the time of its first row (w.DiarioConversioni, set by the first call): columns Tabella, Chiave,
// Campo, Valore precedente, Valore nuovo, separated by ";", UTF-8. The file is written beside, synced and
// renamed over, so it holds either all the rows written so far or those it held before. Returns its path;
// throws the file error (the caller then changes nothing).
std::string ScriviDiario(Aggiorna& w, const std::string& tabella, const std::string& campo,
                         const std::vector<ValoreCambiato>& righe);

} // namespace ledrana::schema_detail
