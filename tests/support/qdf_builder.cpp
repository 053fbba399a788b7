#include "tests/support/qdf_builder.h"

#include <stdio.h>
#include <string.h>

void QdfImage::Reserve(uint32_t end) {
  if (bytes.size() < end) bytes.resize(end, 0);
}

void QdfImage::Put32(uint32_t at, uint32_t value) {
  uint8_t b[4] = {(uint8_t)value, (uint8_t)(value >> 8), (uint8_t)(value >> 16), (uint8_t)(value >> 24)};
  PutBytes(at, b, 4);
}

void QdfImage::PutBytes(uint32_t at, const void* data, size_t size) {
  Reserve(at + (uint32_t)size);
  if (size) memcpy(bytes.data() + at, data, size);
}

void QdfImage::PutString(uint32_t at, const std::string& text) {
  PutBytes(at, text.c_str(), text.size() + 1);
}

void QdfImage::Header(uint32_t directoryLimit, uint32_t first) {
  Put32(0, first);
  Put32(4, directoryLimit);
}

void QdfImage::Entry(uint32_t at, const std::string& name, uint32_t firstRecord, uint32_t nextEntry,
                     uint32_t count) {
  uint8_t entry[64] = {};
  memcpy(entry, name.data(), name.size() < 32 ? name.size() : 32);
  PutBytes(at, entry, sizeof entry);
  Put32(at + 32, firstRecord);
  Put32(at + 48, nextEntry);
  Put32(at + 52, count);
}

void QdfImage::Record(uint32_t at, uint32_t keyOffset, uint32_t textOffset, uint32_t nextRecord) {
  Put32(at, keyOffset);
  Put32(at + 4, textOffset);
  Put32(at + 8, 0);
  Put32(at + 12, nextRecord);
}

QdfImage BuildMessageFile(const std::vector<QdfMessage>& messages, QdfLayout* layout,
                          const std::vector<std::string>& before, const std::string& section) {
  QdfLayout local;
  QdfLayout& l = layout ? *layout : local;
  l = QdfLayout();
  const uint32_t entrySpan = 64;  // entry and the count block behind it
  uint32_t entryCount = (uint32_t)before.size() + 1;
  for (uint32_t i = 0; i < entryCount; ++i) l.entries.push_back(8 + i * entrySpan);
  l.section = l.entries.back();
  uint32_t limit = 8 + entryCount * entrySpan;
  uint32_t at = limit;
  for (size_t i = 0; i < messages.size(); ++i, at += 16) l.records.push_back(at);
  for (const QdfMessage& m : messages) {
    l.keys.push_back(at);
    at += (uint32_t)m.key.size() + 1;
    l.texts.push_back(at);
    at += (uint32_t)m.text.size() + 1;
  }

  QdfImage image;
  image.Header(limit);
  for (uint32_t i = 0; i + 1 < entryCount; ++i)
    image.Entry(l.entries[i], before[i], 0, l.entries[i + 1], 0);
  image.Entry(l.section, section, l.records.empty() ? 0 : l.records[0], limit,
              (uint32_t)messages.size());
  for (size_t i = 0; i < messages.size(); ++i) {
    uint32_t next = i + 1 < messages.size() ? l.records[i + 1] : 0;
    image.Record(l.records[i], l.keys[i], l.texts[i], next);
    image.PutString(l.keys[i], messages[i].key);
    image.PutString(l.texts[i], messages[i].text);
  }
  return image;
}

std::vector<QdfMessage> TypicalMessages() {
  std::vector<QdfMessage> messages;
  for (int i = 0; i < 16; ++i) {
    char key[16];
    snprintf(key, sizeof key, "ERMSG_%02d", i);
    messages.push_back({key, "Message number " + std::to_string(i) + " from the data file."});
  }
  messages.push_back({"ERMSG_XX", "An unexpected error occurred."});
  return messages;
}
