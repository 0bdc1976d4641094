#include "schema/conversioni.h"

#include <cmath>
#include <optional>

#include "dao/vb/functions.h"
#include "platform/files.h"
#include "platform/text.h"
#include "schema/helpers.h"

namespace ledrana::schema_detail {

namespace {

using dao::Variant;
using Kind = dao::Variant::Kind;

bool TipoTesto(int tipo) {
    return tipo == dao::dbText || tipo == dao::dbMemo;
}

bool TipoNumero(int tipo) {
    switch (tipo) {
    case dao::dbByte:
    case dao::dbInteger:
    case dao::dbLong:
    case dao::dbCurrency:
    case dao::dbSingle:
    case dao::dbDouble:
    case dao::dbDate:
    case dao::dbDecimal:
        return true;
    default:
        return false;
    }
}

bool TipoBinario(int tipo) {
    return tipo == dao::dbBinary || tipo == dao::dbLongBinary || tipo == dao::dbGUID;
}

// The number that the engine reads in a value when it converts it to type `tipoNuovo` (a text as a date
// for a date field, as a number otherwise); empty when it reads none.
std::optional<double> Numero(const Variant& v, int tipoNuovo) {
    if (v.IsNumber() || v.kind() == Kind::Date) return v.ToDouble();
    if (v.kind() != Kind::String) return std::nullopt;
    return tipoNuovo == dao::dbDate ? dao::vb::ParseDate(v.RawString()) : dao::vb::ParseNumber(v.RawString());
}

// The exact number of a value, every digit of it (a Double's shortest text that reads back as it); empty
// for what is no number.
std::optional<dao::Decimal> Esatto(const Variant& v) {
    switch (v.kind()) {
    case Kind::Single:
        return dao::Decimal::Parse(ShortestText(static_cast<float>(v.RawDouble())));
    case Kind::Double:
    case Kind::Date:
        return dao::Decimal::Parse(ShortestText(v.RawDouble()));
    case Kind::String:
        if (std::optional<dao::Decimal> d = dao::Decimal::Parse(v.RawString())) return d;
        if (const std::optional<double> x = dao::vb::ParseNumber(v.RawString()))
            return dao::Decimal::Parse(ShortestText(*x));
        return std::nullopt;
    default: // Boolean, Byte, Integer, Long, Currency and Decimal are exact already
        if (v.IsNumber()) return v.ToDecimal();
        return std::nullopt;
    }
}

// True when the text that a number, date or Boolean became reads back as the same value of its old type.
bool TornaUguale(const std::string& testo, const Variant& vecchio, int tipoVecchio) {
    if (tipoVecchio == dao::dbBoolean) {
        const std::optional<bool> b = dao::vb::ParseBoolean(testo);
        return b && *b == vecchio.ToBoolean();
    }
    if (tipoVecchio == dao::dbDate) {
        const std::optional<double> d = dao::vb::ParseDate(testo);
        // The text shows whole seconds: a day number within a millisecond of it is the same time.
        return d && std::fabs(*d - vecchio.ToDouble()) < 1e-8;
    }
    const std::optional<double> x = dao::vb::ParseNumber(testo);
    if (!x) return false;
    switch (tipoVecchio) {
    case dao::dbSingle:
        return static_cast<float>(*x) == static_cast<float>(vecchio.ToDouble());
    case dao::dbCurrency:
        return std::llround(dao::vb::RoundCurrency(*x) * 10000.0) == vecchio.ToCurrencyScaled();
    case dao::dbDecimal:
        return Esatto(Variant(testo)) == Esatto(vecchio);
    default:
        return *x == vecchio.ToDouble();
    }
}

// The shortest decimal text that reads back as exactly this double, with the decimal comma.
std::string NumeroEsatto(double d) {
    std::string s = ShortestText(d);
    for (char& c : s)
        if (c == '.') c = ',';
    return s;
}

// A CSV field: quoted when it holds the separator, a quote or a line break.
std::string Csv(const std::string& s) {
    return s.find_first_of(";\"\r\n") == std::string::npos ? s : QuoteWith(s, '"');
}

std::string NomeDiario(const std::string& archivio) {
    return schema_detail::TimestampedSibling(archivio, "_conversioni_", ".csv");
}

} // namespace

Esito Giudica(const Variant& vecchio, int tipoVecchio, const Variant& nuovo, int tipoNuovo,
              std::int32_t sizeNuovo) {
    if (vecchio.IsNull()) return Esito::Invariato;
    const bool testo = vecchio.kind() == Kind::String;

    if (testo && vecchio.RawString().empty()) {
        // A new field does not yet accept zero-length text; a text field gets it back from the Null pass,
        // any other field gets the neutral value of its type instead.
        if (nuovo.IsNull()) return TipoTesto(tipoNuovo) ? Esito::Invariato : Esito::Registrato;
    }

    if (TipoBinario(tipoVecchio) || TipoBinario(tipoNuovo) || vecchio.kind() == Kind::Binary) {
        if (nuovo.IsNull()) return Esito::Nullo;
        if (nuovo == vecchio) return Esito::Invariato;
        if (tipoNuovo == dao::dbBinary && vecchio.kind() == Kind::Binary &&
            vecchio.RawString().size() > static_cast<std::size_t>(sizeNuovo))
            return Esito::Troncato;
        return Esito::Significato;
    }

    if (TipoTesto(tipoNuovo)) {
        const std::string pieno = testo ? vecchio.RawString() : vecchio.ToString();
        if (tipoNuovo == dao::dbText && sizeNuovo > 0 &&
            CharCount(pieno) > static_cast<std::size_t>(sizeNuovo))
            return Esito::Troncato;
        if (nuovo.IsNull()) return Esito::Nullo;
        if (nuovo.kind() != Kind::String) return Esito::Significato;
        if (testo) return nuovo.RawString() == pieno ? Esito::Invariato : Esito::Significato;
        return TornaUguale(nuovo.RawString(), vecchio, tipoVecchio) ? Esito::Invariato : Esito::Registrato;
    }

    if (tipoNuovo == dao::dbBoolean) {
        if (nuovo.IsNull()) return Esito::Nullo;
        const bool b = nuovo.ToBoolean();
        if (testo) {
            if (nuovo.ToString() == vecchio.RawString()) return Esito::Invariato;
            // "true" or "-1" name the same value; "1" or "5" would become True.
            std::string maiuscolo = UCase(vecchio.RawString());
            maiuscolo.erase(0, maiuscolo.find_first_not_of(' '));
            maiuscolo.erase(maiuscolo.find_last_not_of(' ') + 1);
            const std::optional<double> n = dao::vb::ParseNumber(maiuscolo);
            return maiuscolo == (b ? "TRUE" : "FALSE") || (n && *n == (b ? -1 : 0)) ? Esito::Registrato
                                                                                    : Esito::Significato;
        }
        const std::optional<double> x = Numero(vecchio, tipoNuovo);
        return x && *x == (b ? -1 : 0) ? Esito::Invariato : Esito::Significato;
    }

    const std::optional<double> x = Numero(vecchio, tipoNuovo);
    if (nuovo.IsNull()) return x ? Esito::FuoriIntervallo : Esito::Nullo;
    if (!x) return Esito::Significato;

    if (!TipoNumero(tipoNuovo)) return nuovo == vecchio ? Esito::Invariato : Esito::Significato;
    if (tipoNuovo == dao::dbDecimal || vecchio.kind() == Kind::Decimal) {
        // To or from a Decimal every digit counts: 28 of them are more than a Double holds.
        const std::optional<dao::Decimal> a = Esatto(vecchio), b = Esatto(nuovo);
        if (a && b && *a == *b) {
            if (!testo) return Esito::Invariato;
            return nuovo.ToString() == vecchio.RawString() ? Esito::Invariato : Esito::Registrato;
        }
        return testo ? Esito::LettoInParte : Esito::Registrato;
    }
    const double y = nuovo.ToDouble();
    if (y == *x) {
        if (!testo) return Esito::Invariato;
        return nuovo.ToString() == vecchio.RawString() ? Esito::Invariato : Esito::Registrato;
    }
    // A text whose number must be rounded to fit ("12,5" or "1.234" into a Long) is not what its writer
    // meant: on an Italian system the point separates thousands.
    if (testo) return Esito::LettoInParte;
    return Esito::Registrato;
}

bool SenzaPerdite(int da, std::int32_t sizeDa, int a, std::int32_t sizeA) {
    // A Decimal's precision and scale are not in its size: its values are always looked at.
    if (da == dao::dbDecimal || a == dao::dbDecimal) return false;
    if (da == a) return (da != dao::dbText && da != dao::dbBinary) || sizeA >= sizeDa;
    const auto tra = [a](std::initializer_list<int> tipi) {
        for (int t : tipi)
            if (t == a) return true;
        return false;
    };
    switch (da) {
    case dao::dbText:
        return a == dao::dbMemo;
    case dao::dbBoolean:
    case dao::dbByte:
        return tra({dao::dbInteger, dao::dbLong, dao::dbSingle, dao::dbDouble, dao::dbCurrency});
    case dao::dbInteger:
        return tra({dao::dbLong, dao::dbSingle, dao::dbDouble, dao::dbCurrency});
    case dao::dbLong:
        return tra({dao::dbDouble, dao::dbCurrency});
    case dao::dbSingle:
    case dao::dbDate:
        return a == dao::dbDouble;
    default:
        return false;
    }
}

std::string TestoValore(const Variant& v) {
    switch (v.kind()) {
    case Kind::Empty:
    case Kind::Null:
        return "(nessun valore)";
    case Kind::Boolean:
        return v.ToBoolean() ? "Vero" : "Falso";
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
        return std::to_string(v.RawInteger());
    case Kind::Currency:
    case Kind::Decimal: {
        std::string s = v.ToString();
        for (char& c : s)
            if (c == '.') c = ',';
        return s;
    }
    case Kind::Single:
    case Kind::Double:
        return NumeroEsatto(v.RawDouble());
    case Kind::Date: {
        std::string s = v.ToString();
        // A fraction of a second that the date's text does not show.
        const double secondi = v.RawDouble() * 86400.0;
        if (std::fabs(secondi - std::round(secondi)) > 1e-3) s += " (" + NumeroEsatto(v.RawDouble()) + ")";
        return s;
    }
    case Kind::String:
        return v.RawString();
    case Kind::Binary:
        return "(" + std::to_string(v.RawString().size()) + " byte)";
    }
    return {};
}

std::string ScriviDiario(Aggiorna& w, const std::string& tabella, const std::string& campo,
                         const std::vector<ValoreCambiato>& righe) {
    if (w.DiarioConversioni.empty()) {
        // A name of this run's own: one that something stands at already is not used.
        const std::string nome = NomeDiario(w.NomeDb2);
        w.DiarioConversioni = nome;
        for (int n = 2; platform::NameTaken(w.DiarioConversioni); ++n)
            w.DiarioConversioni = nome.substr(0, nome.size() - 4) + "-" + std::to_string(n) + ".csv";
    }
    const std::string& percorso = w.DiarioConversioni;
    std::string testo;
    platform::RemoveLink(percorso); // put there since the last rows were written: not the journal
    if (platform::FileExists(percorso)) {
        testo = platform::ReadAllBytes(percorso);
    } else {
        // The byte order mark lets a spreadsheet read the accented letters.
        testo = "\xEF\xBB\xBFTabella;Chiave;Campo;Valore precedente;Valore nuovo\r\n";
    }
    for (const ValoreCambiato& r : righe) {
        testo += Csv(tabella) + ";" + Csv(r.chiave) + ";" + Csv(campo) + ";" + Csv(r.vecchio) + ";" +
                 Csv(r.nuovo) + "\r\n";
    }
    platform::WriteDerivedFile(w.NomeDb2, percorso, testo);
    return percorso;
}

} // namespace ledrana::schema_detail
