#include "support/scratch_dir.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace testing_support {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() : previous_(fs::current_path()) {
  static std::atomic<int> counter{0};
  std::random_device random;
  std::ostringstream name;
  name << "korvfix-test-" << random() << "-" << counter++;
  path_ = fs::temp_directory_path() / name.str();
  fs::create_directories(path_);
  fs::current_path(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::current_path(previous_, ignored);
  fs::remove_all(path_, ignored);
}

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> FolderEntries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace testing_support
