// SQLite's lock bytes as other processes hold them, and the engine's hold on a file.

#include "dao/store/sqlite_locks.h"

#include "dao/store/errors.h"

#include <cstdint>
#include <thread>

namespace ledrana::dao::detail {

namespace {

// SQLite's lock bytes (pending, reserved and the shared range) in the page at 1 GiB.
constexpr std::int64_t kSqliteLockFirst = 0x40000000;
constexpr std::int64_t kSqliteLockBytes = 2 + 510;

} // namespace

bool InTransactionElsewhere(const std::string& host, std::chrono::milliseconds wait) {
    const auto until = std::chrono::steady_clock::now() + wait;
    while (platform::LockedElsewhere(host, kSqliteLockFirst, kSqliteLockBytes)) {
        if (std::chrono::steady_clock::now() >= until) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

platform::FileHold TakeHold(const std::string& host, platform::HoldMode mode, const std::string& shown) {
    try {
        return platform::FileHold::Take(host, mode);
    } catch (const Error& e) {
        ThrowJet(e.number() == 53 ? 3024 : 3051, shown);
    }
}

} // namespace ledrana::dao::detail
