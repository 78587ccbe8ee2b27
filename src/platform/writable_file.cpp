#include "platform/writable_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace korvin {

namespace {

#ifdef _WIN32
constexpr int kOpenFlags = _O_WRONLY | _O_CREAT | _O_BINARY;
constexpr int kCreateMode = _S_IREAD | _S_IWRITE;
#else
constexpr int kOpenFlags = O_WRONLY | O_CREAT | O_CLOEXEC;
constexpr mode_t kCreateMode = 0666;  // less the umask, as for any file the program makes
#endif

}  // namespace

WritableFile::WritableFile(const std::filesystem::path& path) {
#ifdef _WIN32
  fd_ = _wopen(path.c_str(), kOpenFlags, kCreateMode);
#else
  fd_ = ::open(path.c_str(), kOpenFlags, kCreateMode);
#endif
  if (fd_ < 0) error_ = std::error_code(errno, std::generic_category());
}

WritableFile::~WritableFile() {
  Close();
}

bool WritableFile::Fail() {
  if (!error_) error_ = std::error_code(errno, std::generic_category());
  return false;
}

int64_t WritableFile::Size() {
  if (fd_ < 0) return -1;
#ifdef _WIN32
  struct _stat64 status;
  const int result = _fstat64(fd_, &status);
#else
  struct stat status;
  const int result = ::fstat(fd_, &status);
#endif
  if (result != 0) {
    Fail();
    return -1;
  }
  return static_cast<int64_t>(status.st_size);
}

bool WritableFile::Reserve(int64_t size) {
  const int64_t old = Size();
  if (old < 0) return false;
  if (size <= old) return true;
#ifdef _WIN32
  // Growing a file on NTFS allocates its clusters at once.
  if (_chsize_s(fd_, size) == 0) return true;
  const int failure = errno;
  _chsize_s(fd_, old);
#else
  // Only the room beyond the old end: the bytes before it are the content to keep.
  const int failure = ::posix_fallocate(fd_, old, size - old);
  if (failure == 0) return true;
  // A failed allocation may still have moved the end; put it back where the old content ends.
  // Should that fail too, the allocation's failure is still the one to report.
  [[maybe_unused]] const int restored = ::ftruncate(fd_, old);
#endif
  errno = failure;
  return Fail();
}

bool WritableFile::WriteAt(int64_t offset, const void* data, size_t size) {
  if (fd_ < 0) return false;
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
#ifdef _WIN32
    if (_lseeki64(fd_, offset, SEEK_SET) < 0) return Fail();
    const int written = _write(fd_, bytes, static_cast<unsigned int>(size));
#else
    const ssize_t written = ::pwrite(fd_, bytes, size, static_cast<off_t>(offset));
#endif
    if (written < 0) {
      if (errno == EINTR) continue;
      return Fail();
    }
    bytes += written;
    offset += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool WritableFile::Truncate(int64_t size) {
  if (fd_ < 0) return false;
#ifdef _WIN32
  if (_chsize_s(fd_, size) != 0) return Fail();
#else
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) return Fail();
#endif
  return true;
}

bool WritableFile::Sync() {
  if (fd_ < 0) return false;
#ifdef _WIN32
  if (_commit(fd_) != 0) return Fail();
#else
  if (::fsync(fd_) != 0) return Fail();
#endif
  return true;
}

bool WritableFile::Close() {
  if (fd_ < 0) return false;
#ifdef _WIN32
  const int closed = _close(fd_);
#else
  const int closed = ::close(fd_);
#endif
  fd_ = -1;
  if (closed != 0) Fail();
  return !error_;
}

bool WriteFileStart(const std::filesystem::path& path, const void* data, size_t size) {
  WritableFile file(path);
  if (!file.is_open()) return false;
  const bool written = file.WriteAt(0, data, size);
  return file.Close() && written;
}

}  // namespace korvin
