// The run's report as a browser shows it: drawn offscreen by Qt's rich-text engine from the page the run
// writes, and left in build/gui-shots/rapporto.png (the README's picture).

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTextDocument>
#include <gtest/gtest.h>

#include <sstream>

#include "platform/scripted_dialogs.h"
#include "window/run_report_html.h"

using namespace ledrana;

namespace {

// A run over an old installation, as the report records it: one company updated with changes of every
// kind, one whose archive was in use, the password box, an INI file, a note with characters of markup.
RunReport SampleRun() {
    RunReport r;
    r.start = ReportClock::from_time_t(1796625000);
    r.end = r.start + std::chrono::seconds(42);
    r.versionBefore = "027";
    r.versionNow = "048.5";
    r.dataFolder = "C:\\ZU";
    r.outcome = "Aggiornamento NON eseguito completamente";

    const std::string alfa = "C:\\ZU\\Alfa\\CONT32.MDB";
    r.StartArchive("Alfa.ini", alfa);
    const struct {
        ChangeKind kind;
        const char *table, *object, *detail;
        std::int64_t count;
    } changes[] = {
        {ChangeKind::TableCreated, "CENTRICOSTO", "", "", -1},
        {ChangeKind::TableRemoved, "CAMBI", "", "", 6},
        {ChangeKind::FieldCreated, "CLIENTI", "Pec", "Testo (80)", -1},
        {ChangeKind::FieldChanged, "CLIENTI", "RagSoc", "Testo (40) → Testo (60)", -1},
        {ChangeKind::FieldChanged, "CLIENTI", "Fido", "Precisione doppia → Valuta", -1},
        {ChangeKind::FieldRemoved, "Clienti", "Telex", "", -1},
        {ChangeKind::IndexCreated, "CLIENTI", "RagSoc", "", -1},
        {ChangeKind::IndexRebuilt, "CLIENTI", "RagSoc", "", -1}, // made a moment ago: not said again
        {ChangeKind::QueryChanged, "", "QrySaldiConti", "", -1},
        {ChangeKind::FixedTableCopied, "PROVINCE", "", "", 108},
        {ChangeKind::NullsCompleted, "CLIENTI", "Pec", "", 300},
        {ChangeKind::ZeroLengthAllowed, "CLIENTI", "Pec", "", -1}, // a new field's own: not said
        {ChangeKind::ValuesJournalled, "CLIENTI", "Fido",
         "C:\\ZU\\Alfa\\CONT32_conversioni_20261207-021901.csv", 12},
        {ChangeKind::ChangeRefused, "ARTICOLI", "Causale",
         "Funz. Confr_ModificaField\n3163 Il campo non è stato cambiato perché il nuovo tipo perderebbe dei "
         "valori: 2 valori verrebbero troncati a 3 caratteri. Prime righe: ID=7 valore \"ABCD\"",
         -1},
    };
    for (const auto& c : changes)
        r.Change(alfa, c.kind, c.table, c.object, c.detail, c.count);
    r.ArchiveOutcome(alfa, false, "ditta Alfa.ini database " + alfa + " non aggiornato correttamente");
    r.Note(alfa, "Un file di blocco di Jet <CONT32.LDB> & vecchio è stato trovato accanto all'archivio");
    r.StartArchive("Beta.ini", "C:\\ZU\\BETA\\CONT32.MDB");
    r.ArchiveOutcome("C:\\ZU\\BETA\\CONT32.MDB", false,
                     "ditta Beta.ini database C:\\ZU\\BETA\\CONT32.MDB non aggiornato: l'archivio non è "
                     "utilizzabile e non è stato modificato.");
    r.Company("Gamma.ini");

    ScriptedDialogs shown;
    shown.InputWhenContains("PASSWORD", "segreto");
    ReportedDialogs boxes(shown, r);
    boxes.InputBox("Ditta: Beta\n E' PROTETTA:  IMPOSTARE LA PASSWORD", "");
    boxes.MsgBox("Aggiornamento NON eseguito completamente", vbOKOnly, "");

    r.IniWritten("C:\\ZU\\ledrana\\Alfa.ini", "Config", "DecP", std::nullopt, "###");
    r.IniWritten("C:\\ZU\\ledrana\\Alfa.ini", "Config", "ArrotImporto", std::string("0"), "0"); // unchanged
    r.IniWritten("C:\\ZU\\LEDRANA\\INI\\INI.INI", "Ver", "AggiornamentoLedrana", std::string("027"), "048.5");
    r.Note("", "La condivisione \\\\SERVER\\dati non gestisce i blocchi: <script>alert(1)</script>");
    // A name made by another program: bytes of another code page, a cut sequence, and no end in sight.
    r.Note("", "Tabella \xC8\xE0 \xE2\x82 " + std::string(3000, 'X') + " \xC3\xA8");
    return r;
}

TEST(ReportView, DrawsEveryFactOfTheRunAndNothingElse) {
    const RunReport run = SampleRun();
    const std::string html = RunReportHtml(run);

    QTextDocument page;
    page.setHtml(QString::fromStdString(html));
    page.setTextWidth(760);
    const QSize size = page.documentLayout()->documentSize().toSize();
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    page.drawContents(&painter);
    painter.end();
    const QString folder = QStringLiteral(LEDRANA_BINARY_DIR "/gui-shots");
    QDir().mkpath(folder);
    ASSERT_TRUE(image.save(folder + "/rapporto.png"));

    // Bytes that are not UTF-8 show as the replacement character; the UTF-8 around them stays; a name
    // longer than the page breaks instead of widening it.
    EXPECT_NE(html.find("Tabella \uFFFD\uFFFD \uFFFD\uFFFD XXX"), std::string::npos);
    EXPECT_NE(html.find("X \u00E8"), std::string::npos);
    EXPECT_NE(html.find("overflow-wrap:anywhere"), std::string::npos);

    // What a reader sees, in the page's order (one fact a line).
    const std::string text = page.toPlainText().toStdString();
    std::istringstream shown(
        "Rapporto dell'aggiornamento di Tessaro\n42,0 s\n027\n048.5\n"
        "Aggiornamento NON eseguito completamente\nDitta Alfa.ini\nC:\\ZU\\Alfa\\CONT32.MDB\n"
        "CENTRICOSTO\nCAMBI\nTesto (40) → Testo (60)\nTelex\nQrySaldiConti\n108\n300\n"
        "CONT32_conversioni_20261207-021901.csv\n3163 Il campo non è stato cambiato\n"
        "<CONT32.LDB> & vecchio\nDitta Beta.ini\nnon è utilizzabile\nDitta Gamma.ini\n"
        "Impossibile aggiornare la ditta Gamma.ini\n***\nDecP\nAggiornamentoLedrana\n"
        "<script>alert(1)</script>");
    std::size_t at = 0;
    for (std::string fact; std::getline(shown, fact);) {
        const std::size_t found = text.find(fact, at);
        EXPECT_NE(found, std::string::npos) << "missing or out of order: " << fact;
        if (found != std::string::npos) at = found;
    }
    const struct {
        const char* fragment;
        std::size_t times;
    } counted[] = {
        {"Ditte aggiornate\n0", 1},  {"Ditte non aggiornate\n3", 1},
        {"Finestre mostrate\n2", 1}, {"RagSoc", 2},
        {"ArrotImporto", 0},         {"segreto", 0},
    };
    for (const auto& c : counted) {
        std::size_t n = 0;
        for (std::size_t p = text.find(c.fragment); p != std::string::npos; p = text.find(c.fragment, p + 1))
            ++n;
        EXPECT_EQ(n, c.times) << c.fragment;
    }
    // One file that fetches nothing and runs nothing; its links lead within it or to the run's files.
    for (const char* outside : {"<script", "src=", "url(", "@import", "<link"})
        EXPECT_EQ(html.find(outside), std::string::npos) << outside;
    for (std::size_t at = html.find("href=\""); at != std::string::npos; at = html.find("href=\"", at + 1))
        EXPECT_TRUE(html.compare(at + 6, 1, "#") == 0 || html.compare(at + 6, 7, "file://") == 0)
            << html.substr(at, 80);
    EXPECT_GT(size.height(), 600);
}

} // namespace
