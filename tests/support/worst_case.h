// Corrupt message data files that cost the loader the most work per byte.
//
// The loader bounds both of its walks with cycle detection, so a corrupt file
// costs at most a small multiple of the number of distinct positions its
// chains can visit. These builders pack as many distinct positions into a
// file of a given size as the layout allows:
//  - records and directory entries can overlap; at a stride of 4 bytes every
//    next-offset field is a separate word (any smaller stride would make the
//    fields share bytes, and offsets below 16 MiB have a zero top byte, which
//    rules that out for any long chain);
//  - a chain that closes on its own first element makes the cycle detector
//    go round it about twice before it notices;
//  - the stored record count is 0xFFFFFFFF, so only the detector ends the walk.
#ifndef TRAMOLE_TESTS_SUPPORT_WORST_CASE_H
#define TRAMOLE_TESTS_SUPPORT_WORST_CASE_H

#include <stdint.h>

#include "tests/support/qdf_builder.h"

enum WorstShape {
  // Records every 4 bytes from the section to the end, the last one leading
  // back to the first. Keys are forced by the overlap: short, mostly nonempty.
  WORST_REC4_CYCLE,
  // The same records, the last one leading to itself.
  WORST_REC4_CHAIN,
  // Records every 8 bytes (keys free), all naming one 127-character key that
  // starts like a table key, so every comparison runs several characters.
  WORST_REC8_LONG_KEY_CYCLE,
  // Directory entries every 4 bytes over the whole file, the last one leading
  // back to the first; no entry is the message section.
  WORST_DIR4_CYCLE,
  // Directory entries every 4 bytes over the first half, then the message
  // section, whose records fill the second half every 4 bytes in a cycle.
  WORST_DIR4_THEN_REC4,
  WORST_SHAPES
};

const char* WorstShapeName(WorstShape shape);

// A file of exactly `size` bytes (at least 512) of the given shape.
QdfImage BuildWorstCase(WorstShape shape, uint32_t size);

#endif
