// A scratch XDG_CONFIG_HOME for one test: every per-user store (the registry
// among them) then lives in a fresh temporary folder, never in the user's
// own configuration. The previous value comes back and the folder is removed
// when the object goes.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace vistrel::test {

class TempConfigHome {
public:
    TempConfigHome() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vistrel-config-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary folder");
        path_ = pattern;
        if (const char* old = std::getenv("XDG_CONFIG_HOME"))
            previous_ = old;
        setenv("XDG_CONFIG_HOME", path_.c_str(), 1);
    }
    TempConfigHome(const TempConfigHome&) = delete;
    TempConfigHome& operator=(const TempConfigHome&) = delete;
    ~TempConfigHome() {
        if (previous_) {
            setenv("XDG_CONFIG_HOME", previous_->c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    const std::filesystem::path& path() const { return path_; }
    // The registry store file inside it.
    std::filesystem::path registryFile() const { return path_ / "lumbra" / "registry"; }

private:
    std::filesystem::path path_;
    std::optional<std::string> previous_;
};

}  // namespace vistrel::test
