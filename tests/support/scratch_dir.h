// Test helpers: a fresh folder to work in, and file contents.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// A new empty folder that is the current directory while the object lives.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

std::string ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const std::string& bytes);
std::vector<std::string> FolderEntries(const std::filesystem::path& folder);

}  // namespace testing_support
