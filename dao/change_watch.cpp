#include "dao/handles.h"
#include "dao/sql/jetsql.h"
#include "dao/store/values.h"

#include <filesystem>
#include <system_error>

namespace ledrana::dao {

using detail::RowChangeTally;

ChangeWatch::ChangeWatch(DBEngine& engine, const std::string& path)
    : engine_(engine.shared_), host_(engine.HostPath(path)), shown_(path),
      tally_(std::make_shared<RowChangeTally>()) {
    if (std::error_code ec; !std::filesystem::is_regular_file(host_, ec)) detail::ThrowJet(3024, path);
    engine_->watches[host_] = tally_;
    if (auto it = engine_->open.find(host_); it != engine_->open.end())
        if (auto conn = it->second.lock()) tally_->Start(*conn);
}

ChangeWatch::~ChangeWatch() {
    Stop();
}

void ChangeWatch::Stop() {
    if (!tally_) return;
    if (auto w = engine_->watches.find(host_); w != engine_->watches.end() && w->second == tally_)
        engine_->watches.erase(w);
    if (auto it = engine_->open.find(host_); it != engine_->open.end())
        if (auto conn = it->second.lock(); conn && conn->rowHook) RowChangeTally::Stop(*conn);
    tally_.reset();
}

std::vector<TableChanges> ChangeWatch::Finish() {
    if (!tally_) return {};
    if (auto it = engine_->open.find(host_); it != engine_->open.end())
        if (auto conn = it->second.lock()) conn->Flush();
    const std::shared_ptr<RowChangeTally> tally = tally_;
    Stop();
    // Read from a connection of its own: what the file holds now, the writes committed.
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(host_.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    detail::SqliteDb db(raw);
    if (rc != SQLITE_OK) detail::ThrowJet(3051, shown_);
    sqlite3_busy_timeout(raw, 2000);
    RegisterJetFunctions(raw);
    detail::RegisterEngineFunctions(raw);
    return tally->Read(raw);
}

} // namespace ledrana::dao
