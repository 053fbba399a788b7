// Builders of the corrupt data files that cost the loader the most work per byte (benchmarks, fuzz seeds, tests).
#include "tests/support/worst_case.h"

#include <string>

namespace {

const uint32_t kSection = 8;       // the message section's entry, when it comes first
const uint32_t kEntrySpan = 64;    // entry and the count block behind it
const uint32_t kRecordSize = 16;
const uint32_t kEntrySize = 52;
const uint32_t kEverything = 0xFFFFFFFFu;

// Records at `stride` 4 from `first` up to `end`: each next-offset word is
// written; the other words are whatever the overlap makes them. Returns the
// last record.
uint32_t Rec4(QdfImage& image, uint32_t first, uint32_t end, bool cycle) {
  uint32_t last = first + (end - kRecordSize - first) / 4 * 4;
  // The first three records' key words lie before any next-offset word: give
  // them a short nonempty key, like all the others.
  for (uint32_t slot = first; slot < first + 12; slot += 4) image.Put32(slot, first + 12);
  for (uint32_t r = first; r < last; r += 4) image.Put32(r + 12, r + 4);
  image.Put32(last + 12, cycle ? first : last);
  return last;
}

// Directory entries every 4 bytes from 8 while they end before `end`; the
// last one leads to `after`. Returns the last entry.
uint32_t Dir4(QdfImage& image, uint32_t end, uint32_t after) {
  uint32_t last = kSection + (end - kEntrySize - kSection) / 4 * 4;
  for (uint32_t p = kSection; p < last; p += 4) image.Put32(p + 48, p + 4);
  image.Put32(last + 48, after);
  return last;
}

}  // namespace

const char* WorstShapeName(WorstShape shape) {
  switch (shape) {
    case WORST_REC4_CYCLE: return "rec4-cycle";
    case WORST_REC4_CHAIN: return "rec4-chain";
    case WORST_REC8_LONG_KEY_CYCLE: return "rec8-longkey-cycle";
    case WORST_DIR4_CYCLE: return "dir4-cycle";
    case WORST_DIR4_THEN_REC4: return "dir4-then-rec4";
    default: return "?";
  }
}

QdfImage BuildWorstCase(WorstShape shape, uint32_t size) {
  QdfImage image;
  image.Reserve(size);
  const uint32_t records = kSection + kEntrySpan;
  switch (shape) {
    case WORST_REC4_CYCLE:
    case WORST_REC4_CHAIN:
      // Directory limit 9: the entry at 8 is the section, and nothing else is.
      image.Header(9);
      image.Entry(kSection, "NALBI_ErrMsg", records, 9, kEverything);
      Rec4(image, records, size, shape == WORST_REC4_CYCLE);
      break;
    case WORST_REC8_LONG_KEY_CYCLE: {
      image.Header(9);
      image.Entry(kSection, "NALBI_ErrMsg", records, 9, kEverything);
      const uint32_t key = size - 128;
      image.PutString(key, "ERMSG_0" + std::string(120, 'Q'));
      uint32_t last = records + (key - kRecordSize - records) / 8 * 8;
      for (uint32_t r = records; r <= last; r += 8) {
        image.Put32(r, key);
        image.Put32(r + 12, r < last ? r + 8 : records);
      }
      break;
    }
    case WORST_DIR4_CYCLE:
      image.Header(size);
      Dir4(image, size, kSection);
      break;
    case WORST_DIR4_THEN_REC4: {
      image.Header(size);
      uint32_t last = Dir4(image, size / 2, 0);
      uint32_t section = (last + kEntrySize + 3) / 4 * 4;
      image.Put32(last + 48, section);
      image.Entry(section, "NALBI_ErrMsg", section + kEntrySpan, size, kEverything);
      Rec4(image, section + kEntrySpan, size, true);
      break;
    }
    default:
      break;
  }
  image.Reserve(size);
  return image;
}
