// A fresh folder per test, removed with everything in it afterwards, and small file helpers.
#ifndef VELXMLN_TESTS_SUPPORT_SCRATCHFOLDER_H
#define VELXMLN_TESTS_SUPPORT_SCRATCHFOLDER_H

#include <stdlib.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
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
    /// Writes `bytes` as the file `name` in the folder (replacing it) and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const;

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

inline std::string ScratchFolder::write(const std::string& name, const std::string& bytes) const {
    writeFile(file(name), bytes);
    return file(name);
}

inline std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path, std::ios_base::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The temporary files that writes left in `folder` (".<name>.velxmln-<random>"), sorted.
inline std::vector<std::string> temporaryFilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name[0] == '.' && name.find(".velxmln-") != std::string::npos) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

#ifndef _WIN32
// Runs `body` in a child process and returns its exit status (-1 when it did not exit), for
// checks that change the process (another user, a file size limit).
inline int inChild(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

}  // namespace testsupport

#endif
