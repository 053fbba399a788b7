// Windows backend of the platform seam, spooler part: OpenPrinterA,
// GetPrinterDriverA and ClosePrinter from WINSPOOL.DRV.
#include <windows.h>
#include <winspool.h>

#include <stddef.h>

#include "platform/os.h"

static_assert(sizeof(OsDriverInfo2) == sizeof(DRIVER_INFO_2A), "driver information layout");
static_assert(offsetof(OsDriverInfo2, pDriverPath) == offsetof(DRIVER_INFO_2A, pDriverPath),
              "driver path offset");

int OsOpenPrinter(const char* name, OsPrinter* printer) {
  HANDLE handle = nullptr;
  BOOL ok = OpenPrinterA(const_cast<char*>(name), &handle, nullptr);
  *printer = handle;
  return ok ? 1 : 0;
}

int OsGetPrinterDriver2(OsPrinter printer, void* buffer, uint32_t size, uint32_t* needed) {
  DWORD want = *needed;
  BOOL ok = GetPrinterDriverA(printer, nullptr, 2, static_cast<BYTE*>(buffer), size, &want);
  *needed = want;
  return ok ? 1 : 0;
}

void OsClosePrinter(OsPrinter printer) { ClosePrinter(printer); }
