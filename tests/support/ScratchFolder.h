// A fresh folder per test, removed with everything in it afterwards, and small file helpers.
#ifndef VELXMLN_TESTS_SUPPORT_SCRATCHFOLDER_H
#define VELXMLN_TESTS_SUPPORT_SCRATCHFOLDER_H

#include <stdlib.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace testsupport {

// The separator of the host's paths: the tests build names the way a program on that host would.
#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

class ScratchFolder {
  public:
    explicit ScratchFolder(const std::string& base = defaultBase()) {
        // A random name, created exclusively: create_directory reports a folder that already
        // existed, and a taken name is simply passed over.
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string candidate = base + kSeparator + "velxmln-test-" + std::to_string(random());
            std::error_code failed;
            if (std::filesystem::create_directory(candidate, failed)) {
                path_ = candidate;
                return;
            }
            if (failed && failed != std::errc::file_exists) {
                break;
            }
        }
        throw std::runtime_error("cannot make a scratch folder in " + base);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + kSeparator + name; }
    std::string operator/(const std::string& name) const { return file(name); }

  private:
    static std::string defaultBase() {
        std::string base = std::filesystem::temp_directory_path().string();
        while (base.size() > 1 && (base.back() == '/' || base.back() == '\\')) {
            base.pop_back();
        }
        return base;
    }

    std::string path_;
};

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios_base::binary) << bytes;
}

inline std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path, std::ios_base::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Names in `folder` that begin with `prefix`, sorted.
inline std::vector<std::string> namesStartingWith(const std::string& folder,
                                                  const std::string& prefix) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, prefix.size(), prefix) == 0) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A writable folder on another file system than `path` (/dev/shm where it is a separate tmpfs), to
// test moves that cannot be a rename; nothing when the machine has none.
inline std::optional<std::string> folderOnOtherFileSystem(const std::string& path) {
#ifdef _WIN32
    // Another volume would be another drive letter, which a test machine need not have.
    (void)path;
    return std::nullopt;
#else
    struct stat here {};
    struct stat there {};
    const char* candidate = "/dev/shm";
    if (stat(path.c_str(), &here) != 0 || stat(candidate, &there) != 0 || !S_ISDIR(there.st_mode) ||
        here.st_dev == there.st_dev || access(candidate, W_OK) != 0) {
        return std::nullopt;
    }
    return std::string(candidate);
#endif
}

// Sets an environment variable for one scope and restores the old state after it.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = getenv(name)) {
            old_ = old;
        }
        set(name, value);
    }
    ~ScopedEnvironment() { set(name_.c_str(), old_ ? old_->c_str() : nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    static void set(const char* name, const char* value) {
#ifdef _WIN32
        // An empty value removes the variable on Windows, which has no empty variables.
        _putenv_s(name, value != nullptr ? value : "");
#else
        value != nullptr ? setenv(name, value, 1) : unsetenv(name);
#endif
    }

    std::string name_;
    std::optional<std::string> old_;
};

}  // namespace testsupport

#endif
