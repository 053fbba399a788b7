// Reader of the message data file: opens it, keeps an image of it in memory
// when it can, and reads bytes, strings and sections at absolute offsets.
#ifndef TRAMOLE_DATAFILE_DATAFILE_H
#define TRAMOLE_DATAFILE_DATAFILE_H

#include <stdint.h>

#include "datafile/format.h"
#include "platform/os.h"

#define DATAFILE_READ_FAILED 0xFFFFFFFFu

struct DataFile {
  OsFile file;                // open in both modes until DataFileClose
  char path[OS_PATH_BYTES + 1];  // the path opened (UTF-8), cut at OS_PATH_BYTES bytes
  uint8_t* image;             // the whole file (image mode), or 0 (file mode)
  uint32_t size;              // bytes of the image; set only when it was obtained
};

// Opens the file at `path`; 0 when it cannot be opened or no memory is left.
DataFile* DataFileOpen(const char* path);

// Places up to `count` bytes from `offset` into `destination`. Returns the
// bytes placed (0 at or past the end), or DATAFILE_READ_FAILED.
uint32_t DataFileReadAt(DataFile* file, void* destination, uint32_t count, uint32_t offset);

// Reads the zero-terminated string at `offset` into `destination`
// (QDF_MAX_STRING bytes). The end of the file also ends a string. Returns 1
// when a whole string was placed, 0 (destination untouched) otherwise.
int DataFileReadString(DataFile* file, uint32_t offset, char* destination);

// Offset of the section entry named `name` (case ignored), or 0.
uint32_t DataFileFindSection(DataFile* file, const char* name);

void DataFileClose(DataFile* file);

// Sets `file` up as an image-mode reader over `size` bytes the caller keeps
// alive: nothing is opened, allocated or written, and every read copies from
// them. Such a reader is not closed with DataFileClose.
void DataFileWrapImage(DataFile* file, const uint8_t* bytes, uint32_t size);

#endif
