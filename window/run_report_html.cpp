#include "window/run_report_html.h"
#include "window/run_report_json.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <initializer_list>
#include <map>
#include <sstream>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace ledrana {

namespace {

struct KindText {
    const char* heading;
    bool table;         // a column for the table
    const char* object; // the column of the field, index or query; nullptr when there is none
    const char* detail; // the column of the detail; nullptr when there is none
    const char* count;  // the column of the count; nullptr when there is none
};

// Indexed by ChangeKind.
constexpr KindText kKinds[kChangeKinds] = {
    {"Tabelle create", true, nullptr, nullptr, nullptr},
    {"Tabelle eliminate, con le righe che contenevano", true, nullptr, nullptr, "Righe"},
    {"Campi creati", true, "Campo", "Tipo", nullptr},
    {"Campi cambiati", true, "Campo", "Tipo prima → dopo", nullptr},
    {"Campi eliminati", true, "Campo", nullptr, nullptr},
    {"Indici creati", true, "Indice", nullptr, nullptr},
    {"Indici ricostruiti", true, "Indice", nullptr, nullptr},
    {"Indici eliminati", true, "Indice", nullptr, nullptr},
    {"Query salvate create", false, "Query", nullptr, nullptr},
    {"Query salvate cambiate", false, "Query", "SQL", nullptr},
    {"Query salvate eliminate", false, "Query", nullptr, nullptr},
    {"Tabelle fisse copiate dal modello", true, nullptr, nullptr, "Righe"},
    {"Valori Null completati", true, "Campo", nullptr, "Valori"},
    {"Campi che ora accettano il testo vuoto", true, "Campo", nullptr, nullptr},
    {"Valori cambiati dal nuovo tipo e registrati", true, "Campo", "File", "Valori"},
    // What the data fixes wrote has a view of its own (DataFixes).
    {"Righe aggiunte", true, nullptr, nullptr, nullptr},
    {"Valori cambiati", true, nullptr, nullptr, nullptr},
    {"Righe tolte", true, nullptr, nullptr, nullptr},
    {"Cambiamenti non eseguiti", true, "Oggetto", "Testo del registro", nullptr},
};

constexpr const char* kStyle = R"(
body{font-family:"DejaVu Sans",Arial,sans-serif;font-size:10pt;color:#222;margin:1.5em;max-width:72em}
h1{font-size:16pt;margin:0 0 .3em}
h2{font-size:13pt;border-bottom:2px solid #2a5d8f;padding-bottom:.1em;margin-top:1.4em}
h3{font-size:11pt;margin:1em 0 .3em;font-family:"DejaVu Sans Mono",monospace}
h3.company{font-size:12pt;font-family:inherit;color:#2a5d8f}
h4{font-size:10pt;margin:.7em 0 .2em;color:#2a5d8f}
table{border-collapse:collapse;margin:.2em 0 .6em}
th,td{border:1px solid #bbb;padding:.15em .5em;text-align:left;vertical-align:top}
th{background:#e8eef5}
td.n{text-align:right}
.ok{color:#17612b;font-weight:bold}
.ko{color:#a8201a;font-weight:bold}
.warn{color:#8a4b00;font-weight:bold}
.verdict{font-size:12pt;border:2px solid currentColor;padding:.4em .6em;margin:.5em 0}
td,p,h3,li,pre{overflow-wrap:anywhere}
.preview{border:2px solid #c77d00;background:#fff4df;padding:.5em;margin:.5em 0}
.archive{border-left:4px solid #2a5d8f;padding-left:.8em;margin:.8em 0}
.none{color:#666;font-style:italic}
pre{white-space:pre-wrap;margin:0;font-family:inherit}
table.overview td,table.overview th{font-size:9pt}table.overview td.ok,table.overview td.ko,table.overview td.warn{white-space:nowrap}
.def{color:#555}p.fix{margin:.1em 0}.predicted{color:#8a4b00;font-style:italic}
.host{color:#666}
@media screen and (min-width:60em){.changes{columns:2;column-gap:1.5em}.kind{break-inside:avoid-column}
.kind.wide{column-span:all}.changes table{width:100%}}
@media print{body{margin:0;max-width:none;font-size:7.5pt}ul.notes{columns:2;column-gap:1.2em;padding-left:1.2em}.archive p{margin:.25em 0}h4{margin:.4em 0 .1em}ul.notes li{break-inside:avoid}@page{margin:10mm}th,td{padding:0 .3em}
.changes,.appendix{columns:2;column-gap:1.2em}.changes pre{font-size:6.5pt}.archive li{font-size:7pt}
.kind.wide{column-span:all}.appendix h2{column-span:all}.kind{break-inside:avoid-column}.changes table{width:100%}h2,h3,h4{break-after:avoid}
section.company,h2.after-companies{break-before:page}tr{break-inside:avoid}a{color:inherit;text-decoration:none}}
)";

// A file:// address of a host path, each byte outside the unreserved ones %-encoded.
std::string FileUrl(const std::string& host) {
    static const char* hex = "0123456789ABCDEF";
    std::string url = "file://";
    for (const unsigned char c : host) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

// Bytes that are not UTF-8 (a name made by another program in another code page) show as the replacement
// character.
std::string Escape(const std::string& raw) {
    const std::string text = ValidUtf8(raw);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        case '\r':
            if (i + 1 < text.size() && text[i + 1] == '\n') break;
            out += "<br>";
            break;
        case '\n':
            out += "<br>";
            break;
        default:
            // Other control characters have no place in a page.
            out += static_cast<unsigned char>(c) < 0x20 && c != '\t' ? ' ' : c;
        }
    }
    return out;
}

std::tm LocalTime(ReportClock::time_point t) {
    const std::time_t s = ReportClock::to_time_t(t);
    std::tm tm{};
    localtime_r(&s, &tm);
    return tm;
}

std::string Format(ReportClock::time_point t, const char* format) {
    const std::tm tm = LocalTime(t);
    char buf[64];
    return std::strftime(buf, sizeof buf, format, &tm) ? std::string(buf) : std::string();
}

std::string Duration(double seconds) {
    char buf[64];
    if (seconds < 60) {
        std::snprintf(buf, sizeof buf, "%.1f s", seconds);
        std::string s = buf;
        for (char& c : s)
            if (c == '.') c = ',';
        return s;
    }
    const long total = static_cast<long>(seconds + 0.5);
    std::snprintf(buf, sizeof buf, "%ld min %02ld s", total / 60, total % 60);
    return buf;
}

// Every text of a preview names the real folder where the run named its copy.
class View {
public:
    explicit View(const RunReport& r) : r_(r) {}

    std::string T(const std::string& text) const { return Escape(r_.RealNames(text)); }

    std::string Page() {
        const bool preview = r_.preview;
        out_ += "<!DOCTYPE html>\n<html lang=\"it\">\n<head>\n<meta charset=\"utf-8\">\n<title>";
        out_ += preview ? "Anteprima dell'aggiornamento" : "Rapporto dell'aggiornamento";
        out_ += " — " + T(Format(r_.start, "%d/%m/%Y %H:%M:%S")) + "</title>\n<style>" + kStyle +
                "</style>\n</head>\n<body>\n";
        out_ += preview ? "<h1>Anteprima dell'aggiornamento di Tessaro</h1>\n"
                        : "<h1>Rapporto dell'aggiornamento di Tessaro</h1>\n";
        if (preview)
            out_ +=
                "<p class=\"preview\">Anteprima: l'aggiornamento è stato eseguito su copie degli archivi e "
                "dei file INI. Nessun file dell'installazione è stato modificato; questo rapporto dice che "
                "cosa farebbe l'aggiornamento. I file dei valori registrati che nomina sono stati scritti "
                "accanto alle copie, non accanto agli archivi.</p>\n";
        Verdict();
        Overview();
        WhatFailed();
        Removed();
        Summary();
        Companies();
        Boxes();
        out_ += "<div class=\"appendix\">\n";
        IniFiles();
        FilesCopied();
        out_ += "</div>\n";
        Notes();
        out_ += "</body>\n</html>\n";
        return out_;
    }

private:
    void Row(const char* label, const std::string& htmlValue) {
        out_ += std::string("<tr><th>") + label + "</th><td>" + htmlValue + "</td></tr>\n";
    }

    void Summary() {
        const double seconds = r_.end == ReportClock::time_point{}
                                   ? 0
                                   : std::chrono::duration<double>(r_.end - r_.start).count();
        out_ += "<table class=\"summary\">\n";
        Row("Inizio", T(Format(r_.start, "%d/%m/%Y %H:%M:%S")));
        if (r_.end != ReportClock::time_point{}) Row("Fine", T(Format(r_.end, "%d/%m/%Y %H:%M:%S")));
        Row("Durata", T(Duration(seconds)));
        Row("Versione installata prima",
            r_.versionBefore ? (r_.versionBefore->empty() ? "nessuna registrata" : T(*r_.versionBefore))
                             : "nessuna (nuova installazione)");
        Row(r_.preview ? "Versione che sarebbe installata" : "Versione installata ora", T(r_.versionNow));
        Row("Cartella dati",
            T(r_.dataFolder) +
                (r_.dataFolder.empty()
                     ? std::string()
                     : " <span class=\"host\">(" + T(platform::HostPath(r_.dataFolder)) + ")</span>"));
        if (!r_.modelFolder.empty())
            Row("Cartella della nuova versione", T(r_.modelFolder) + " <span class=\"host\">(" +
                                                     T(platform::HostPath(r_.modelFolder)) + ")</span>");
        if (!r_.computer.empty() || !r_.user.empty())
            Row("Computer e utente", T(r_.computer) + (r_.user.empty() ? "" : ", utente " + T(r_.user)));
        if (!r_.program.empty()) Row("Programma", T(r_.program));
        if (!r_.commandLine.empty()) Row("Riga di comando", "<code>" + T(r_.commandLine) + "</code>");
        RestorePointRow();
        const bool ok = r_.outcome == "Aggiornamento eseguito";
        Row("Esito", "<span class=\"" + std::string(ok ? "ok" : "ko") + "\">" +
                         (r_.outcome.empty() ? std::string("il programma è terminato prima della fine")
                                             : T(r_.outcome)) +
                         "</span>");
        Row("Ditte aggiornate", std::to_string(r_.CompaniesUpdated()));
        Row("Ditte non aggiornate", std::to_string(r_.CompaniesNotUpdated()));
        Row("Finestre mostrate", std::to_string(r_.boxes().size()));
        out_ += "</table>\n";
    }

    // The run's outcome in one line, with what it left undone: green only when nothing was.
    void Verdict() {
        const RunEnd end = r_.End();
        const int companies = r_.CompaniesNotUpdated(), archives = r_.ArchivesNotUpdated();
        std::string text, kind;
        switch (end) {
        case RunEnd::Done:
            text = r_.preview ? "L'aggiornamento terminerebbe con \"Aggiornamento eseguito\", senza nulla da "
                                "segnalare"
                              : "Aggiornamento eseguito: tutte le ditte e tutti gli archivi aggiornati";
            kind = "ok";
            break;
        case RunEnd::Incomplete: {
            const auto count = [](int n, const char* one, const char* many) {
                return std::to_string(n) + " " + (n == 1 ? one : many);
            };
            std::string what = count(companies, "ditta", "ditte") + " e " +
                               count(archives, "archivio", "archivi") + " non aggiornati completamente";
            if (companies == 0 && archives == 0) what = "errori incontrati durante l'aggiornamento";
            text = (r_.preview ? "L'aggiornamento terminerebbe con \"Aggiornamento eseguito\", ma con "
                               : "Aggiornamento eseguito, ma con ") +
                   what + ": vedere sotto";
            kind = "warn";
            break;
        }
        case RunEnd::NotDone:
            text = r_.preview
                       ? "L'aggiornamento terminerebbe con \"Aggiornamento NON eseguito completamente\""
                       : "Aggiornamento NON eseguito completamente";
            kind = "ko";
            break;
        case RunEnd::LockHeld:
            text = "Un altro aggiornamento teneva la cartella dati: nulla è stato modificato";
            kind = "ko";
            break;
        case RunEnd::Interrupted:
            text = r_.preview ? "L'aggiornamento non arriverebbe alla fine"
                              : "Il programma è terminato prima della fine dell'aggiornamento";
            kind = "ko";
            break;
        }
        out_ += "<p class=\"verdict " + kind + "\" data-verdict=\"" + kind + "\">" + T(text) + "</p>\n";
    }

    // Under the verdict, what the run did not get done (a preview: would not): the errors met and the
    // changes refused, each with its archive.
    void WhatFailed() {
        std::string items;
        const auto item = [&](const std::string& where, const std::string& what) {
            items +=
                "<li>" + (where.empty() ? std::string() : "<b>" + T(where) + "</b>: ") + T(what) + "</li>\n";
        };
        for (const std::string& p : r_.problems())
            item("", p);
        for (const CompanyReport& c : r_.companies())
            for (const std::string& p : c.problems)
                item("Ditta " + c.file, p);
        for (const ArchiveReport& a : r_.archives()) {
            for (const std::string& p : a.problems)
                item(a.path, p);
            for (const ReportChange& c : a.changes)
                if (c.kind == ChangeKind::ChangeRefused && !Contains(a.problems, c.detail))
                    item(a.path, c.detail);
        }
        if (items.empty()) return;
        out_ += std::string("<h2>") + (r_.preview ? "Che cosa non riuscirebbe" : "Che cosa non è riuscito") +
                "</h2>\n<ul class=\"ko\">\n" + items + "</ul>\n";
    }

    // The anchor of an archive's section: its place among the report's archives.
    std::string Anchor(const ArchiveReport& a) const {
        for (std::size_t i = 0; i < r_.archives().size(); ++i)
            if (&r_.archives()[i] == &a) return "archivio-" + std::to_string(i + 1);
        return "";
    }

    // A file the run wrote beside an archive: a link to it, or, in a preview, its name marked as one the
    // real run would write (the preview's own was written in its copy and is gone).
    std::string FileLink(const std::string& path) const {
        if (r_.preview) return T(path) + " <span class=\"predicted\">(lo scriverebbe l'aggiornamento)</span>";
        return "<a href=\"" + Escape(FileUrl(platform::HostPath(path))) + "\">" + T(path) + "</a>";
    }

    static std::string Count(const ArchiveReport& a, std::initializer_list<ChangeKind> kinds) {
        int n = 0;
        for (const ReportChange& c : a.changes)
            for (ChangeKind k : kinds)
                if (c.kind == k) ++n;
        return n ? std::to_string(n) : std::string("—");
    }

    // One row per company and archive: its outcome, its time, what was done to it, and its files.
    void Overview() {
        out_ +=
            "<h2 id=\"panoramica\">Panoramica</h2>\n<table class=\"overview\">\n<tr><th>Ditta</th>"
            "<th>Archivio</th><th>Esito</th><th>Tempo</th><th>Creati</th><th>Cambiati</th><th>Eliminati</th>"
            "<th>Rifiutati</th><th>Sistemati</th><th>File</th></tr>\n";
        const auto row = [this](const std::string& company, const ArchiveReport* a,
                                const std::string& problem) {
            std::string outcome, kind, files;
            if (!a) {
                outcome = "non aggiornata";
                kind = "ko";
            } else if (a->outcome.empty()) {
                outcome = "non finito";
                kind = "ko";
            } else if (!a->updated) {
                outcome = "non aggiornato";
                kind = "ko";
            } else if (!a->Whole()) {
                outcome = "aggiornato, con errori";
                kind = "warn";
            } else {
                outcome = "aggiornato";
                kind = "ok";
            }
            out_ += "<tr data-outcome=\"" + kind + "\"><td>" + T(company) + "</td><td>";
            if (!a) {
                out_ += T(problem) + "</td><td class=\"" + kind + "\">" + outcome + "</td>";
                out_ += "<td></td><td></td><td></td><td></td><td></td><td></td><td></td></tr>\n";
                return;
            }
            out_ += "<a href=\"#" + Anchor(*a) + "\">" + T(a->path) + "</a></td><td class=\"" + kind + "\">" +
                    outcome + "</td><td class=\"n\">" + T(Duration(a->seconds)) + "</td>";
            using K = ChangeKind;
            for (const std::string& n :
                 {Count(*a, {K::TableCreated, K::FieldCreated, K::IndexCreated, K::QueryCreated}),
                  Count(*a, {K::FieldChanged, K::IndexRebuilt, K::QueryChanged, K::ZeroLengthAllowed}),
                  Count(*a, {K::TableRemoved, K::FieldRemoved, K::IndexRemoved, K::QueryRemoved}),
                  Count(*a, {K::ChangeRefused}),
                  Count(*a, {K::FixedTableCopied, K::NullsCompleted, K::ValuesJournalled, K::RowsAdded,
                             K::ValuesChanged, K::RowsRemoved})})
                out_ += "<td class=\"n\">" + n + "</td>";
            for (const ReportChange& c : a->changes)
                if (c.kind == ChangeKind::ValuesJournalled && files.find(T(c.detail)) == std::string::npos)
                    files += (files.empty() ? "" : "<br>") + std::string("valori: ") + FileLink(c.detail);
            if (!a->recovery.empty())
                files += (files.empty() ? "" : "<br>") + std::string("recupero: ") + FileLink(a->recovery);
            out_ += "<td>" + files + "</td></tr>\n";
        };
        for (const CompanyReport& c : r_.companies()) {
            bool any = false;
            for (const ArchiveReport& a : r_.archives())
                if (a.company == c.file) {
                    any = true;
                    row(c.file, &a, "");
                }
            if (!any)
                row(c.file, nullptr,
                    c.problem.empty() ? "Impossibile aggiornare la ditta " + c.file : c.problem);
        }
        for (const ArchiveReport& a : r_.archives()) {
            bool named = false;
            for (const CompanyReport& c : r_.companies())
                named = named || a.company == c.file;
            if (!named) row("", &a, "");
        }
        out_ += "</table>\n";
    }

    // What the run removed from the archives, and where the copy of what it held is: one row per archive.
    void Removed() {
        std::string rows;
        for (const ArchiveReport& a : r_.archives()) {
            std::string what;
            const auto list = [&](ChangeKind kind, const char* heading) {
                std::string names;
                for (const ReportChange& c : a.changes)
                    if (c.kind == kind)
                        names +=
                            (names.empty() ? "" : ", ") + T(c.table.empty()    ? c.object
                                                            : c.object.empty() ? c.table
                                                                               : c.table + "." + c.object);
                if (!names.empty())
                    what += (what.empty() ? "" : "<br>") + std::string("<b>") + heading + "</b>: " + names;
            };
            list(ChangeKind::TableRemoved, "tabelle");
            list(ChangeKind::FieldRemoved, "campi");
            list(ChangeKind::QueryRemoved, "query salvate");
            list(ChangeKind::IndexRemoved, "indici (non contengono dati)");
            if (what.empty()) continue;
            rows += "<tr><td>" + T(a.path) + "</td><td>" + what + "</td><td>" +
                    (a.recovery.empty() ? std::string("nessun valore da conservare") : FileLink(a.recovery)) +
                    "</td></tr>\n";
        }
        if (rows.empty()) return;
        out_ += std::string("<h2>") + (r_.preview ? "Che cosa toglierebbe" : "Che cosa è stato tolto") +
                "</h2>\n<table>\n<tr><th>Archivio</th><th>Che cosa</th><th>La copia di ciò che conteneva"
                "</th></tr>\n" +
                rows + "</table>\n";
    }

    static bool Contains(const std::vector<std::string>& lines, const std::string& line) {
        for (const std::string& l : lines)
            if (l == line) return true;
        return false;
    }

    void RestorePointRow() {
        if (r_.preview) {
            if (!r_.restorePoint.empty())
                Row("Punto di ripristino",
                    "l'aggiornamento ne aprirebbe uno in " + T(r_.dataFolder + "\\LEDRANA\\ripristino"));
            return;
        }
        if (r_.restorePoint.empty()) {
            if (!r_.dataFolder.empty()) Row("Punto di ripristino", "nessuno");
            return;
        }
        const std::string name = r_.restorePoint.substr(r_.restorePoint.rfind('\\') + 1);
        Row("Punto di ripristino",
            T(r_.restorePoint) + (r_.restorePointIncomplete ? " (incompleto: vedere le note)" : "") +
                "<br>La cartella dati torna com'era prima di questo aggiornamento con <code>aggiorna-batch "
                "--ripristina " +
                T(name) + "</code>.");
    }

    bool IsArchive(const std::string& path) const {
        for (const ArchiveReport& a : r_.archives())
            if (UCase(a.path) == UCase(path)) return true;
        return false;
    }

    // The notes about an archive. The recovery archive they keep naming is named once, above them.
    void ArchiveNotes(const ArchiveReport& a) {
        const std::string recovery = " dell'archivio di recupero " + a.recovery;
        bool named = false;
        std::string items;
        for (const ReportNote& n : r_.notes()) {
            if (n.archive.empty() || UCase(n.archive) != UCase(a.path)) continue;
            std::string text = n.text;
            for (std::size_t at; !a.recovery.empty() && (at = text.find(recovery)) != std::string::npos;) {
                text.replace(at, recovery.size(), " dell'archivio di recupero");
                named = true;
            }
            items += "<li>" + T(text) + "</li>\n";
        }
        if (items.empty()) return;
        out_ += "<h4>Note</h4>\n";
        if (named) out_ += "<p>Archivio di recupero: " + FileLink(a.recovery) + "</p>\n";
        out_ += "<ul class=\"notes\">\n" + items + "</ul>\n";
    }

    // The changes of an archive by kind, a table each. Kinds that name many small things (fields that now
    // take empty text, Null values completed, indexes, saved queries, fixed tables) take one row per table
    // with its objects listed, so that a company's changes stay within a few printed pages.
    void Changes(const ArchiveReport& a) {
        bool any = false;
        std::string tables;
        for (int k = 0; k < kChangeKinds; ++k) {
            const KindText& kt = kKinds[k];
            const auto kind = static_cast<ChangeKind>(k);
            if (IsDataFix(kind)) continue;
            const bool grouped = kind == ChangeKind::ZeroLengthAllowed ||
                                 kind == ChangeKind::NullsCompleted || kind == ChangeKind::IndexCreated ||
                                 kind == ChangeKind::IndexRebuilt || kind == ChangeKind::IndexRemoved ||
                                 kind == ChangeKind::QueryCreated || kind == ChangeKind::QueryRemoved;
            std::string rows;
            if (grouped) {
                std::vector<std::pair<std::string, std::string>> byTable; // table, its objects
                for (const ReportChange& c : a.changes) {
                    if (c.kind != kind) continue;
                    std::string item = T(c.object.empty() ? c.table : c.object);
                    if (!c.detail.empty()) item += " <span class=\"def\">" + T(c.detail) + "</span>";
                    if (c.count >= 0) item += " (" + std::to_string(c.count) + ")";
                    const std::string table = kt.table ? c.table : "";
                    auto at = byTable.begin();
                    while (at != byTable.end() && UCase(at->first) != UCase(table))
                        ++at;
                    if (at == byTable.end()) {
                        byTable.emplace_back(table, item);
                    } else {
                        at->second += ", " + item;
                    }
                }
                for (const auto& [table, items] : byTable)
                    rows += "<tr data-change=\"" + std::to_string(k) + "\">" +
                            (kt.table ? "<td>" + T(table) + "</td>" : std::string()) + "<td>" + items +
                            "</td></tr>\n";
            } else {
                for (const ReportChange& c : a.changes) {
                    if (c.kind != kind) continue;
                    // A refusal that the archive's errors, just above, already say.
                    if (kind == ChangeKind::ChangeRefused && Contains(a.problems, c.detail)) continue;
                    rows += "<tr data-change=\"" + std::to_string(k) + "\">";
                    if (kt.table) rows += "<td>" + T(c.table) + "</td>";
                    if (kt.object) rows += "<td>" + T(c.object) + "</td>";
                    if (kind == ChangeKind::QueryChanged) rows += "<td><pre>" + T(c.before) + "</pre></td>";
                    if (kt.detail) rows += "<td><pre>" + T(c.detail) + "</pre></td>";
                    if (kt.count)
                        rows += "<td class=\"n\">" +
                                (c.count < 0 ? std::string("—") : std::to_string(c.count)) + "</td>";
                    rows += "</tr>\n";
                }
            }
            if (rows.empty()) continue;
            any = true;
            // Saved queries' SQL before and after reads best across the page.
            tables += std::string("<div class=\"kind") + (kind == ChangeKind::QueryChanged ? " wide" : "") +
                      "\"><h4>" + kt.heading + "</h4>\n<table>\n<tr>";
            if (kt.table) tables += "<th>Tabella</th>";
            if (grouped) {
                tables += std::string("<th>") + (kt.object ? kt.object : "Oggetto") +
                          (kt.count ? std::string(" (") + kt.count + ")" : std::string()) + "</th>";
            } else {
                if (kt.object) tables += std::string("<th>") + kt.object + "</th>";
                if (kind == ChangeKind::QueryChanged)
                    tables += "<th>SQL prima</th><th>SQL dopo</th>";
                else if (kt.detail)
                    tables += std::string("<th>") + kt.detail + "</th>";
                if (kt.count) tables += std::string("<th>") + kt.count + "</th>";
            }
            tables += "</tr>\n" + rows + "</table></div>\n";
        }
        if (const std::string fixes = DataFixes(a); !fixes.empty()) {
            any = true;
            tables += fixes;
        }
        if (!any)
            out_ += "<p class=\"none\">Nessun cambiamento della struttura né dei valori.</p>\n";
        else
            out_ += "<div class=\"changes\">\n" + tables + "</div>\n";
    }

    static bool IsDataFix(ChangeKind k) {
        return k == ChangeKind::RowsAdded || k == ChangeKind::ValuesChanged || k == ChangeKind::RowsRemoved;
    }

    // What the data fixes and the reference tables wrote: a paragraph per procedure, its tables and fields
    // one after the other ("Movimenti.Anno: 4002 righe, 0 → 2005"), the first values each said once and,
    // of the rows added or removed, the first one.
    std::string DataFixes(const ArchiveReport& a) const {
        std::vector<std::pair<std::string, std::string>> byProcedure; // procedure, its items
        for (const ReportChange& c : a.changes) {
            if (!IsDataFix(c.kind)) continue;
            std::vector<std::string> first;
            std::istringstream lines(c.detail);
            for (std::string line; std::getline(lines, line);)
                if (std::find(first.begin(), first.end(), line) == first.end()) first.push_back(line);
            const std::string n = std::to_string(c.count);
            std::string item;
            if (c.kind == ChangeKind::ValuesChanged) {
                item =
                    "<b>" + T(c.table + "." + c.object) + "</b> " + n + (c.count == 1 ? " riga" : " righe");
                for (std::size_t i = 0; i < first.size(); ++i)
                    item += (i ? ", " : ": ") + T(first[i]);
            } else {
                const bool added = c.kind == ChangeKind::RowsAdded;
                item = "<b>" + T(c.table) + "</b> " + n +
                       (c.count == 1 ? (added ? " riga aggiunta" : " riga tolta")
                                     : (added ? " righe aggiunte" : " righe tolte"));
                if (!first.empty()) item += " (" + T(first.front()) + (first.size() > 1 ? "; …" : "") + ")";
            }
            auto at = byProcedure.begin();
            while (at != byProcedure.end() && at->first != c.by)
                ++at;
            if (at == byProcedure.end())
                byProcedure.emplace_back(c.by, item);
            else
                at->second += "; " + item;
        }
        if (byProcedure.empty()) return "";
        std::string out = "<div class=\"kind wide\"><h4>Dati scritti dalle correzioni e dalle tabelle di "
                          "riferimento (righe, primi valori prima → dopo)</h4>\n";
        for (const auto& [procedure, items] : byProcedure)
            out += "<p class=\"fix\" data-fix=\"" + T(procedure) + "\"><i>" + T(procedure) +
                   "</i>: " + items + ".</p>\n";
        return out + "</div>\n";
    }

    void Archive(const ArchiveReport& a) {
        out_ += "<div class=\"archive\" id=\"" + Anchor(a) + "\">\n<h3>" + T(a.path) + "</h3>\n";
        if (a.outcome.empty()) {
            out_ += "<p class=\"ko\">Il lavoro su questo archivio non è arrivato alla fine.</p>\n";
        } else {
            for (const std::string& line : a.outcome)
                out_ += "<p class=\"" + std::string(a.updated ? "ok" : "ko") + "\">" + T(line) + "</p>\n";
            out_ += "<p>Tempo impiegato: " + T(Duration(a.seconds)) + "</p>\n";
        }
        // The errors met on it that its outcome lines do not already say.
        std::string errors;
        for (const std::string& p : a.problems)
            if (!Contains(a.outcome, p)) errors += "<li><pre>" + T(p) + "</pre></li>\n";
        if (!errors.empty()) out_ += "<h4>Errori</h4>\n<ul class=\"ko\">\n" + errors + "</ul>\n";
        if (!a.leftovers.empty()) {
            out_ += "<h4>Lasciato da un aggiornamento interrotto</h4>\n<ul>\n";
            for (const std::string& l : a.leftovers)
                out_ += "<li>" + T(l) + "</li>\n";
            out_ += "</ul>\n";
        }
        Changes(a);
        ArchiveNotes(a);
        out_ += "</div>\n";
    }

    void Companies() {
        out_ += "<h2>Ditte</h2>\n";
        if (r_.companies().empty()) out_ += "<p class=\"none\">Nessuna ditta.</p>\n";
        for (const CompanyReport& c : r_.companies()) {
            out_ += "<section class=\"company\">\n<h3 class=\"company\">Ditta " + T(c.file) + "</h3>\n";
            bool any = false;
            for (const ArchiveReport& a : r_.archives())
                any = any || a.company == c.file;
            // A company the run passed over without looking at its archives: one of them is missing.
            const std::string problem =
                c.problem.empty() && !any ? "Impossibile aggiornare la ditta " + c.file : c.problem;
            if (!problem.empty()) out_ += "<p class=\"ko\">" + T(problem) + "</p>\n";
            for (const std::string& p : c.problems)
                if (p != problem) out_ += "<p class=\"ko\">" + T(p) + "</p>\n";
            for (const ArchiveReport& a : r_.archives())
                if (a.company == c.file) Archive(a);
            out_ += "</section>\n";
        }
        // Archives that no company named (the demo company's, a comparison of its own).
        for (const ArchiveReport& a : r_.archives()) {
            bool named = false;
            for (const CompanyReport& c : r_.companies())
                named = named || a.company == c.file;
            if (!named) Archive(a);
        }
    }

    void Boxes() {
        out_ += "<h2 class=\"after-companies\">Finestre mostrate</h2>\n";
        if (r_.boxes().empty()) {
            out_ += "<p class=\"none\">Nessuna.</p>\n";
            return;
        }
        out_ += "<table>\n<tr><th>#</th><th>Titolo</th><th>Testo</th><th>Risposta</th></tr>\n";
        int n = 0;
        for (const ReportBox& b : r_.boxes()) {
            out_ += "<tr><td class=\"n\">" + std::to_string(++n) + "</td><td>" +
                    T(b.title.empty() ? std::string(kAppTitle) : b.title) + "</td><td><pre>" + T(b.text) +
                    "</pre></td><td>" + T(b.answer) + "</td></tr>\n";
        }
        out_ += "</table>\n";
    }

    void IniFiles() {
        out_ += "<h2>File INI modificati</h2>\n";
        if (r_.iniChanges().empty()) {
            out_ += "<p class=\"none\">Nessuno.</p>\n";
            return;
        }
        std::map<std::string, std::string> byFile; // upper-cased file -> rows
        std::vector<std::string> order;
        for (const IniChange& c : r_.iniChanges()) {
            const std::string key = UCase(c.file);
            if (!byFile.count(key)) order.push_back(c.file);
            byFile[key] += "<tr><td>" + T(c.section) + "</td><td>" + T(c.key) + "</td><td>" +
                           (c.before ? T(*c.before) : "<i>chiave aggiunta</i>") + "</td><td>" + T(c.after) +
                           "</td></tr>\n";
        }
        for (const std::string& file : order) {
            out_ += "<h3>" + T(file) +
                    "</h3>\n<table>\n<tr><th>Sezione</th><th>Chiave</th><th>Prima</th>"
                    "<th>Ora</th></tr>\n" +
                    byFile[UCase(file)] + "</table>\n";
        }
    }

    void FilesCopied() {
        if (r_.filesCopied().empty()) return;
        out_ += std::string("<h2>") + (r_.preview ? "File che copierebbe" : "File copiati") +
                "</h2>\n<table>\n<tr><th>Da</th><th>In</th></tr>\n";
        for (const auto& [from, to] : r_.filesCopied())
            out_ += "<tr><td>" + T(from) + "</td><td>" + T(to) + "</td></tr>\n";
        out_ += "</table>\n";
    }

    void Notes() {
        std::string items;
        for (const ReportNote& n : r_.notes()) {
            if (!n.archive.empty() && IsArchive(n.archive)) continue; // shown with its archive
            items +=
                "<li>" + (n.archive.empty() ? std::string() : T(n.archive) + ": ") + T(n.text) + "</li>\n";
        }
        if (items.empty()) return;
        out_ += "<h2>Note</h2>\n<ul>\n" + items + "</ul>\n";
    }

    const RunReport& r_;
    std::string out_;
};

} // namespace

std::string RunReportHtml(const RunReport& report) {
    return View(report).Page();
}

std::string RunReportFileName(const RunReport& report) {
    return std::string(report.preview ? "anteprima-" : "aggiornamento-") +
           Format(report.start, "%Y%m%d-%H%M%S") + ".html";
}

namespace {

// Writes a page and its JSON twin as new files of `folder` (made when missing, in the data folder), never
// over other ones, then rewrites the folder's index. Returns the page's path.
std::string WritePage(std::string folder, const std::string& dataFolder, const std::string& page,
                      const std::string& json, const std::string& name) {
    if (folder.empty()) {
        folder = dataFolder + "\\ledrana\\rapporti";
        if (!platform::FolderExists(folder)) platform::MkDir(folder);
    }
    const std::string stem = name.substr(0, name.size() - 5);
    std::string written;
    for (int n = 1; written.empty(); ++n) {
        const std::string base = folder + "\\" + stem + (n > 1 ? "-" + std::to_string(n) : "");
        try {
            // The twin first: a page is never left without its twin by a name the twin could not take.
            platform::WriteNewFile(base + ".json", json);
        } catch (const Error& e) {
            if (e.number() != 58 || n > 99) throw;
            continue;
        }
        try {
            platform::WriteNewFile(base + ".html", page);
            written = base + ".html";
        } catch (const Error& e) {
            try {
                platform::Kill(base + ".json");
            } catch (const Error&) {
            }
            if (e.number() != 58 || n > 99) throw;
        }
    }
    try {
        WriteReportIndex(folder);
    } catch (const Error&) {
        // The index is a convenience: the report itself is written.
    }
    return written;
}

} // namespace

std::string WriteRunReport(const RunReport& report) {
    return WritePage(report.folder, report.dataFolder, RunReportHtml(report), RunReportJson(report),
                     RunReportFileName(report));
}

std::string RestoreReportHtml(const RestoreReport& r) {
    const auto T = [](const std::string& text) { return Escape(text); };
    std::string out = "<!DOCTYPE html>\n<html lang=\"it\">\n<head>\n<meta charset=\"utf-8\">\n<title>"
                      "Rapporto del ripristino — " +
                      T(Format(r.start, "%d/%m/%Y %H:%M:%S")) + "</title>\n<style>" + kStyle +
                      "</style>\n</head>\n<body>\n<h1>Rapporto del ripristino di Tessaro</h1>\n";
    const auto row = [&out](const char* label, const std::string& html) {
        out += std::string("<tr><th>") + label + "</th><td>" + html + "</td></tr>\n";
    };
    out += "<table class=\"summary\">\n";
    row("Inizio", T(Format(r.start, "%d/%m/%Y %H:%M:%S")));
    if (r.end != ReportClock::time_point{}) row("Fine", T(Format(r.end, "%d/%m/%Y %H:%M:%S")));
    row("Cartella dati", T(r.dataFolder));
    row("Punto di ripristino rimesso", T(r.restorePoint));
    row("Archivi cambiati dopo l'aggiornamento",
        r.forced ? "ripristinati comunque (--forza)" : "non ripristinati");
    row("Ciò che il ripristino ha sostituito",
        r.ownRestorePoint.empty() ? std::string("nulla") : "nel punto di ripristino " + T(r.ownRestorePoint));
    row("Esito", "<span class=\"" + std::string(r.ok ? "ok" : "ko") + "\">" + T(r.outcome) + "</span>");
    out += "</table>\n";
    const auto items = [&](const char* heading, const char* column,
                           const std::vector<RestoreReport::Item>& list) {
        out += std::string("<h2>") + heading + "</h2>\n";
        if (list.empty()) {
            out += "<p class=\"none\">Nessuno.</p>\n";
            return;
        }
        out += std::string("<table>\n<tr><th>") + column + "</th><th>Esito</th></tr>\n";
        for (const RestoreReport::Item& i : list)
            out += "<tr><td>" + T(i.path) + "</td><td class=\"" + (i.ok ? "ok" : "ko") + "\">" +
                   T(i.outcome) + "</td></tr>\n";
        out += "</table>\n";
    };
    items("Archivi", "Archivio", r.archives);
    items("Altri file", "File", r.files);
    if (!r.notes.empty()) {
        out += "<h2>Note</h2>\n<ul>\n";
        for (const std::string& n : r.notes)
            out += "<li>" + T(n) + "</li>\n";
        out += "</ul>\n";
    }
    return out + "</body>\n</html>\n";
}

std::string WriteRestoreReport(const RestoreReport& report) {
    return WritePage("", report.dataFolder, RestoreReportHtml(report), RestoreReportJson(report),
                     "ripristino-" + Format(report.start, "%Y%m%d-%H%M%S") + ".html");
}

} // namespace ledrana
