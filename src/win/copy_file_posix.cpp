// CopyFileA for Linux and macOS.
//
// The patch run trusts one promise: when this returns nonzero, the new file
// exists as a whole copy of the old one, on disk, and nothing that was at the
// new name before has been replaced or followed. So the copy is made under a
// temporary name beside the new one, flushed, and only then linked into
// place, which fails if the name is taken by anything, even a dangling link.
#include <cerrno>
#include <cstdio>
#include <chrono>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "win/posix_support.h"

namespace win::posix {
namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { Close(); }
  int get() const { return fd_; }
  // Returns 0 or the errno of the close, which can carry a late write error.
  int Close() {
    int error = 0;
    if (fd_ >= 0 && ::close(fd_) != 0 && errno != EINTR) error = errno;
    fd_ = -1;
    return error;
  }

 private:
  int fd_;
};

// The copy under way, so that a halt from another thread can remove it.
std::timed_mutex unfinishedLock;
std::string unfinished;

void SetUnfinished(const std::string& path) {
  std::lock_guard guard(unfinishedLock);
  unfinished = path;
}

// The temporary file beside the new name; removed unless it was moved.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& newName)
      : path_(TemplateFor(newName)), file_(::mkostemp(path_.data(), O_CLOEXEC)) {
    if (file_.get() < 0) path_.clear();
    SetUnfinished(path_);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    file_.Close();
    std::lock_guard guard(unfinishedLock);
    if (!path_.empty()) ::unlink(path_.c_str());
    unfinished.clear();
  }
  int fd() const { return file_.get(); }
  const std::string& path() const { return path_; }
  int Close() { return file_.Close(); }
  // After a rename the name is no longer ours to remove.
  void Forget() {
    path_.clear();
    SetUnfinished(path_);
  }

 private:
  static std::string TemplateFor(const std::string& newName) {
    const auto slash = newName.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : newName.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? newName : newName.substr(slash + 1);
    return folder + "." + base + ".XXXXXX";
  }

  std::string path_;
  Descriptor file_;
};

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Copies from the current offsets to the end; returns 0 or an errno.
int CopyBytes(int from, int to) {
#ifdef __linux__
  for (;;) {
    const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
    if (n > 0) continue;
    if (n == 0) {
      // Some file systems report 0 instead of copying; let read() decide.
      break;
    }
    if (errno == EINTR) continue;
    if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
        errno == EPERM) {
      break;
    }
    return errno;
  }
#endif
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(from, buffer, sizeof buffer);
    if (got == 0) return 0;
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::write(to, buffer + done, static_cast<size_t>(got - done));
      if (put < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      done += put;
    }
  }
}

int KeepModeAndTimes(int fd, const struct stat& source) {
  if (::fchmod(fd, source.st_mode & 0777) != 0) return errno;
#ifdef __APPLE__
  const struct timespec times[2] = {source.st_atimespec, source.st_mtimespec};
#else
  const struct timespec times[2] = {source.st_atim, source.st_mtim};
#endif
  return ::futimens(fd, times) != 0 ? errno : 0;
}

// Gives the finished copy its name without ever replacing what is there.
int LinkIntoPlace(TemporaryFile& copy, const char* newName) {
  const std::string& temporary = copy.path();
  if (::link(temporary.c_str(), newName) == 0) return 0;
  const int error = errno;
  if (error != EPERM && error != EOPNOTSUPP && error != ENOSYS) return error;
    // Some file systems (FAT, some network shares) have no hard links.
#if defined(__linux__) && defined(RENAME_NOREPLACE)
  if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, newName, RENAME_NOREPLACE) != 0) {
    return errno;
  }
  copy.Forget();
  return 0;
#elif defined(__APPLE__)
  if (::renamex_np(temporary.c_str(), newName, RENAME_EXCL) != 0) return errno;
  copy.Forget();
  return 0;
#else
  return error;
#endif
}

// Makes the new name itself durable. Best effort: the copy is already in
// place and whole, and some file systems refuse to sync a folder.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

int CopyToNewName(const char* existing, const char* newName, bool failIfExists) {
  Descriptor source(::open(existing, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (source.get() < 0) return errno;
  struct stat info {};
  if (::fstat(source.get(), &info) != 0) return errno;
  if (S_ISDIR(info.st_mode)) return EISDIR;
  if (!S_ISREG(info.st_mode)) return EINVAL;
  ::fcntl(source.get(), F_SETFL, ::fcntl(source.get(), F_GETFL) & ~O_NONBLOCK);

  // Cheap early answer; the link below is what really guarantees it.
  struct stat existingNew {};
  if (failIfExists && ::lstat(newName, &existingNew) == 0) return EEXIST;

  TemporaryFile copy(newName);
  if (copy.fd() < 0) return errno;
  if (const int error = CopyBytes(source.get(), copy.fd())) return error;
  if (const int error = KeepModeAndTimes(copy.fd(), info)) return error;
  if (::fsync(copy.fd()) != 0) return errno;
  if (const int error = copy.Close()) return error;

  if (failIfExists) {
    if (const int error = LinkIntoPlace(copy, newName)) return error;
  } else {
    if (::rename(copy.path().c_str(), newName) != 0) return errno;
    copy.Forget();
  }
  SyncFolder(FolderOf(newName));
  return 0;
}

}  // namespace

void RemoveUnfinishedCopy() {
  // Never wait long: a halt must end the process even if the copy is stuck.
  std::unique_lock guard(unfinishedLock, std::chrono::milliseconds(500));
  if (guard.owns_lock() && !unfinished.empty()) ::unlink(unfinished.c_str());
}

BOOL CopyFile(LPCSTR existing, LPCSTR newName, BOOL failIfExists) {
  const int error = CopyToNewName(existing, newName, failIfExists != FALSE);
  return error == 0 ? TRUE : FailWithErrno(error);
}

}  // namespace win::posix
