#pragma once
// The real Jet files of tests/data/jet, for the suites that read them.

#include "tests/dao/dao_fixture.h"

#include <mdbtools.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace ledrana::dao::testing {

inline const std::filesystem::path kCorpus =
    std::filesystem::path(LEDRANA_SOURCE_DIR) / "tests" / "data" / "jet";

// The names of the .mdb files of the corpus (or of a folder of it), sorted.
inline std::vector<std::string> CorpusFiles(const std::filesystem::path& folder = kCorpus) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().extension() == ".mdb") out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

// A file opened by libmdb, closed with its handle.
struct MdbCloser {
    void operator()(MdbHandle* h) const { mdb_close(h); }
};
using Mdb = std::unique_ptr<MdbHandle, MdbCloser>;

} // namespace ledrana::dao::testing
