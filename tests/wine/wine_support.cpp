#include "tests/wine/wine_support.h"

#include <windows.h>
#include <winspool.h>

#include <stdio.h>

namespace wine {

namespace {

const char kDriversKey[] =
    "System\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3\\";
const char kPrintersKey[] = "System\\CurrentControlSet\\Control\\Print\\Printers\\";

bool SetString(HKEY key, const char* name, const std::string& value) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        (DWORD)value.size() + 1) == ERROR_SUCCESS;
}

bool SetStringW(HKEY key, const wchar_t* name, const std::wstring& value) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        (DWORD)((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace

std::string HostPath(const std::string& arg) {
  if (arg.empty() || arg[0] != '/') return arg;
  std::string path = "Z:" + arg;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

std::string DirOf(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

bool MakeDirs(const std::string& dir) {
  std::string path = dir;
  while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  if (path.empty()) return false;
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  std::string parent = DirOf(path);
  // Stop at the drive ("C:\"): it exists or nothing can be made.
  if (parent.size() > 3 && !MakeDirs(parent)) return false;
  return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool CopyTo(const std::string& from, const std::string& to) {
  return MakeDirs(DirOf(to)) && CopyFileA(from.c_str(), to.c_str(), FALSE);
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  if (!MakeDirs(DirOf(path))) return false;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = bytes.empty() ||
            WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

bool RemoveFile(const std::string& path) {
  return DeleteFileA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND ||
         GetLastError() == ERROR_PATH_NOT_FOUND;
}

bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool RegisterDriver(const std::string& driver, const char* driverPath) {
  HKEY key = nullptr;
  std::string name = kDriversKey + driver;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return false;
  DWORD version = 3;
  bool ok = RegSetValueExA(key, "Version", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&version),
                           sizeof version) == ERROR_SUCCESS;
  if (driverPath) ok = ok && SetString(key, "Driver", driverPath);
  else RegDeleteValueA(key, "Driver");
  RegCloseKey(key);
  return ok;
}

bool RegisterDriverW(const std::wstring& driver, const std::wstring& driverPath) {
  HKEY key = nullptr;
  std::wstring name = L"System\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3\\" + driver;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return false;
  DWORD version = 3;
  bool ok = RegSetValueExW(key, L"Version", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&version),
                           sizeof version) == ERROR_SUCCESS &&
            SetStringW(key, L"Driver", driverPath);
  RegCloseKey(key);
  return ok;
}

bool RegisterPrinter(const std::string& printer, const std::string& driver) {
  HKEY key = nullptr;
  std::string name = kPrintersKey + printer;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return false;
  // Without a print processor the spooler refuses to open the printer.
  bool ok = SetString(key, "Name", printer) && SetString(key, "Printer Driver", driver) &&
            SetString(key, "Port", "FILE:") && SetString(key, "Print Processor", "winprint") &&
            SetString(key, "Datatype", "RAW");
  RegCloseKey(key);
  return ok;
}

bool RegisterPrinterW(const std::wstring& printer, const std::wstring& driver) {
  HKEY key = nullptr;
  std::wstring name = L"System\\CurrentControlSet\\Control\\Print\\Printers\\" + printer;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return false;
  bool ok = SetStringW(key, L"Name", printer) && SetStringW(key, L"Printer Driver", driver) &&
            SetStringW(key, L"Port", L"FILE:") && SetStringW(key, L"Print Processor", L"winprint") &&
            SetStringW(key, L"Datatype", L"RAW");
  RegCloseKey(key);
  return ok;
}

std::string SpoolerDriverPath(const std::string& printer) {
  HANDLE handle = nullptr;
  if (!OpenPrinterA(const_cast<char*>(printer.c_str()), &handle, nullptr)) return "";
  std::string path;
  DWORD needed = 0;
  GetPrinterDriverA(handle, nullptr, 2, nullptr, 0, &needed);
  std::vector<BYTE> info(needed ? needed : 1);
  if (needed && GetPrinterDriverA(handle, nullptr, 2, info.data(), needed, &needed)) {
    const DRIVER_INFO_2A* driver = reinterpret_cast<const DRIVER_INFO_2A*>(info.data());
    if (driver->pDriverPath) path = driver->pDriverPath;
  }
  ClosePrinter(handle);
  return path;
}

std::wstring SpoolerDriverPathW(const std::wstring& printer) {
  HANDLE handle = nullptr;
  if (!OpenPrinterW(const_cast<wchar_t*>(printer.c_str()), &handle, nullptr)) return L"";
  std::wstring path;
  DWORD needed = 0;
  GetPrinterDriverW(handle, nullptr, 2, nullptr, 0, &needed);
  std::vector<BYTE> info(needed ? needed : 1);
  if (needed && GetPrinterDriverW(handle, nullptr, 2, info.data(), needed, &needed)) {
    const DRIVER_INFO_2W* driver = reinterpret_cast<const DRIVER_INFO_2W*>(info.data());
    if (driver->pDriverPath) path = driver->pDriverPath;
  }
  ClosePrinter(handle);
  return path;
}

std::string Show(const std::string& bytes, size_t limit) {
  std::string out = "\"";
  for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
    unsigned char c = (unsigned char)bytes[i];
    if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
      out += (char)c;
    } else {
      char escaped[8];
      snprintf(escaped, sizeof escaped, "\\x%02x", c);
      out += escaped;
    }
  }
  out += "\"";
  if (bytes.size() > limit) out += "... (" + std::to_string(bytes.size()) + " bytes)";
  return out;
}

std::string Hex(uint64_t value) {
  char text[24];
  snprintf(text, sizeof text, "0x%016llx", (unsigned long long)value);
  return text;
}

bool Tally::Check(bool ok, const std::string& row, const std::string& what, const std::string& got,
                  const std::string& expected) {
  if (ok) {
    ++passed_;
  } else {
    ++failed_;
    printf("FAIL [%s] %s: got %s, expected %s\n", row.c_str(), what.c_str(), got.c_str(),
           expected.c_str());
    fflush(stdout);
  }
  return ok;
}

int Tally::Finish(const std::string& suite) {
  printf("%s: %d passed, %d failed\n", suite.c_str(), passed_, failed_);
  fflush(stdout);
  return failed_ == 0 && passed_ > 0 ? 0 : 1;
}

}  // namespace wine
