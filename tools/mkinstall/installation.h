#pragma once
// The sample installations: a data folder C:\ZU with its companies, INI files and templates, dir.txt in
// the Windows folder, and the shortcuts and program groups of earlier versions, made in a platform prefix.
//   old         version 027, three companies (Alfa, Beta protected by a password, Gamma without years)
//               and the old demo company, whose archives differ from the models in every way the
//               comparison handles
//   old-layout  the single-company layout of an older version: ditta\scad32.mdb and ditta2000\cont32.mdb
//   current     an installation already at 048.5, as a completed update leaves it
//   large       like old, with `rows` journal lines in Alfa's accounting archive (for benchmarks)

#include <cstdint>
#include <string>

namespace ledrana::mkinstall {

// The password of Beta's accounting archive in the old, large and current installations.
inline constexpr const char* kBetaPassword = "segreto";

struct Options {
    std::string kind;
    std::int64_t rows = 1000000; // journal lines of the large kind
    std::string modelDb;         // host folder of the model manifests (model/db)
    std::string schemaDir;       // host folder of the older versions' manifests (tools/mkinstall/schema)
    std::string release;         // host folder of the release (the current kind copies from it)
};

// Makes the installation of the given kind in the platform prefix in use (platform::SetPrefix) and
// returns a summary for the user, one line per archive made. Throws ledrana::Error; an unknown kind is
// error 5. The data folder must not exist yet (error 58).
std::string MakeInstallation(const Options& options);

} // namespace ledrana::mkinstall
