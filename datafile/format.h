// Layout of the message data file. All integers are 32-bit little-endian
// and every offset is absolute, counted from the start of the file.
#ifndef TRAMOLE_DATAFILE_FORMAT_H
#define TRAMOLE_DATAFILE_FORMAT_H

#include <stdint.h>

enum {
  QDF_HEADER_SIZE = 8,
  QDF_HEADER_DIRECTORY_LIMIT = 4,  // entries are accepted only below this offset

  QDF_FIRST_ENTRY = 8,
  QDF_ENTRY_SIZE = 52,
  QDF_ENTRY_NAME = 0,
  QDF_ENTRY_NAME_SIZE = 32,
  QDF_ENTRY_FIRST_RECORD = 32,
  QDF_ENTRY_NEXT_ENTRY = 48,
  QDF_COUNT_BLOCK_SIZE = 12,  // behind the entry; its first word is the record count

  QDF_RECORD_SIZE = 16,
  QDF_RECORD_KEY = 0,
  QDF_RECORD_TEXT = 4,
  QDF_RECORD_NEXT = 12,

  QDF_MAX_STRING = 290,  // longest string accepted, terminator included
};

inline uint32_t QdfGet32(const uint8_t* bytes) {
  return (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8 | (uint32_t)bytes[2] << 16 |
         (uint32_t)bytes[3] << 24;
}

#endif
