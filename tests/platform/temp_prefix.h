#pragma once
// A fresh prefix in a temporary host folder for one test, with the skeleton of a machine in use, removed
// afterwards. The test inspects the host side with std::filesystem to check what the platform did.

#include "platform/error.h"
#include "platform/paths.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace ledrana::testing {

class TempPrefix {
public:
    TempPrefix() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "ledrana-prefix-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        root_ = tmpl;
        scoped_ = std::make_unique<platform::ScopedPrefix>(root_.string());
        platform::MakeSkeleton(); // a machine in use, as the tests find it
    }
    ~TempPrefix() {
        scoped_.reset();
        std::error_code ec;
        std::filesystem::permissions(root_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(root_, ec);
    }
    TempPrefix(const TempPrefix&) = delete;
    TempPrefix& operator=(const TempPrefix&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path driveC() const { return root_ / "drive_c"; }

    // Writes a host file (folders created as needed).
    static void put(const std::filesystem::path& p, const std::string& bytes) {
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
    }
    static std::string get(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // The bytes of a file that another process writes, once they end a line (waiting five seconds at most).
    static std::string getLine(const std::filesystem::path& p) {
        std::string bytes = get(p);
        for (int i = 0; i < 100 && (bytes.empty() || bytes.back() != '\n'); ++i, bytes = get(p))
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return bytes;
    }

private:
    std::filesystem::path root_;
    std::unique_ptr<platform::ScopedPrefix> scoped_;
};

// The names in a host folder, sorted ([] when there is no folder).
inline std::vector<std::string> Names(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    if (std::filesystem::exists(folder))
        for (const auto& e : std::filesystem::directory_iterator(folder))
            names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// An environment variable set to `value` for the object's lifetime, then put back as it was.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* v = std::getenv(name)) saved_ = v;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() { saved_ ? setenv(name_, saved_->c_str(), 1) : unsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> saved_;
};

// The error a call throws as "number description", "" when it throws nothing.
inline std::string Failure(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const Error& e) {
        return std::to_string(e.number()) + " " + e.description();
    }
    return "";
}

// The error number a call throws, 0 when it throws nothing.
inline int ErrorOf(const std::function<void()>& fn) {
    return std::atoi(Failure(fn).c_str());
}

} // namespace ledrana::testing
