#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tools/qdf/fileio.h"
#include "tools/qdf/winargs.h"

namespace {

const size_t kInputLimit = 64u << 20;  // sources are small; this keeps a wrong argument harmless

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), 0, 0);
  std::wstring wide((size_t)(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), &wide[0], n);
  return wide;
}

std::string Reason(DWORD code = GetLastError()) {
  wchar_t* text = 0;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           0, code, 0, reinterpret_cast<wchar_t*>(&text), 0, 0);
  std::string reason = n ? WideToUtf8(std::wstring(text, n)) : std::string();
  if (text) LocalFree(text);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.' ||
                             reason.back() == ' '))
    reason.pop_back();
  return reason.empty() ? "system error " + std::to_string(code) : reason;
}

// A file that exists must be a regular disk file: no directory, console,
// device or pipe.
bool RegularHandle(HANDLE h, std::string* error) {
  if (GetFileType(h) != FILE_TYPE_DISK) {
    *error = "it is a device or a pipe, not a regular file";
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(h, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    *error = "it is a directory, not a regular file";
    return false;
  }
  return true;
}

HANDLE OpenRegular(const std::string& path, std::string* error) {
  DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    *error = "it is a directory, not a regular file";
    return INVALID_HANDLE_VALUE;
  }
  HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, 0);
  if (h == INVALID_HANDLE_VALUE) {
    *error = Reason();
    return h;
  }
  if (!RegularHandle(h, error)) {
    CloseHandle(h);
    return INVALID_HANDLE_VALUE;
  }
  return h;
}

bool ReadAll(HANDLE h, std::string* data, std::string* error) {
  data->clear();
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(h, buffer, sizeof buffer, &got, 0)) {
      if (GetLastError() == ERROR_BROKEN_PIPE) return true;  // the writer of a pipe ended
      *error = Reason();
      return false;
    }
    if (got == 0) return true;
    data->append(buffer, got);
    if (data->size() > kInputLimit) {
      *error = "larger than 64 MiB";
      return false;
    }
  }
}

bool CheckTarget(const std::string& target, std::string* error) {
  DWORD attributes = GetFileAttributesW(Wide(target).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    *error = "it is a directory; only a regular file is replaced";
    return false;
  }
  HANDLE h = CreateFileW(Wide(target).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
  if (h == INVALID_HANDLE_VALUE) return true;  // the rename says what is wrong
  bool disk = GetFileType(h) == FILE_TYPE_DISK;
  CloseHandle(h);
  if (!disk) *error = "it is a device; only a regular file is replaced";
  return disk;
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\:");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string BaseOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Create(const std::string& target, std::string* temp, intptr_t* handle, std::string* error) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    std::string name = DirectoryOf(target) + "." + BaseOf(target) + ".qdf-" +
                       std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
    HANDLE h = CreateFileW(Wide(name).c_str(), GENERIC_WRITE, 0, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, 0);
    if (h != INVALID_HANDLE_VALUE) {
      *temp = name;
      *handle = reinterpret_cast<intptr_t>(h);
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  *error = "cannot create a temporary file beside it: " + Reason();
  return false;
}

bool Write(intptr_t handle, const void* data, size_t size, std::string* error) {
  DWORD written = 0;
  if (!WriteFile(reinterpret_cast<HANDLE>(handle), data, (DWORD)size, &written, 0)) {
    *error = Reason();
    return false;
  }
  if (written != size) {
    *error = "only " + std::to_string(written) + " of " + std::to_string(size) + " bytes were written";
    return false;
  }
  return true;
}

bool Flush(intptr_t handle, std::string* error) {
  if (FlushFileBuffers(reinterpret_cast<HANDLE>(handle))) return true;
  *error = Reason();
  return false;
}

bool Sync(intptr_t, std::string*) { return true; }  // FlushFileBuffers already reached the disk

bool Close(intptr_t handle, std::string* error) {
  if (CloseHandle(reinterpret_cast<HANDLE>(handle))) return true;
  *error = Reason();
  return false;
}

bool Replace(const std::string& temp, const std::string& target, std::string* error) {
  if (MoveFileExW(Wide(temp).c_str(), Wide(target).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  *error = "cannot move the temporary file over it: " + Reason();
  return false;
}

void Remove(const std::string& temp) { DeleteFileW(Wide(temp).c_str()); }

const OutputCalls kSystemCalls = {Create, Write, Flush, Sync, Close, Replace, Remove, CheckTarget};

}  // namespace

std::string WideToUtf8(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), 0, 0, 0, 0);
  std::string utf8((size_t)(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), &utf8[0], n, 0, 0);
  return utf8;
}

const OutputCalls& SystemOutputCalls() { return kSystemCalls; }

bool ReadInput(const std::string& path, std::string* data, std::string* error) {
  if (IsStandardStream(path)) return ReadAll(GetStdHandle(STD_INPUT_HANDLE), data, error);
  HANDLE h = OpenRegular(path, error);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = ReadAll(h, data, error);
  CloseHandle(h);
  return ok;
}

bool CheckReadableFile(const std::string& path, std::string* error) {
  HANDLE h = OpenRegular(path, error);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

bool IdentifyFile(const std::string& path, FileIdentity* identity) {
  HANDLE h = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, 0);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  if (!ok) return false;
  identity->volume = info.dwVolumeSerialNumber;
  identity->index = ((uint64_t)info.nFileIndexHigh << 32) | info.nFileIndexLow;
  return true;
}

bool WriteStandardOutput(const void* data, size_t size) {
  return fwrite(data, 1, size, stdout) == size && fflush(stdout) == 0;
}

bool WriteStandardText(const std::string& utf8) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (out == INVALID_HANDLE_VALUE || !GetConsoleMode(out, &mode)) {
    // Redirected: UTF-8 bytes, with the line ends a Windows text file has.
    std::string crlf;
    crlf.reserve(utf8.size() + utf8.size() / 16);
    for (char c : utf8) {
      if (c == '\n') crlf += '\r';
      crlf += c;
    }
    return WriteStandardOutput(crlf.data(), crlf.size());
  }
  fflush(stdout);
  std::wstring wide = Wide(utf8);
  DWORD written = 0;
  return wide.empty() || (WriteConsoleW(out, wide.data(), (DWORD)wide.size(), &written, 0) && written == wide.size());
}

void PrepareFileIo() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
}
