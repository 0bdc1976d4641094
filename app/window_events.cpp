#include "app/window_events.h"

#include "app/manual.h"
#include "install/fileutil.h"
#include "install/inifile.h"
#include "platform/error.h"
#include "platform/files.h"

namespace ledrana {
namespace {

std::string MessaggioCartellaMancante(const std::string& cartella) {
    return "La cartella " + cartella + " non è attualmente disponibile o non esiste più" + "\n\n" +
           "Rispondere NO e verificare: " + "permessi e condivisione della cartella, " +
           "che sia acceso il computer dove risiede la cartella, " +
           "di non aver cancellato o spostato o modificato files o cartelle di Tessaro" + "\n\n" +
           "Rispondere SI per proseguire con la cartella locale predefinita c:\\zu" + "\n\n";
}

} // namespace

void Form_Load(Aggiorna& w) {
    w.Label3.caption = "";
    w.CartellaDefault.text = w.AppPath();

    const std::string dirTxt = GetWinDir(w) + "\\dir.txt";
    if (!EsisteFile(w, dirTxt, true)) {
        // A new installation: the user may choose the data folder.
        w.CartellaZu.text = "C:\\ZU";
    } else {
        std::string cartella;
        try {
            cartella = platform::ReadFirstLine(dirTxt);
        } catch (const Error&) {
            // An unreadable or empty pointer file names no folder; the question below then asks about "".
        }
        w.CartellaZu.text = cartella;
        // An existing installation cannot be moved from this window.
        w.CartellaZu.enabled = false;
        w.Sfoglia.enabled = false;
        if (!EsisteCartella(w, cartella, false)) {
            const int risposta =
                w.dialogs.MsgBox(MessaggioCartellaMancante(cartella), vbYesNo | vbDefaultButton2, "");
            if (risposta != vbYes) w.End();
            w.CartellaZu.text = "c:\\zu";
            w.CartellaDati = w.CartellaZu.text;
            try {
                platform::WriteOneLine(dirTxt, w.CartellaDati);
            } catch (const Error&) {
                // The run rewrites nothing here; it reads dir.txt again and reports what it cannot use.
            }
        }
    }
    w.Aggiornamento.caption = kVersione;
}

void Form_MouseDown(Aggiorna& w, int Button, int, float, float) {
    if (Button == 2) w.Frame2.visible = true;
}

void Sfoglia_Click(Aggiorna& w) {
    w.dialogs.MsgBox("Si consiglia di mantenere la cartella predefinita C:\\ZU: sceglierne un'altra solo per "
                     "usare Tessaro in rete, "
                     "indicando una cartella condivisa del computer che fa da server",
                     vbOKOnly, "");
    const std::optional<std::string> scelta = w.dialogs.BrowseForFolder("Selezionare una cartella:");
    std::string cartella;
    if (scelta) cartella = scelta->substr(0, scelta->find('\0'));
    w.CartellaZu.text = cartella.empty() ? "C:\\ZU" : cartella;
}

void Image2_Click(Aggiorna& w) {
    ApriManuale(w, "zAggiornaLedrana-ZuDuvo");
}

void Command1_Click(Aggiorna& w) {
    w.End();
}

} // namespace ledrana
