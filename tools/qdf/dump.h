// Writing a data file back out as a source that builds into a file that
// loads the same table.
#ifndef TRAMOLE_TOOLS_QDF_DUMP_H
#define TRAMOLE_TOOLS_QDF_DUMP_H

#include <stdint.h>

#include <string>

#include "tools/qdf/check.h"

struct DumpOptions {
  bool po = false;        // gettext .po instead of the plain format
  uint32_t codepage = 0;  // decode texts from this code page; 0 escapes every non-ASCII byte
};

// The records of the report, in the order the library reads them. Sets
// *lossy when something had to be left out or changed (each such place
// carries a comment saying why).
std::string DumpSource(const CheckReport& report, const DumpOptions& options, bool* lossy);

#endif
