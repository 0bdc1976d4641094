// What a file beside an archive holds, told from its first bytes (no database is opened here: only ApreDb
// opens databases), and the report of the compaction's files found beside an archive that is missing.

#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "schema/confronto.h"

namespace ledrana {

namespace {

std::uint32_t BigEndian(const std::string& b, std::size_t at, std::size_t bytes) {
    std::uint32_t n = 0;
    for (std::size_t i = 0; i < bytes; ++i)
        n = n << 8 | static_cast<unsigned char>(b[at + i]);
    return n;
}

// dd/mm/yyyy hh.nn.ss in local time, as dates are written for the user; "" when it cannot be read.
std::string Modificato(const std::string& path) {
    std::error_code ec;
    const auto quando = std::filesystem::last_write_time(platform::HostPath(path), ec);
    if (ec) return {};
    const std::time_t t = std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(
            std::chrono::file_clock::to_sys(quando)));
    std::tm locale{};
    localtime_r(&t, &locale);
    char testo[32];
    std::strftime(testo, sizeof testo, "%d/%m/%Y %H.%M.%S", &locale);
    return testo;
}

} // namespace

FileKind KindOfFile(const std::string& path) {
    if (!platform::FileExists(path)) return FileKind::Missing;
    const std::string head = platform::ReadFileStart(path, 100);
    if (head.size() >= 20 && head[0] == 0 &&
        (head.compare(4, 15, "Standard Jet DB") == 0 || head.compare(4, 15, "Standard ACE DB") == 0))
        return FileKind::Jet;
    if (head.size() < 100 || head.compare(0, 16, std::string("SQLite format 3\0", 16)) != 0)
        return FileKind::Other;
    // The header's page count holds when the header says it is current (it is, for every file the engine
    // writes); a file shorter or longer than its pages was cut or is being written.
    std::uint32_t pagina = BigEndian(head, 16, 2);
    if (pagina == 1) pagina = 65536;
    const std::uint32_t pagine = BigEndian(head, 28, 4);
    const bool contoValido = pagine != 0 && BigEndian(head, 24, 4) == BigEndian(head, 92, 4);
    const std::int64_t atteso = static_cast<std::int64_t>(pagine) * pagina;
    const std::int64_t lunghezza = platform::FileLen(path);
    if (pagina < 512 || (contoValido ? lunghezza != atteso : lunghezza % pagina != 0))
        return FileKind::CutArchive;
    return FileKind::Archive;
}

void NoteFilesBesideMissingArchive(Aggiorna& w, const std::string& NomeDb) {
    struct Beside {
        const char* suffix;
        const char* what;
    } const files[] = {
        {".tmp", "la copia compattata dell'archivio fatta dall'ultimo compattamento"},
        {".tmp2", "la copia dell'archivio com'era prima dell'ultimo compattamento"},
    };
    for (const Beside& f : files) {
        const std::string path = NomeDb + f.suffix;
        std::string contenuto;
        std::int64_t byte = -1;
        try {
            switch (KindOfFile(path)) {
            case FileKind::Missing:
                continue;
            case FileKind::Archive:
                contenuto = "è un archivio completo, che si può rimettere al posto di quello mancante";
                break;
            case FileKind::CutArchive:
                contenuto = "è un archivio incompleto (più corto o più lungo delle sue pagine): non va usato "
                            "per ripristinare";
                break;
            case FileKind::Jet:
                contenuto = "è un archivio in formato Jet (Access), che il programma converte quando lo apre";
                break;
            case FileKind::Other:
                contenuto = "non è un archivio";
                break;
            }
            byte = platform::FileLen(path);
        } catch (const Error& e) {
            contenuto = "non si può leggere (" + std::to_string(e.number()) + " " + e.description() + ")";
        }
        std::string descrizione = path + " (" + f.what + ")";
        if (byte >= 0) descrizione += ", " + std::to_string(byte) + " byte";
        const std::string quando = Modificato(path);
        if (!quando.empty()) descrizione += ", modificato il " + quando;
        w.runReport.Note(NomeDb,
                         "L'archivio " + NomeDb + " non c'è; accanto c'è " + descrizione + ": " + contenuto +
                             ". L'aggiornamento non l'ha toccato né rimesso al posto dell'archivio: per "
                             "riavere l'archivio, copiare il file giusto con il nome " +
                             NomeDb + " e ripetere l'aggiornamento.");
    }
}

void NoteFilesOfInterruptedRuns(Aggiorna& w, const std::string& NomeDb, const std::string& reportsFolder) {
    namespace fs = std::filesystem;
    const std::size_t slash = NomeDb.find_last_of('\\');
    if (slash == std::string::npos) return;
    const std::string cartella = NomeDb.substr(0, slash);
    std::string nome = UCase(NomeDb.substr(slash + 1));
    if (const std::size_t dot = nome.rfind('.'); dot != std::string::npos && dot > 0) nome.erase(dot);
    struct Kind {
        std::string prefix, ending;
        const char* what;
    } const kinds[] = {
        {nome + "_RIMOSSI_", ".MDB", "l'archivio di recupero di ciò che un confronto ha tolto"},
        {nome + "_CONVERSIONI_", ".CSV", "il registro dei valori cambiati da un confronto"},
    };
    std::vector<std::pair<std::string, const char*>> trovati; // file name, what it is
    std::error_code ec;
    for (fs::directory_iterator it(platform::HostPath(cartella), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string file = it->path().filename().string();
        const std::string upper = UCase(file);
        for (const Kind& k : kinds)
            if (upper.size() > k.prefix.size() + k.ending.size() && upper.rfind(k.prefix, 0) == 0 &&
                upper.compare(upper.size() - k.ending.size(), k.ending.size(), k.ending) == 0)
                trovati.emplace_back(file, k.what);
    }
    if (trovati.empty()) return;
    // The reports written so far, read only when there is something to look for in them.
    std::string rapporti;
    for (fs::directory_iterator it(platform::HostPath(reportsFolder), ec), end; !ec && it != end;
         it.increment(ec)) {
        try {
            rapporti += UCase(platform::ReadAllBytes(platform::WindowsPath(it->path().string())));
        } catch (const Error&) {
        }
    }
    for (const auto& [file, what] : trovati) {
        if (rapporti.find(UCase(file)) != std::string::npos) continue;
        const std::string path = cartella + "\\" + file;
        const std::string quando = Modificato(path);
        w.runReport.Leftover(NomeDb, path + " (" + what + ")" + (quando.empty() ? "" : ", del " + quando) +
                                         ": lasciato da un aggiornamento interrotto, che non l'ha "
                                         "nominato in nessun rapporto.");
    }
}

} // namespace ledrana
