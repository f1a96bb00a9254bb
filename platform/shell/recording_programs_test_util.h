// Test helper: a scratch folder whose bin/ stands first on PATH while the
// helper lives and holds recording programs ("xdg-open" among them). Each
// records its parent process and its arguments into the scratch folder when
// started, so tests see what the shell stand-in started and how.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace win::test {

class RecordingPrograms {
public:
    explicit RecordingPrograms(const std::vector<std::string>& names = {"xdg-open"})
        : root_(std::filesystem::temp_directory_path() /
                ("recording_programs_" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(root_);
        for (const std::string& name : names)
            addProgram(root_ / "bin" / name);
        std::filesystem::create_directories(root_ / "records");
        const char* path = std::getenv("PATH");
        oldPath_ = path != nullptr ? path : "";
        ::setenv("PATH", ((root_ / "bin").string() + ":" + oldPath_).c_str(), 1);
        ::setenv("RECORD_DIR", (root_ / "records").c_str(), 1);
    }
    ~RecordingPrograms() {
        ::setenv("PATH", oldPath_.c_str(), 1);
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    RecordingPrograms(const RecordingPrograms&) = delete;
    RecordingPrograms& operator=(const RecordingPrograms&) = delete;

    const std::filesystem::path& root() const { return root_; }

    // A recording program at path (which need not lie in bin/).
    static void addProgram(const std::filesystem::path& path) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary)
            << "#!/bin/sh\n"
               "out=\"$RECORD_DIR/$(basename \"$0\")\"\n"
               "{ echo \"ppid=$PPID\"; for a in \"$@\"; do echo \"arg=$a\"; done; } > \"$out.part\"\n"
               "mv \"$out.part\" \"$out\"\n";
        ::chmod(path.c_str(), 0755);
    }

    // The lines the program `name` recorded at its last start ("ppid=..."
    // first, then "arg=..." per argument), waiting up to ten seconds for
    // them; the record is consumed. Empty when it did not start.
    std::vector<std::string> take(const std::string& name,
                                  std::chrono::milliseconds wait = std::chrono::seconds(10)) {
        std::filesystem::path file = root_ / "records" / name;
        auto until = std::chrono::steady_clock::now() + wait;
        while (!std::filesystem::exists(file) && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream in(file);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        std::filesystem::remove(file);
        return lines;
    }

    // The arguments alone of the last start of `name`.
    std::vector<std::string> takeArgs(const std::string& name) {
        std::vector<std::string> args;
        for (const std::string& line : take(name))
            if (line.rfind("arg=", 0) == 0)
                args.push_back(line.substr(4));
        return args;
    }

private:
    std::filesystem::path root_;
    std::string oldPath_;
};

}  // namespace win::test
