#include "tools/manifest/manifest.h"

#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <sstream>

namespace ledrana::manifest {
namespace {

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

std::string Folder(const std::string& hostPath) {
    const auto slash = hostPath.find_last_of('/');
    return slash == std::string::npos ? "." : hostPath.substr(0, slash);
}

// The first word of `line` and the rest after the blanks that follow it.
std::pair<std::string, std::string> Word(const std::string& line) {
    const auto end = line.find_first_of(" \t");
    if (end == std::string::npos) return {line, ""};
    return {line.substr(0, end), Trim(line.substr(end))};
}

std::string ReadHostFile(const std::string& hostPath) {
    return platform::ReadAllBytes(platform::WindowsPath(hostPath));
}

} // namespace

std::vector<std::string> SplitStatements(const std::string& script) {
    std::string text;
    std::istringstream lines(script);
    for (std::string line; std::getline(lines, line);)
        if (Trim(line).rfind("--", 0) != 0) text += line + "\n";

    std::vector<std::string> out;
    std::string current;
    char quote = 0;
    bool bracket = false;
    for (char c : text) {
        if (quote) {
            if (c == quote) quote = 0; // a doubled quote closes and reopens: the text is kept as it is
        } else if (bracket) {
            if (c == ']') bracket = false;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '[') {
            bracket = true;
        } else if (c == ';') {
            if (!Trim(current).empty()) out.push_back(Trim(current));
            current.clear();
            continue;
        }
        current += c;
    }
    if (!Trim(current).empty()) out.push_back(Trim(current));
    return out;
}

dao::Database BuildFromManifest(dao::DBEngine& engine, const std::string& manifest, const std::string& path,
                                bool withDemo, const std::function<void(dao::Database&)>& afterStructure) {
    const std::string folder = Folder(manifest);
    dao::Database db = engine.CreateDatabase(path);
    // One transaction for the whole build: one disk sync instead of one per statement.
    db.BeginTrans();
    bool structureDone = false;
    auto structure = [&] {
        if (structureDone) return;
        structureDone = true;
        if (afterStructure) afterStructure(db);
    };
    std::istringstream lines(ReadHostFile(manifest));
    for (std::string raw; std::getline(lines, raw);) {
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == '#') continue;
        auto [step, rest] = Word(line);
        if (step != "create") structure();
        if (step == "create" || step == "script" || (step == "demo" && withDemo)) {
            for (const auto& statement : SplitStatements(ReadHostFile(folder + "/" + rest))) {
                try {
                    db.Execute(statement, dao::dbFailOnError);
                } catch (const Error& e) {
                    throw Error(e.number(),
                                e.description() + " [" + rest + ": " + statement.substr(0, 120) + "]");
                }
            }
        } else if (step == "property") {
            auto [table, more] = Word(rest);
            auto [name, value] = Word(more);
            dao::TableDef td = db.TableDefs()[table];
            td.Properties().Append(td.CreateProperty(name, dao::dbText, dao::Variant(value)));
        } else if (step == "querydef") {
            auto [name, sql] = Word(rest);
            db.CreateQueryDef(name, sql).Close();
        } else if (step != "demo") {
            throw Error(5, "passo sconosciuto nel manifesto " + manifest + ": " + line);
        }
    }
    structure();
    db.CommitTrans();
    return db;
}

// Every text and memo field accepts zero-length text, as earlier updates left them, except the
// fields named in `except` ("TABLE.FIELD", upper case), which the next update has to change.
void AllowZeroLength(dao::Database& db, const std::vector<std::string>& except) {
    dao::TableDefs tables = db.TableDefs();
    for (int t = 0; t < tables.Count(); ++t) {
        dao::TableDef td = tables[t];
        if (td.Attributes() != 0) continue;
        dao::Fields fields = td.Fields();
        for (int f = 0; f < fields.Count(); ++f) {
            dao::Field field = fields[f];
            if (field.Type() != dao::dbText && field.Type() != dao::dbMemo) continue;
            const std::string name = UCase(td.Name() + "." + field.Name());
            bool skip = false;
            for (const auto& e : except)
                skip = skip || e == name;
            if (!skip) field.SetAllowZeroLength(true);
        }
    }
}

} // namespace ledrana::manifest
