#include "platform/shell_folders.h"

#include "platform/paths.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace ledrana::platform {

namespace {

std::string home() {
    const char* h = std::getenv("HOME");
    return h ? h : "";
}

// XDG_DOCUMENTS_DIR="$HOME/Documenti" from user-dirs.dirs, with $HOME expanded; "" when not set there.
std::string xdgDocuments() {
    std::string config;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
        config = x;
    else if (!home().empty())
        config = home() + "/.config";
    else
        return "";
    std::ifstream in(config + "/user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
        const std::string key = "XDG_DOCUMENTS_DIR=";
        if (line.rfind(key, 0) != 0) continue;
        std::string v = line.substr(key.size());
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        if (v.rfind("$HOME", 0) == 0) v = home() + v.substr(5);
        return v;
    }
    return "";
}

} // namespace

std::string GetWindowsDirectory() {
    Prefix();
    MakeSkeleton(); // a machine in use has its Windows folder
    return "C:\\WINDOWS";
}

std::string SpecialFolderPath(int csidl) {
    switch (csidl) {
    case CSIDL_WINDOWS:
        return GetWindowsDirectory();
    case CSIDL_STARTMENU:
        return GetWindowsDirectory() + "\\Start Menu";
    case CSIDL_PROGRAMS:
        return GetWindowsDirectory() + "\\Start Menu\\Programs";
    case CSIDL_DESKTOP_FOLDER:
        return GetWindowsDirectory() + "\\Desktop";
    case CSIDL_PERSONAL:
        return DocumentsFolder();
    default:
        return "";
    }
}

std::string DocumentsFolder() {
    std::error_code ec;
    std::string xdg = xdgDocuments();
    // A user-dirs entry that points at the home folder itself means "no Documents folder".
    if (!xdg.empty() && fs::is_directory(xdg, ec) && !fs::equivalent(xdg, home(), ec))
        return WindowsPath(xdg);
    if (!home().empty() && fs::is_directory(fs::path(home()) / "Documents", ec))
        return WindowsPath((fs::path(home()) / "Documents").string());
    return "";
}

} // namespace ledrana::platform
