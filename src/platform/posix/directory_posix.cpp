// Directory listing, existence test and positioned reads on POSIX systems. Wide paths become
// the UTF-8 names the file system uses, with "\" read as a directory separator (native_path.h).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/native_path.h"

namespace vexmara::platform {
namespace {

// The upper-case form NTFS compares names by: its table maps each UTF-16 unit on its own. This
// covers the letters of the Latin, Greek and Cyrillic blocks; every other unit is its own
// upper case.
char16_t UpperUnit(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? char16_t(c - 0x20) : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return char16_t(c - 0x20);
  if (c == 0xFF) return 0x178;
  if (c == 0xB5) return 0x39C;
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return char16_t(c & ~1u);
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
    return (c & 1u) ? c : char16_t(c - 1);
  if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return char16_t(c - 0x20);
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x430 && c <= 0x44F) return char16_t(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return char16_t(c - 0x50);
  return c;
}

struct Entry {
  char16_t name[kPathUnits];
  size_t nativeOffset;  // where the name's own bytes start in the listing's byte store
  bool isDirectory;
};

int CompareEntries(const Entry& a, const Entry& b, const char* bytes) {
  for (size_t i = 0;; ++i) {
    const char16_t x = UpperUnit(a.name[i]);
    const char16_t y = UpperUnit(b.name[i]);
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) break;
  }
  return std::strcmp(bytes + a.nativeOffset, bytes + b.nativeOffset);
}

// Bottom-up merge sort over an index array: stable, O(n log n), and it allocates nothing beyond
// the scratch array handed in.
void SortIndices(const Entry* entries, const char* bytes, size_t* order, size_t* scratch,
                 size_t n) {
  for (size_t width = 1; width < n; width *= 2) {
    for (size_t left = 0; left < n; left += 2 * width) {
      const size_t middle = left + width < n ? left + width : n;
      const size_t right = left + 2 * width < n ? left + 2 * width : n;
      size_t i = left, j = middle, k = left;
      while (i < middle && j < right) {
        scratch[k++] = CompareEntries(entries[order[j]], entries[order[i]], bytes) < 0 ? order[j++]
                                                                                       : order[i++];
      }
      while (i < middle) scratch[k++] = order[i++];
      while (j < right) scratch[k++] = order[j++];
    }
    std::memcpy(order, scratch, n * sizeof(size_t));
  }
}

// Grows a malloc'd array to hold at least `needed` elements; false (array kept) when it cannot.
template <typename T>
bool Reserve(T*& array, size_t& capacity, size_t needed) {
  if (needed <= capacity) return true;
  size_t grown = capacity < 16 ? 16 : capacity * 2;
  while (grown < needed) grown *= 2;
  void* larger = std::realloc(array, grown * sizeof(T));
  if (larger == nullptr) return false;
  array = static_cast<T*>(larger);
  capacity = grown;
  return true;
}

// The whole listing, read before any entry is handed out so that it can be put in order.
class Listing {
 public:
  ~Listing() {
    std::free(entries_);
    std::free(bytes_);
    std::free(order_);
  }

  bool Read(const char* directory) {
    DIR* dir = opendir(directory);
    if (dir == nullptr) return false;
    const int dirFd = dirfd(dir);
    bool ok = true;
    while (ok) {
      errno = 0;
      const dirent* found = readdir(dir);
      if (found == nullptr) {
        ok = errno == 0;
        break;
      }
      ok = Add(dirFd, found);
    }
    closedir(dir);
    return ok && Sort();
  }

  bool VisitAll(DirectoryVisitor& visitor) const {
    for (size_t i = 0; i < count_; ++i) {
      const Entry& e = entries_[order_[i]];
      if (!visitor.Visit(e.name, e.isDirectory)) break;
    }
    return true;
  }

 private:
  bool Add(int dirFd, const dirent* found) {
    Entry entry;
    // A name that is not valid UTF-8 has no wide form and no wide path could ever reach it.
    if (NarrowToWide(entry.name, kPathUnits, found->d_name) < 0) return true;
    const size_t nameBytes = std::strlen(found->d_name) + 1;
    // The entry's own type, where the file system gives it, saves a stat call per entry (a
    // texture folder holds thousands of files); a link is followed to what it names, and an
    // entry of unknown type is asked for.
    struct stat info;
    if (found->d_type == DT_DIR || found->d_type == DT_REG) {
      entry.isDirectory = found->d_type == DT_DIR;
    } else if (fstatat(dirFd, found->d_name, &info, 0) == 0) {
      entry.isDirectory = S_ISDIR(info.st_mode);
    } else {
      // A dangling link or an entry gone since: listed as a file, whose open then fails.
      entry.isDirectory = false;
    }
    if (!Reserve(entries_, entryCapacity_, count_ + 1)) return false;
    if (!Reserve(bytes_, byteCapacity_, byteCount_ + nameBytes)) return false;
    std::memcpy(bytes_ + byteCount_, found->d_name, nameBytes);
    entry.nativeOffset = byteCount_;
    entries_[count_] = entry;
    byteCount_ += nameBytes;
    ++count_;
    return true;
  }

  bool Sort() {
    if (count_ == 0) return true;
    order_ = static_cast<size_t*>(std::malloc(2 * count_ * sizeof(size_t)));
    if (order_ == nullptr) return false;
    for (size_t i = 0; i < count_; ++i) order_[i] = i;
    SortIndices(entries_, bytes_, order_, order_ + count_, count_);
    return true;
  }

  Entry* entries_ = nullptr;
  size_t count_ = 0;
  size_t entryCapacity_ = 0;
  char* bytes_ = nullptr;
  size_t byteCount_ = 0;
  size_t byteCapacity_ = 0;
  size_t* order_ = nullptr;
};

}  // namespace

bool ListDirectory(const char16_t* directory, DirectoryVisitor& visitor) {
  char native[kNativePathBytes];
  if (!ToNativePath(directory, native, true)) return false;
  Listing listing;
  if (!listing.Read(native)) return false;
  return listing.VisitAll(visitor);
}

bool FileExists(const char16_t* path) {
  char native[kNativePathBytes];
  if (!ToNativePath(path, native, false)) return false;
  struct stat info;
  return stat(native, &info) == 0 && !S_ISDIR(info.st_mode);
}

bool ReadOnlyFile::Open(const char16_t* path) {
  Close();
  char native[kNativePathBytes];
  if (!ToNativePath(path, native, false)) return false;
  const int fd = open(native, O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a FIFO must not block the scan
  if (fd < 0) return false;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) {
    close(fd);
    return false;
  }
  handle_ = fd;
  size_ = uint64_t(info.st_size);
  return true;
}

void ReadOnlyFile::Close() {
  if (handle_ != kNoHandle) close(int(handle_));
  handle_ = kNoHandle;
  size_ = 0;
}

bool ReadOnlyFile::ReadAt(uint64_t offset, void* out, uint32_t bytes) {
  if (handle_ == kNoHandle || out == nullptr) return false;
  if (offset > size_ || bytes > size_ - offset) return false;
  auto* target = static_cast<unsigned char*>(out);
  uint32_t got = 0;
  while (got < bytes) {
    const ssize_t n = pread(int(handle_), target + got, bytes - got, off_t(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // an error, or the file shrank since it was opened
    got += uint32_t(n);
  }
  return true;
}

}  // namespace vexmara::platform
