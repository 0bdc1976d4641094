#pragma once
// Other processes' hold on an archive file: the engine's own OS lock (an open-file-description lock beside
// SQLite's lock bytes, platform/filelock.h), and SQLite's lock bytes, which tell a transaction under way.

#include "platform/filelock.h"

#include <chrono>
#include <string>

namespace ledrana::dao::detail {

// How long a file that another program locks is waited for before the operation fails: a reader's
// transaction or another writer's commit usually ends well within it.
inline constexpr std::chrono::milliseconds kBusyWait{2000};

// True when another process stays inside a SQLite transaction on the file for the whole of `wait`.
bool InTransactionElsewhere(const std::string& host, std::chrono::milliseconds wait = kBusyWait);
// The hold of this process on a database file; one that holds nothing when another process's hold
// conflicts. 3024 when the file went, 3051 when it cannot be opened (`shown`: the name in the error).
platform::FileHold TakeHold(const std::string& host, platform::HoldMode mode, const std::string& shown);

} // namespace ledrana::dao::detail
