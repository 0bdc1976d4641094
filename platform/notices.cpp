#include "platform/notices.h"

#include "platform/host_state.h"
#include "platform/paths.h"

#include <cstring>
#include <filesystem>

namespace ledrana::platform {

void PostNotice(const std::string& key, const std::string& text) {
    auto& state = detail::State();
    for (const std::string& k : state.noticeKeys)
        if (k == key) return;
    state.noticeKeys.push_back(key);
    state.notices.push_back({key, text});
}

void NoteLockFailure(const std::string& hostPath, int err) {
    const std::string folder = WindowsPath(std::filesystem::path(hostPath).parent_path().string());
    PostNotice("lock:" + folder, "La cartella " + folder + " non permette di bloccare i file (" +
                                     std::strerror(err) +
                                     "): gli archivi che contiene sono stati aggiornati senza poter impedire "
                                     "ad altri programmi di usarli nello stesso momento.");
}

std::vector<Notice> TakeNotices() {
    std::vector<Notice> out;
    out.swap(detail::State().notices);
    return out;
}

} // namespace ledrana::platform
