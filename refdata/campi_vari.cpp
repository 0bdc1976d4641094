// Stored values that older versions left empty, the version stamp, and the first year of an archive that
// never had one.

#include <cstdint>
#include <ctime>
#include <string>

#include "refdata/helpers.h"
#include "refdata/refdata.h"
#include "schema/confronto.h"
#include "window/run_log.h"

namespace ledrana {

using namespace refdata_detail;

namespace {

std::int16_t AnnoCorrente() {
    const std::time_t adesso = std::time(nullptr);
    return static_cast<std::int16_t>(std::localtime(&adesso)->tm_year + 1900);
}

// The only year of the articles' dates: the current year when there are no articles, 0 when they span
// more than one. The grouped query is read to its end so that one row and several are told apart.
std::int16_t AnnoArticoli(dao::Database& db, int& passo) {
    passo = 6;
    dao::Recordset rs = db.OpenRecordset("SELECT Year([Dt]) AS ANNO From Articoli GROUP BY Year([Dt])");
    std::int16_t anno = 0;
    if (rs.Eof()) {
        anno = AnnoCorrente();
    } else {
        passo = 7;
        const dao::Variant primo = rs.Fields()["Anno"].Value();
        int righe = 0;
        for (; !rs.Eof(); rs.MoveNext())
            ++righe;
        anno = righe == 1 ? primo.ToInteger() : 0;
    }
    rs.Close();
    return anno;
}

} // namespace

bool AggiornaCampiVari(Aggiorna& w, const std::string& NomeDb) {
    ProgressTick(w);
    int passo = 0;
    try {
        dao::Database db = ApreDb(w, NomeDb);
        dao::Recordset rs = db.OpenRecordset("anni");
        if (rs.RecordCount() > 0) {
            const std::string vecchiaVer = Amp(TestNulls(rs.Fields()["ver"].Value()));
            rs.Close();

            // clang-format off
            passo = 1;
            db.Execute("UPDATE ANNI SET VER='" + w.Aggiornamento.caption + "'");
            passo = 2;
            db.Execute("Update FATTURECLI   set CLIFOR=CLIENTE,CFP='C',CLIENTE='' where CLIFOR='' OR CLIFOR=NULL");
            db.Execute("Update FATTURECLI_R set CLIFOR=CLIENTE,CFP='C',CLIENTE='' where CLIFOR='' OR CLIFOR=NULL");
            db.Execute("Update ORDINIFOR   set TIPODOC='O' where TIPODOC='' OR TIPODOC=NULL");
            db.Execute("Update ORDINIFOR_R set TIPODOC='O' where TIPODOC='' OR TIPODOC=NULL");
            passo = 3;
            db.Execute("Update TIPIFATTURECLI set CFP='C' where CFP='' OR CFP=NULL");
            passo = 4;
            db.Execute("Update TIPIFATTURECLI set TIPO='Fattura' where tipostampa='FATTURA' and (tipo='' OR tipo=NULL)");
            db.Execute("Update TIPIFATTURECLI set TIPO='Fattura' where tipostampa='FATTACC' and (tipo='' OR tipo=NULL)");
            passo = 5;
            db.Execute("Update TIPIFATTURECLI set TIPO='Documento di trasporto D.D.T.' where tipostampa='BOLLA' and (tipo='' OR tipo=NULL)");
            db.Execute("Update TIPIFATTURECLI set TIPO='Scontr.scarico(non fiscale)' where tipostampa='SCONTRINOSCARICO' and (tipo='' OR tipo=NULL)");
            // Versions up to 028 had no price list choice per client.
            if (vecchiaVer <= "028") db.Execute("Update CLIENTI set PREZZI123=1 ");
            // clang-format on
        } else {
            rs.Close();
            const std::int16_t anno = AnnoArticoli(db, passo);
            if (anno == 0) return false;
            const std::string a = std::to_string(anno);

            passo = 8;
            db.Execute("UPDATE ARTICOLI SET ANNO=" + a + " WHERE ANNO=0");
            db.Execute("UPDATE MOVIMENTI SET ANNO=" + a + " WHERE ANNO=0");
            passo = 9;
            db.Execute("UPDATE REGISTRIIVA SET ANNO=" + a + " WHERE ANNO=0");
            db.Execute("UPDATE TOTALIIVA SET ANNO=" + a + " WHERE ANNO=0");
            passo = 10;
            dao::Recordset anni = db.OpenRecordset("anni");
            anni.AddNew();
            anni.Fields()["Anno"].SetValue(dao::Variant::FromInteger(anno));
            anni.Fields()["EURO"].SetValue(dao::Variant(false));
            anni.Update();
            anni.Close();
        }
        db.Close();
        return true;
    } catch (const Error& e) {
        MemLog(w,
               ErrorText(e) + LF + "funz. AggiornaCampiVari" + LF + "file " + NomeDb +
                   " f=" + std::to_string(passo),
               true);
        return false;
    }
}

} // namespace ledrana
