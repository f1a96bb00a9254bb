#include "tests/support/test_files.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

#include <stdlib.h>

namespace vistrel::testing {

namespace fs = std::filesystem;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> readBytes(const std::string& path) {
    const std::string bytes = readFile(path);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

bool fileExists(const std::string& path) {
    std::error_code error;
    return fs::exists(path, error);
}

std::string sourcePath(const std::string& relative) {
    return std::string(VISTREL_SOURCE_DIR) + "/" + relative;
}

std::string corpusDir() {
    const char* override = std::getenv("VISTREL_CORPUS_DIR");
    return override ? override : VISTREL_CORPUS_DIR;
}

std::string corpusFile(const std::string& name) {
    const std::string path = corpusDir() + "/" + name;
    return fileExists(path) ? path : std::string();
}

std::vector<std::string> corpusFiles() {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(corpusDir(), error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().extension() == ".pdf")
            names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TempDir::TempDir(const std::string& label) {
    std::error_code error;
    std::string pattern = (fs::temp_directory_path(error) / (label + "-XXXXXX")).string();
    if (!error && ::mkdtemp(pattern.data()))
        dir_ = pattern;
}

TempDir::~TempDir() {
    if (!dir_.empty()) {
        std::error_code error;
        fs::remove_all(dir_, error);
    }
}

}  // namespace vistrel::testing
