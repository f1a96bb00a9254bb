// Files for tests: reading and writing whole files, the repository's fixture
// folders, the shared corpus and temporary folders that clean up after
// themselves.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vistrel::testing {

// The bytes of a file; empty when it cannot be read.
std::string readFile(const std::string& path);
std::vector<uint8_t> readBytes(const std::string& path);
// Writes (replaces) a file; false when it cannot be written.
bool writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

// A path under the repository's source folder, e.g. "tests/fixtures/ccitt/odd.g4".
std::string sourcePath(const std::string& relative);

// The shared corpus of real-world files: $VISTREL_CORPUS_DIR, else the folder
// beside the repository. corpusFile is empty when the file is not there, and
// corpusFiles lists the .pdf files by name, sorted (none without a corpus).
std::string corpusDir();
std::string corpusFile(const std::string& name);
std::vector<std::string> corpusFiles();

// A new empty folder under the system's temporary folder, removed with all it
// holds when the object goes.
class TempDir {
public:
    explicit TempDir(const std::string& label = "vistrel");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool ok() const { return !dir_.empty(); }
    const std::filesystem::path& dir() const { return dir_; }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

private:
    std::filesystem::path dir_;
};

}  // namespace vistrel::testing
