// Writing a data file back out as a source that builds into a file that
// loads the same table.
#ifndef TRAMOLE_TOOLS_QDF_DUMP_H
#define TRAMOLE_TOOLS_QDF_DUMP_H

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

#include "tools/qdf/source.h"

#include "tools/qdf/check.h"

struct DumpOptions {
  bool po = false;        // gettext .po instead of the plain format
  uint32_t codepage = 0;  // decode texts from this code page; 0 escapes every non-ASCII byte
  // (key, msgid in UTF-8) of a template: a .po dump takes each entry's msgid
  // from here by key, so that msgmerge against the template keeps it.
  const std::vector<std::pair<std::string, std::string>>* templateIds = nullptr;
};

// The records of the report, in the order the library reads them. Sets
// *lossy when something had to be left out or changed (each such place
// carries a comment saying why).
std::string DumpSource(const CheckReport& report, const DumpOptions& options, bool* lossy);

// The gettext template derived from a source: its entries in order, each
// with msgctxt = key, msgid = the entry's text (as UTF-8) and an empty
// msgstr, under a template header that takes the project and creation date
// from the source's header. `base` is the source's file name, for the
// comment. Returns false (with `why`) when a text is not valid in the
// source's charset.
bool TemplateSource(const ParsedSource& source, const std::string& base, std::string* out, std::string* why);

#endif
