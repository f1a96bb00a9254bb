// Replays inputs through a fuzz target without libFuzzer: each argument is a
// file or a folder whose regular files are fed to LLVMFuzzerTestOneInput in
// name order. Exits non-zero when an argument cannot be read.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

bool runFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return false;
  }
  std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // An empty vector's data() may be null; the target always gets a valid pointer.
  static const uint8_t empty = 0;
  LLVMFuzzerTestOneInput(data.empty() ? &empty : data.data(), data.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  int files = 0;
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path arg(argv[i]);
    std::error_code ec;
    if (std::filesystem::is_directory(arg, ec)) {
      std::vector<std::filesystem::path> entries;
      for (const auto& e : std::filesystem::directory_iterator(arg, ec))
        if (e.is_regular_file()) entries.push_back(e.path());
      std::sort(entries.begin(), entries.end());
      for (const auto& p : entries) {
        ok = runFile(p) && ok;
        ++files;
      }
    } else {
      ok = runFile(arg) && ok;
      ++files;
    }
  }
  std::printf("replayed %d inputs\n", files);
  return ok ? 0 : 1;
}
