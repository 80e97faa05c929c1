#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "cli/files/folders.h"
#include "cli/text/win32_text.h"

namespace vexmara::cli {
namespace {

// Opens a file or folder for its attributes only (no access, so that a file others hold open
// without sharing can still be looked at), following links to what they lead to.
HANDLE OpenForAttributes(const std::filesystem::path& path) {
  return CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The identity and attributes of what `path` leads to. False, with GetLastError's code, when it
// cannot be opened.
bool Inspect(const std::filesystem::path& path, FileIdentity* identity, DWORD* attributes,
             DWORD* error) {
  const HANDLE file = OpenForAttributes(path);
  if (file == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool got = GetFileInformationByHandle(file, &info) != FALSE;
  *error = got ? 0 : GetLastError();
  CloseHandle(file);
  if (!got) return false;
  *identity = FileIdentity{info.dwVolumeSerialNumber,
                           (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  *attributes = info.dwFileAttributes;
  return true;
}

FileResult Failed(DWORD error) {
  return FileResult::Failure(FileCode::Failed, win32::SystemMessage(error));
}

bool IsDots(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

}  // namespace

FileResult ListFolder(const std::filesystem::path& folder, std::vector<FolderEntry>* entries) {
  entries->clear();
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileExW((folder / L"*").c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) return Failed(GetLastError());
  for (bool more = true; more; more = FindNextFileW(search, &found) != FALSE) {
    if (IsDots(found.cFileName)) continue;
    FolderEntry entry;
    entry.name = found.cFileName;
    // What the entry leads to, a link followed as stat follows it. One that cannot be opened is a
    // file (reading it will say why), unless the listing says it is a folder: that one is
    // entered, and its own listing says why it cannot be read.
    DWORD attributes = 0, error = 0;
    if (Inspect(folder / entry.name, &entry.identity, &attributes, &error)) {
      entry.kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::Folder
                   : (attributes & FILE_ATTRIBUTE_DEVICE) != 0  ? EntryKind::Other
                                                                : EntryKind::File;
    } else {
      entry.kind = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::Folder
                                                                            : EntryKind::File;
    }
    entries->push_back(std::move(entry));
  }
  const DWORD listError = GetLastError();  // why FindNextFileW found no more
  FindClose(search);
  if (listError != ERROR_NO_MORE_FILES) {
    entries->clear();
    return Failed(listError);
  }
  return {};
}

FileResult IdentifyFolder(const std::filesystem::path& folder, FileIdentity* identity) {
  DWORD attributes = 0, error = 0;
  if (!Inspect(folder, identity, &attributes, &error)) return Failed(error);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return Failed(ERROR_DIRECTORY);
  return {};
}

std::string OneFileKey(const std::filesystem::path& relative) {
  std::wstring text = relative.native();
  for (wchar_t& c : text) {
    if (c == L'/') c = L'\\';
  }
  // The invariant upper case, which is how NTFS and FAT compare names.
  std::wstring upper(text.size(), L'\0');
  const int mapped = text.empty() ? 0
                                  : LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE,
                                                  text.c_str(), int(text.size()), upper.data(),
                                                  int(upper.size()), nullptr, nullptr, 0);
  return win32::Utf8(mapped == int(text.size()) ? upper : text);
}

}  // namespace vexmara::cli
