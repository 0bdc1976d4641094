#pragma once
// How the engine finds the files a program names (DBEngine, and a connection for its attached tables).
// Part of the public interface through dao/dao.h.

#include <functional>
#include <string>

namespace ledrana::dao {

// Maps a path as the program writes it (Windows "C:\ZU\ditta\cont32.mdb", or a host path starting with
// "/") to the host path of the file. The default uses platform::HostPath for Windows paths and takes host
// paths as they are.
using PathResolver = std::function<std::string(const std::string&)>;

} // namespace ledrana::dao
