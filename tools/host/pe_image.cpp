#include "tools/host/pe_image.h"

#include <stdio.h>

namespace host {

namespace {

const size_t kMaxImports = 1024;     // descriptors walked before giving up
const size_t kMaxNameLength = 260;   // longest DLL name taken from a table

bool Get16(const std::vector<uint8_t>& b, size_t off, uint16_t* v) {
  if (off >= b.size() || b.size() - off < 2) return false;
  *v = (uint16_t)(b[off] | (b[off + 1] << 8));
  return true;
}

bool Get32(const std::vector<uint8_t>& b, size_t off, uint32_t* v) {
  if (off >= b.size() || b.size() - off < 4) return false;
  *v = (uint32_t)b[off] | ((uint32_t)b[off + 1] << 8) | ((uint32_t)b[off + 2] << 16) |
       ((uint32_t)b[off + 3] << 24);
  return true;
}

struct Section {
  uint32_t address, virtualSize, rawSize, rawOffset;
};

// File offset of an address of the loaded image, or false when no section's
// raw data holds it.
bool RvaToOffset(const std::vector<Section>& sections, uint32_t rva, size_t* offset) {
  for (const Section& s : sections) {
    uint32_t span = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
    if (rva < s.address || rva - s.address >= span) continue;
    uint32_t inside = rva - s.address;
    if (inside >= s.rawSize) return false;
    *offset = (size_t)s.rawOffset + inside;
    return true;
  }
  return false;
}

bool ReadName(const std::vector<uint8_t>& b, size_t off, std::string* name) {
  name->clear();
  for (size_t i = 0; i < kMaxNameLength; ++i) {
    if (off >= b.size() || b.size() - off <= i) return false;
    char c = (char)b[off + i];
    if (c == '\0') return !name->empty();
    *name += c;
  }
  return false;
}

void ReadImports(const std::vector<uint8_t>& b, size_t optional, uint16_t magic, uint16_t optionalSize,
                 const std::vector<Section>& sections, PeImage* image) {
  // The data directories follow the fixed part of the optional header.
  size_t countAt = optional + (magic == 0x20b ? 108 : 92);
  uint32_t directories = 0, rva = 0;
  if (!Get32(b, countAt, &directories) || directories < 2) {
    image->importsRead = true;  // no import directory: imports nothing
    return;
  }
  size_t entryAt = countAt + 4 + 8;  // directory 1 is the import table
  if (entryAt + 8 > optional + optionalSize || !Get32(b, entryAt, &rva)) return;
  if (rva == 0) {
    image->importsRead = true;
    return;
  }
  size_t offset = 0;
  if (!RvaToOffset(sections, rva, &offset)) return;
  for (size_t i = 0; i < kMaxImports; ++i) {
    size_t descriptor = offset + i * 20;
    uint32_t lookup = 0, nameRva = 0, thunks = 0;
    if (!Get32(b, descriptor, &lookup) || !Get32(b, descriptor + 12, &nameRva) ||
        !Get32(b, descriptor + 16, &thunks))
      return;
    if (lookup == 0 && nameRva == 0 && thunks == 0) {
      image->importsRead = true;
      return;
    }
    size_t nameAt = 0;
    std::string name;
    if (!RvaToOffset(sections, nameRva, &nameAt) || !ReadName(b, nameAt, &name)) return;
    image->imports.push_back(name);
  }
}

}  // namespace

PeImage ReadPeImage(const std::vector<uint8_t>& b) {
  PeImage image;
  uint32_t peAt = 0, signature = 0;
  uint16_t characteristics = 0, sectionCount = 0, optionalSize = 0, magic = 0;
  if (b.size() < 2 || b[0] != 'M' || b[1] != 'Z' || !Get32(b, 0x3c, &peAt)) return image;
  if (!Get32(b, peAt, &signature) || signature != 0x00004550) return image;
  size_t header = (size_t)peAt + 4;
  if (!Get16(b, header, &image.machine) || !Get16(b, header + 2, &sectionCount) ||
      !Get16(b, header + 16, &optionalSize) || !Get16(b, header + 18, &characteristics))
    return image;
  size_t optional = header + 20;
  if (!Get16(b, optional, &magic) || (magic != 0x10b && magic != 0x20b)) return image;
  image.isPe = true;
  image.isDll = (characteristics & 0x2000) != 0;

  std::vector<Section> sections;
  size_t table = optional + optionalSize;
  for (uint16_t i = 0; i < sectionCount; ++i) {
    Section s;
    size_t at = table + (size_t)i * 40;
    if (!Get32(b, at + 8, &s.virtualSize) || !Get32(b, at + 12, &s.address) ||
        !Get32(b, at + 16, &s.rawSize) || !Get32(b, at + 20, &s.rawOffset))
      break;
    // Raw data past the end of the file is cut to what the file holds.
    if (s.rawOffset >= b.size()) s.rawSize = 0;
    else if (b.size() - s.rawOffset < s.rawSize) s.rawSize = (uint32_t)(b.size() - s.rawOffset);
    sections.push_back(s);
  }
  ReadImports(b, optional, magic, optionalSize, sections, &image);
  return image;
}

std::string MachineName(uint16_t machine) {
  switch (machine) {
    case kMachineX64: return "x64";
    case 0x014c: return "x86";
    case 0xaa64: return "ARM64";
    case 0x01c4: return "ARM";
  }
  char text[24];
  snprintf(text, sizeof text, "machine 0x%04x", machine);
  return text;
}

}  // namespace host
