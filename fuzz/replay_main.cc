// Runs a fuzz target over files without libFuzzer: every file named, and every regular file
// under every directory named, in sorted order. A target that finds a fault aborts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool read_file(const std::filesystem::path& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::filesystem::path> inputs;
  std::size_t failed = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path(argv[i]);
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
      std::size_t found = 0;
      for (const auto& entry : std::filesystem::recursive_directory_iterator(path, ec)) {
        if (entry.is_regular_file()) {
          inputs.push_back(entry.path());
          ++found;
        }
      }
      if (ec || found == 0) {
        std::fprintf(stderr, "no inputs under %s\n", argv[i]);
        ++failed;
      }
    } else if (std::filesystem::is_regular_file(path, ec)) {
      inputs.push_back(path);
    } else {
      std::fprintf(stderr, "cannot open %s\n", argv[i]);
      ++failed;
    }
  }
  std::sort(inputs.begin(), inputs.end());
  std::size_t passed = 0;
  std::string data;
  for (const auto& path : inputs) {
    if (!read_file(path, data)) {
      std::fprintf(stderr, "cannot read %s\n", path.string().c_str());
      ++failed;
      continue;
    }
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    ++passed;
  }
  std::printf("%zu passed, %zu failed\n", passed, failed);
  return failed == 0 && passed > 0 ? 0 : 1;
}
