// Windows backend of the platform seam, spooler part: OpenPrinterA with the
// host's 8-bit name, GetPrinterDriverW (its driver path given in UTF-8) and
// ClosePrinter from WINSPOOL.DRV.
#include <windows.h>
#include <winspool.h>

#include <stddef.h>

#include "platform/os.h"
#include "platform/os_win_text.h"

static_assert(sizeof(OsDriverInfo2) == sizeof(DRIVER_INFO_2W), "driver information layout");
static_assert(offsetof(OsDriverInfo2, pDriverPath) == offsetof(DRIVER_INFO_2W, pDriverPath),
              "driver path offset");

int OsOpenPrinter(const char* name, OsPrinter* printer) {
  HANDLE handle = nullptr;
  BOOL ok = OpenPrinterA(const_cast<char*>(name), &handle, nullptr);
  *printer = handle;
  return ok ? 1 : 0;
}

// The caller's block holds the wide driver information first and the UTF-8
// driver path after it: the needed size reported is the spooler's own plus
// twice as much again for that path (UTF-8 takes at most three bytes for
// each two-byte unit, and the terminator fits in what is left).
static uint32_t BlockFor(DWORD wideBytes) { return wideBytes > 0x20000000 ? 0 : wideBytes * 3; }

int OsGetPrinterDriver2(OsPrinter printer, void* buffer, uint32_t size, uint32_t* needed) {
  DWORD wideNeeded = 0;
  if (!buffer) {
    BOOL ok = GetPrinterDriverW(printer, nullptr, 2, nullptr, 0, &wideNeeded);
    *needed = BlockFor(wideNeeded);
    return ok ? 1 : 0;
  }
  // Keep room for the UTF-8 path behind what the spooler may fill.
  DWORD wideRoom = size / 3;
  BYTE* block = static_cast<BYTE*>(buffer);
  if (!GetPrinterDriverW(printer, nullptr, 2, block, wideRoom, &wideNeeded)) {
    *needed = BlockFor(wideNeeded);
    return 0;
  }
  DRIVER_INFO_2W* wide = reinterpret_cast<DRIVER_INFO_2W*>(block);
  OsDriverInfo2* info = static_cast<OsDriverInfo2*>(buffer);
  char* text = reinterpret_cast<char*>(block + wideRoom);
  const WCHAR* driverPath = wide->pDriverPath;
  int ok = 1;
  if (driverPath) ok = Utf8Text(driverPath, lstrlenW(driverPath), text, size - wideRoom);
  info->pName = info->pEnvironment = info->pDataFile = info->pConfigFile = nullptr;
  info->pDriverPath = driverPath && ok ? text : nullptr;
  return ok;
}

void OsClosePrinter(OsPrinter printer) { ClosePrinter(printer); }
