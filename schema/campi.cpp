// Field definitions of a compared table: a field of the archive whose type, size or attributes differ
// from the model's is rebuilt with the model's definition, its values moved through a temporary field.
//
// The rebuild of one field is one transaction on the archive. Whatever fails in it, and a move that would
// lose values, rolls it back whole: the field keeps its old definition, values and indexes.

#include <cstdint>
#include <string>

#include "app/run_log.h"
#include "platform/text.h"
#include "schema/confronto.h"
#include "schema/helpers.h"
#include "schema/transazione.h"

namespace ledrana {

using namespace schema_detail;

namespace {

constexpr std::int32_t kContatore = dao::dbFixedField + dao::dbAutoIncrField; // 17

bool TipoTesto(int tipo) {
    return tipo == dao::dbText || tipo == dao::dbMemo;
}

// The single number that an aggregate query returns.
std::int64_t Conta(dao::Database& db, const std::string& sql) {
    dao::Recordset rs = db.OpenRecordset(sql);
    std::int64_t n = 0;
    if (!rs.Eof()) {
        const dao::Variant v = rs.Fields()[0].Value();
        if (!v.IsNull()) n = static_cast<std::int64_t>(v.ToDouble());
    }
    rs.Close();
    return n;
}

std::string Valori(std::int64_t n, const char* uno, const char* molti) {
    return std::to_string(n) + " " + (n == 1 ? uno : molti);
}

// After "update T set Nzz=N": throws when the temporary field did not receive every value of N whole.
// A value is lost when it is not Null and arrived as Null (a conversion the engine cannot make, a number
// outside the new type's range), or when it is a text longer than the new text size and was cut. A
// zero-length text is not counted: it comes back as the neutral value of the new type when the Null pass
// runs on the table. Rounding of numbers to the new type is not a loss.
void VerificaPerdite(dao::Database& db, const std::string& T, const std::string& N, const dao::Field& F1,
                     int tipoVecchio) {
    const std::string tmp = N + "zz";
    std::string nulli = "select count(*) from " + T + " where " + N + " is not null and " + tmp + " is null";
    if (TipoTesto(tipoVecchio)) nulli += " and len(" + N + ") > 0";
    const std::int64_t persi = Conta(db, nulli);
    if (persi > 0) {
        throw Error(3421, "Conversione impossibile nel nuovo tipo del campo: " +
                              Valori(persi, "valore diventerebbe Null", "valori diventerebbero Null"));
    }

    if (F1.Type() != dao::dbText) return;
    const std::int32_t size = F1.Size();
    std::int64_t troncati = 0;
    if (TipoTesto(tipoVecchio)) {
        troncati = Conta(db, "select count(*) from " + T + " where len(" + N + ") > " + std::to_string(size));
    } else {
        // A number, date or Boolean written as text: only the rows that filled the new size can have lost
        // characters.
        dao::Recordset rs = db.OpenRecordset("select " + N + " from " + T + " where len(" + tmp +
                                             ") = " + std::to_string(size));
        while (!rs.Eof()) {
            const dao::Variant v = rs.Fields()[0].Value();
            if (!v.IsNull() && CharCount(v.ToString()) > static_cast<std::size_t>(size)) ++troncati;
            rs.MoveNext();
        }
        rs.Close();
    }
    if (troncati > 0) {
        throw Error(3163, "Il nuovo campo è troppo piccolo: " +
                              Valori(troncati, "valore verrebbe troncato", "valori verrebbero troncati") +
                              " a " + std::to_string(size) + " caratteri");
    }
}

// A free-standing field with the model's definition, set in the order Name, Type, Size, Attributes.
dao::Field NuovoField(const std::string& nome, const dao::Field& F1) {
    dao::Field f;
    f.SetName(nome);
    f.SetType(F1.Type());
    f.SetSize(F1.Size());
    f.SetAttributes(F1.Attributes());
    return f;
}

void Ricostruisci(Aggiorna& w, const dao::TableDef& TD1, dao::TableDef& TD2, const dao::Field& F1,
                  const dao::Field& F2) {
    const std::string N = F1.Name();
    const std::string T = TD1.Name();
    const bool contatore = F1.Attributes() == kContatore;
    const int tipoVecchio = F2.Type();

    Transazione transazione(w.Db2);
    Confr_CancellaFieldInChiave(w, TD2, N);
    if (contatore) {
        TD2.Fields().Delete(N);
        TD2.Fields().Append(NuovoField(N, F1));
    } else {
        TD2.Fields().Append(NuovoField(N + "zz", F1));
        w.Db2.Recordsets().Refresh();
        w.Db2.Execute("update " + T + " set " + N + "zz" + "=" + N);
        VerificaPerdite(w.Db2, T, N, F1, tipoVecchio);
        TD2.Fields().Delete(N);
        // The temporary field has the model's definition and the converted values, and it is the last
        // field: appending N again, copying the values back and deleting the temporary field would give
        // this same field under its own name, one place further on. Renaming it spares two rewrites of
        // every row of the table.
        dao::Field campo = TD2.Fields()[N + "zz"];
        campo.SetName(N);
        campo.SetOrdinalPosition(campo.OrdinalPosition() + 1);
    }
    transazione.Commit();
}

// After a rolled-back rebuild the collections are read again from the archive.
void RileggiTabella(dao::TableDef& TD2) {
    try {
        TD2.Fields().Refresh();
        TD2.Indexes().Refresh();
    } catch (const Error&) {
    }
}

} // namespace

void Confr_ModificaField(Aggiorna& w, dao::TableDef TD1, dao::TableDef TD2) {
    const int campi = TD1.Fields().Count();
    for (std::int16_t i = 0; i < campi; ++i) {
        const dao::Field F1 = TD1.Fields()[i];
        const std::string N = F1.Name();

        dao::Field F2;
        try {
            F2 = TD2.Fields()[N];
        } catch (const Error& e) {
            MemLog(w,
                   std::to_string(e.number()) + " " + e.description() + LF + "no esiste il field:" + N +
                       " sul secondo database",
                   true);
            continue;
        }

        try {
            if (F1.Type() == F2.Type() && F1.Size() == F2.Size() && F1.Attributes() == F2.Attributes())
                continue;
            if (w.Check2.value == 1) {
                const std::string testo =
                    "tabella " + TD1.Name() + " " + TD2.Name() + " campo " + F1.Name() + " " + F2.Name() +
                    " field diverso " + LF + "tipo " + VbStr(F1.Type()) + " - " + VbStr(F2.Type()) + LF +
                    "size " + VbStr(F1.Size()) + " - " + VbStr(F2.Size()) + LF + "attr " +
                    VbStr(F1.Attributes()) + " - " + VbStr(F2.Attributes()) + LF + " MODIFICO";
                if (w.dialogs.MsgBox(testo, vbYesNo, "Confr_ModificaField") != vbYes) continue;
            }
            Ricostruisci(w, TD1, TD2, F1, F2);
        } catch (const Error& e) {
            RileggiTabella(TD2);
            std::string nomeTabella;
            try {
                nomeTabella = TD2.Name();
            } catch (const Error&) {
            }
            MemLog(w,
                   std::string("Funz. Confr_ModificaField") + LF + std::to_string(e.number()) + " " +
                       e.description() + LF + "tabella " + nomeTabella + LF + "field " + N,
                   true);
            w.ErroreConfronto = vbTrue;
            return;
        }
    }
}

} // namespace ledrana
