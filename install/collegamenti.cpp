#include "install/collegamenti.h"

#include "platform/error.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/shell_folders.h"

#include <array>
#include <utility>

namespace ledrana {

std::string GetDirSpeciale(int cartella) {
    return platform::SpecialFolderPath(cartella);
}

void CollegamentiDesktop() {
    const std::string forum = kIndirizzoForum;
    const std::array<std::pair<std::string, std::string>, 18> collegamenti = {{
        {"..\\..\\Desktop", "FORUM " + forum},
        {"..\\..\\Desktop", "ISTRUZIONI Brevant"},
        {"..\\..\\Desktop", "ISTRUZIONI Fenwold"},
        {"..\\..\\Desktop", "LEGGIMI.htm Tessaro 028"},
        {"..\\..\\Desktop", "Brevant"},
        {"..\\..\\Desktop", "ledrana"},
        {"..\\..\\Desktop", "Tessaro"},
        {"..\\..\\Desktop", "LEGGIMI Tessaro"},
        {"Ledrana", "1 Tessaro Pellor Quilder"},
        {"Ledrana", "2 Leggimi"},
        {"Ledrana", "3 Brevant"},
        {"Ledrana", "4 " + forum + " Forum"},
        {"Ledrana", "5 Aggiorna Ledrana"},
        {"Tessaro", "1 Tessaro Pellor Quilder"},
        {"Tessaro", "2 Leggimi"},
        {"Tessaro", "3 Brevant"},
        {"Tessaro", "4 " + forum + " Forum"},
        {"Tessaro", "5 Aggiorna Ledrana"},
    }};
    for (const auto& [cartella, nome] : collegamenti)
        platform::RemoveShellLink(cartella, nome);

    // From here on every error is ignored: a group that is missing or not empty stays as it is.
    const std::string programmi = GetDirSpeciale(2);
    for (const char* gruppo : {"\\Ledrana", "\\Tessaro"}) {
        try {
            platform::RmDir(programmi + gruppo);
        } catch (const Error&) {
        }
    }
}

} // namespace ledrana
