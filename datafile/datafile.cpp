// The data file reader: open with an image when possible, bounded reads at offsets, section lookup.
#include "datafile/datafile.h"

#include <string.h>

#include "datafile/cycle.h"

// Reads the whole file into the image; 0 when a read fails. A read that
// delivers 0 bytes ends the file early and leaves the rest of the image zero.
static int ReadWholeFile(OsFile file, uint8_t* image, uint32_t size) {
  uint32_t have = 0;
  for (;;) {
    uint32_t ask = size - have;
    uint32_t got = 0;
    if (!OsReadFile(file, image + have, ask, &got)) return 0;
    if (got >= ask || got == 0) return 1;
    have += got;
  }
}

DataFile* DataFileOpen(const char* path) {
  DataFile* file = static_cast<DataFile*>(OsGlobalAlloc(sizeof(DataFile)));
  if (!file) return 0;
  strncpy(file->path, path, OS_PATH_BYTES);
  file->file = OsOpenFileForRead(file->path);
  if (file->file == OS_NO_FILE) {
    OsGlobalFree(file);
    return 0;
  }
  uint32_t size = OsGetFileSize(file->file);
  if (size == OS_FAILED_U32) return file;
  file->image = static_cast<uint8_t*>(OsGlobalAlloc(size));
  if (!file->image) return file;
  if (!ReadWholeFile(file->file, file->image, size)) {
    OsGlobalFree(file->image);
    file->image = 0;
  }
  file->size = size;
  OsSetFilePointer(file->file, 0);
  return file;
}

uint32_t DataFileReadAt(DataFile* file, void* destination, uint32_t count, uint32_t offset) {
  if (file->image) {
    if (offset >= file->size) return 0;
    uint32_t n = file->size - offset < count ? file->size - offset : count;
    memcpy(destination, file->image + offset, n);
    return n;
  }
  if (OsSetFilePointer(file->file, (int32_t)offset) == OS_FAILED_U32) return 0;
  uint8_t* out = static_cast<uint8_t*>(destination);
  uint32_t total = 0;
  for (;;) {
    uint32_t ask = count - total;
    uint32_t got = 0;
    if (!OsReadFile(file->file, out + total, ask, &got)) return DATAFILE_READ_FAILED;
    total += got;
    if (got >= ask || got == 0) return total;
  }
}

int DataFileReadString(DataFile* file, uint32_t offset, char* destination) {
  // Reading the longest accepted string at once gives the same bytes as
  // reading it a byte at a time: what lies past the end of the file reads as
  // zero, so the end of the file ends the string.
  if (file->image) {
    if (offset >= file->size) {
      destination[0] = '\0';
      return 1;
    }
    uint32_t available = file->size - offset;
    if (available > (uint32_t)QDF_MAX_STRING) available = QDF_MAX_STRING;
    const uint8_t* at = file->image + offset;
    const uint8_t* end = static_cast<const uint8_t*>(memchr(at, 0, available));
    if (end) {
      memcpy(destination, at, (size_t)(end - at) + 1);
      return 1;
    }
    if (available == (uint32_t)QDF_MAX_STRING) return 0;
    memcpy(destination, at, available);
    destination[available] = '\0';
    return 1;
  }
  char scratch[QDF_MAX_STRING];
  memset(scratch, 0, sizeof scratch);
  if (DataFileReadAt(file, scratch, QDF_MAX_STRING, offset) == DATAFILE_READ_FAILED) return 0;
  const char* end = static_cast<const char*>(memchr(scratch, 0, sizeof scratch));
  if (!end) return 0;
  memcpy(destination, scratch, (size_t)(end - scratch) + 1);
  return 1;
}

// Equal but for case; the stored name ends at its first zero or at the end
// of its field, and must not run on past the wanted name.
static int SectionNameMatches(const uint8_t* entry, const char* name) {
  const char* stored = reinterpret_cast<const char*>(entry + QDF_ENTRY_NAME);
  size_t storedLength = 0;
  while (storedLength < QDF_ENTRY_NAME_SIZE && stored[storedLength] != '\0') ++storedLength;
  size_t wantedLength = strlen(name);
  return storedLength == wantedLength && OsStrnicmp(stored, name, wantedLength) == 0;
}

uint32_t DataFileFindSection(DataFile* file, const char* name) {
  uint8_t header[QDF_HEADER_SIZE];
  uint8_t entry[QDF_ENTRY_SIZE];
  memset(header, 0, sizeof header);
  memset(entry, 0, sizeof entry);
  DataFileReadAt(file, header, QDF_HEADER_SIZE, 0);
  uint32_t limit = QdfGet32(header + QDF_HEADER_DIRECTORY_LIMIT);

  // The chain is followed as stored; an entry whose next offset leads back
  // into the chain ends the walk once every entry of the cycle was compared.
  uint32_t position = QDF_FIRST_ENTRY;
  CycleGuard guard;
  CycleGuardStart(&guard, position);
  for (;;) {
    uint32_t got = DataFileReadAt(file, entry, QDF_ENTRY_SIZE, position);
    if (got == DATAFILE_READ_FAILED || got < QDF_ENTRY_SIZE) return 0;
    if (SectionNameMatches(entry, name)) return position < limit ? position : 0;
    uint32_t next = QdfGet32(entry + QDF_ENTRY_NEXT_ENTRY);
    if (next >= limit || CycleGuardComesRound(&guard, next)) return 0;
    position = next;
  }
}

void DataFileClose(DataFile* file) {
  OsCloseFile(file->file);
  file->file = OS_NO_FILE;
  if (file->image) OsGlobalFree(file->image);
  OsGlobalFree(file);
}

void DataFileWrapImage(DataFile* file, const uint8_t* bytes, uint32_t size) {
  // Image mode is recognised by a non-null image, so an empty image still
  // needs a pointer; nothing is ever read through it.
  static const uint8_t kNoBytes[1] = {0};
  memset(file, 0, sizeof *file);
  file->file = OS_NO_FILE;
  file->image = const_cast<uint8_t*>(size ? bytes : kNoBytes);
  file->size = size;
}
