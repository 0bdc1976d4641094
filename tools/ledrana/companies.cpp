#include "tools/ledrana/companies.h"

#include "platform/error.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/shell_folders.h"
#include "platform/text.h"

namespace ledrana::host {
namespace {

std::string Profile(const std::string& section, const std::string& key, const std::string& file) {
    std::string value;
    platform::GetPrivateProfileString(section, key, "", value, 256, file);
    return value;
}

// The archive's version stamps, read through the engine without changing the file.
void ReadStamp(dao::DBEngine& engine, Archive& archive) {
    try {
        dao::Database db = engine.OpenDatabase(archive.path, false, true);
        bool hasYears = false;
        for (int i = 0; i < db.TableDefs().Count(); ++i)
            if (EqualsNoCase(db.TableDefs()[i].Name(), "anni")) hasYears = true;
        if (!hasYears) {
            archive.state = archive.role == "Ledrana" ? "tabella anni mancante" : "";
            db.Close();
            return;
        }
        dao::Recordset rs = db.OpenRecordset("anni");
        std::vector<std::string> seen;
        for (; !rs.Eof(); rs.MoveNext()) {
            dao::Variant ver = rs.Fields()["ver"].Value();
            std::string text = ver.IsNull() ? "(nessuna)" : ver.ToString();
            bool known = false;
            for (const auto& s : seen)
                known = known || s == text;
            if (!known) seen.push_back(text);
        }
        rs.Close();
        db.Close();
        for (const auto& s : seen)
            archive.version += (archive.version.empty() ? "" : "/") + s;
        if (seen.empty()) archive.state = "anni vuota";
    } catch (const Error& e) {
        archive.state = e.number() == 3031 ? "protetto da password"
                                           : "errore " + std::to_string(e.number()) + " " + e.description();
    }
}

} // namespace

Installation ReadInstallation(dao::DBEngine& engine) {
    Installation inst;
    const std::string pointer = platform::GetWindowsDirectory() + "\\dir.txt";
    try {
        inst.dataFolder = platform::ReadFirstLine(pointer);
    } catch (const Error&) {
        inst.dataFolder = "C:\\ZU";
    }
    inst.installedVersion =
        Profile("Ver", "AggiornamentoLedrana", inst.dataFolder + "\\LEDRANA\\INI\\INI.INI");

    std::vector<std::string> files;
    try {
        files = platform::ListFiles(inst.dataFolder + "\\ledrana", "*.ini");
    } catch (const Error&) {
        return inst;
    }
    for (const auto& file : files) {
        Company company;
        const std::size_t dot = UCase(file).find(".INI");
        company.name = file.substr(0, dot);
        company.iniFile = inst.dataFolder + "\\ledrana\\" + file;
        for (const char* role : {"Ledrana", "Scadenzario"}) {
            Archive archive;
            archive.role = role;
            const std::string value = Profile("Archivi", role, company.iniFile);
            archive.path = value.find('\\') == std::string::npos
                               ? inst.dataFolder + "\\" + company.name + "\\" + value
                               : value;
            archive.exists = !value.empty() && platform::FileExists(archive.path);
            if (archive.exists)
                ReadStamp(engine, archive);
            else
                archive.state = value.empty() ? "non indicato nel file INI" : "archivio mancante";
            company.archives.push_back(archive);
        }
        inst.companies.push_back(company);
    }
    return inst;
}

std::string FormatInstallation(const Installation& inst) {
    std::string out = "cartella dati\t" + inst.dataFolder + "\tversione installata\t" +
                      (inst.installedVersion.empty() ? "-" : inst.installedVersion) + "\n";
    for (const auto& company : inst.companies)
        for (const auto& a : company.archives)
            out += company.name + "\t" + a.role + "\t" + a.path + "\t" +
                   (a.version.empty() ? "-" : a.version) + "\t" + a.state + "\n";
    return out;
}

} // namespace ledrana::host
