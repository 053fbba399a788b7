// Lays out message data files for tests: named fields at chosen offsets.
//
// A test builds a valid file with BuildMessageFile, then corrupts one field
// through the offsets the layout reports.
#ifndef TRAMOLE_TESTS_SUPPORT_QDF_BUILDER_H
#define TRAMOLE_TESTS_SUPPORT_QDF_BUILDER_H

#include <stdint.h>

#include <string>
#include <vector>

struct QdfImage {
  std::vector<uint8_t> bytes;

  void Reserve(uint32_t end);  // grows the file, zero-filled, to at least `end`
  void Put32(uint32_t at, uint32_t value);
  void PutBytes(uint32_t at, const void* data, size_t size);
  // The text and its terminating zero.
  void PutString(uint32_t at, const std::string& text);
  void Header(uint32_t directoryLimit, uint32_t first = 0);
  // A section entry (52 bytes) and the 12-byte block behind it with `count`.
  void Entry(uint32_t at, const std::string& name, uint32_t firstRecord, uint32_t nextEntry,
             uint32_t count);
  void Record(uint32_t at, uint32_t keyOffset, uint32_t textOffset, uint32_t nextRecord);
  uint32_t Size() const { return (uint32_t)bytes.size(); }
};

struct QdfMessage {
  std::string key;
  std::string text;
};

// Where BuildMessageFile put each part.
struct QdfLayout {
  std::vector<uint32_t> entries;  // section entries, in chain order
  uint32_t section = 0;           // the message section's entry
  std::vector<uint32_t> records;
  std::vector<uint32_t> keys;
  std::vector<uint32_t> texts;
};

// A well-formed file: the header, the sections `before` (empty ones) chained
// ahead of the message section, its records in order, then the strings. The
// directory limit lies just past the last entry.
QdfImage BuildMessageFile(const std::vector<QdfMessage>& messages, QdfLayout* layout = nullptr,
                          const std::vector<std::string>& before = {},
                          const std::string& section = "NALBI_ErrMsg");

// The 17 messages of a typical file: ERMSG_00 .. ERMSG_15 and ERMSG_XX.
std::vector<QdfMessage> TypicalMessages();

#endif
