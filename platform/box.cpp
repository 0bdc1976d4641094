#include "platform/box.h"

#include "platform/host_state.h"
#include "platform/vb_errors.h"

#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace ledrana::platform {

namespace {

// The host's own resolution of a path: its links followed as far as the path exists. For a change of a
// name (made, removed, renamed), the name itself is not followed: a link there is what changes.
std::string Resolved(const std::string& host, bool nameOnly) {
    std::error_code ec;
    const fs::path p = fs::absolute(host, ec).lexically_normal();
    if (!nameOnly) return fs::weakly_canonical(p, ec).string();
    return (fs::weakly_canonical(p.parent_path(), ec) / p.filename()).string();
}

bool Under(const std::string& path, const std::string& root) {
    return path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                            (root.back() == '/' || path[root.size()] == '/'));
}

} // namespace

WriteBox::WriteBox(const std::vector<std::string>& hostFolders) {
    std::vector<std::string> roots;
    for (const std::string& f : hostFolders)
        roots.push_back(Resolved(f, false));
    detail::State().writeBox = std::move(roots);
}

WriteBox::~WriteBox() {
    detail::State().writeBox.clear();
}

namespace detail {

void BeforeChange(const char* operation, const std::string& host) {
    HostState& state = State();
    // Writes and syncs go to files already opened in the box.
    if (!state.writeBox.empty() && std::strcmp(operation, "write") != 0 &&
        std::strcmp(operation, "fsync") != 0) {
        const bool nameOnly = std::strcmp(operation, "unlink") == 0 ||
                              std::strcmp(operation, "rename") == 0 || std::strcmp(operation, "link") == 0 ||
                              std::strcmp(operation, "mkdir") == 0 || std::strcmp(operation, "rmdir") == 0;
        const std::string path = Resolved(host, nameOnly);
        bool inside = false;
        for (const std::string& root : state.writeBox)
            inside = inside || Under(path, root);
        for (const TempFolder& temp : state.tempFolders)
            inside = inside || Under(path, temp.host);
        if (!inside) throw VbError(kErrPermissionDenied);
    }
    if (state.fileOperationHook) state.fileOperationHook(operation, host);
}

} // namespace detail

} // namespace ledrana::platform
