#include "install/demo.h"

#include "install/companyini.h"
#include "install/fileutil.h"

namespace ledrana {

bool CopiaArchiviDemo(Reporter& w, const std::string& cartellaDati, const std::string& cartellaModello,
                      const ApriDatabase& apreDb) {
    const std::string ditta = "DittaEsempio";
    const std::string cartella = cartellaDati + "\\" + ditta;
    w.ProgressTick();

    CreaCartella(w, cartella, false);
    for (const char* file : {"Cont32.mdb", "Scad32.mdb", "logo.jpg"})
        CopiaFile(w, cartellaModello + "\\" + file, cartella + "\\" + file);

    if (!CreaFileIni(w, cartellaDati + "\\ledrana\\" + ditta + ".ini")) return false;

    dao::Database db = apreDb(cartella + "\\Cont32.mdb");
    dao::Recordset rs = db.OpenRecordset("tipifatturecli");
    while (!rs.Eof()) {
        rs.Edit();
        rs.Fields()["logo"].SetValue(dao::Variant("logo.jpg"));
        rs.Update();
        rs.MoveNext();
    }
    rs.Close();
    db.Close();

    for (const char* file : {"NoteFinaliOrdF.txt", "NoteFinaliOrdOC.txt", "NoteFinaliOrdFC.txt"})
        CopiaFile(w, cartellaModello + "\\" + file, cartella + "\\" + file);
    return true;
}

} // namespace ledrana
