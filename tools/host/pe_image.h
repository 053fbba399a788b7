// What the doctor reads from a companion's file before anyone loads it: the
// PE headers (machine, DLL or not) and the names of the DLLs it imports.
// Every read is bounded by the bytes given; nothing here trusts the file.
#ifndef TRAMOLE_TOOLS_HOST_PE_IMAGE_H
#define TRAMOLE_TOOLS_HOST_PE_IMAGE_H

#include <stdint.h>

#include <string>
#include <vector>

namespace host {

const uint16_t kMachineX64 = 0x8664;

struct PeImage {
  bool isPe = false;       // MZ and PE headers both found
  uint16_t machine = 0;    // IMAGE_FILE_HEADER.Machine
  bool isDll = false;      // IMAGE_FILE_DLL set
  bool importsRead = false;  // the import table was found and walked to its end
  std::vector<std::string> imports;  // DLL names, in table order
};

PeImage ReadPeImage(const std::vector<uint8_t>& bytes);

// "x64", "x86", "ARM64", "ARM", or "machine 0xNNNN".
std::string MachineName(uint16_t machine);

}  // namespace host

#endif
