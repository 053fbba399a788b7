// qdf: builds, dumps, checks and queries message data files (TRAMOLED.QDF).
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "datafile/datafile.h"
#include "messages/messages.h"
#include "tools/qdf/compile.h"
#include "tools/qdf/dump.h"
#include "tools/qdf/escape.h"
#include "tools/qdf/check.h"
#include "tools/qdf/source.h"
#include "tools/qdf/textcode.h"

#ifndef QDF_VERSION
#define QDF_VERSION "0.0.0"
#endif

namespace {

const int kExitClean = 0;
const int kExitErrors = 2;

const char kUsage[] =
    "usage: qdf COMMAND [OPTION...] ARGUMENT...\n"
    "\n"
    "Builds and examines the message data file TRAMOLED.QDF.\n"
    "\n"
    "commands:\n"
    "  build SOURCE... -o FILE   compile .po and plain KEY = text sources into FILE\n"
    "      --codepage N          convert texts to ANSI code page N (1252, 1250, 932, 936, 949, 950, ...)\n"
    "      --use-fuzzy           take .po entries flagged fuzzy too\n"
    "      --werror              treat warnings as errors (nothing is written)\n"
    "  dump FILE [-o OUT]        write FILE back out as a plain source (or .po with --po)\n"
    "      --po                  write a gettext .po file\n"
    "      --codepage N          decode texts from code page N instead of escaping them\n"
    "  check FILE                report what the library loads and what it ignores, with offsets\n"
    "      --json                the same report as JSON\n"
    "      --codepage N          show texts decoded from code page N\n"
    "  show FILE [CODE...]       what DALVIRE_GetErrorMsg returns for each code (default 0..16)\n"
    "      --json                as JSON\n"
    "      --codepage N          show texts decoded from code page N\n"
    "\n"
    "  -q, --quiet               leave out notes\n"
    "  -h, --help                this help\n"
    "  --version                 the version\n"
    "\n"
    "Sources ending in .po or .pot are gettext files; all others are plain KEY = text files.\n"
    "\n"
    "exit codes:\n"
    "  0  clean: done, nothing to warn about (notes do not count)\n"
    "  1  warnings: done, but something is ignored or suspicious (build still writes FILE;\n"
    "     dump had to leave something out)\n"
    "  2  errors: the file is broken, a source is malformed, or the command line is wrong\n"
    "     (build writes nothing)\n";

int Usage(const std::string& problem) {
  fprintf(stderr, "qdf: %s\nrun \"qdf --help\" for the commands and options\n", problem.c_str());
  return kExitErrors;
}

bool ReadWholeFile(const std::string& path, std::string* data, std::string* error) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) {
    *error = strerror(errno);
    return false;
  }
  const size_t kLimit = 64u << 20;  // sources are small; this keeps a wrong argument harmless
  char buffer[65536];
  bool ok = true;
  for (;;) {
    size_t n = fread(buffer, 1, sizeof buffer, f);
    data->append(buffer, n);
    if (data->size() > kLimit) {
      *error = "larger than 64 MiB";
      ok = false;
      break;
    }
    if (n < sizeof buffer) {
      if (ferror(f)) {
        *error = "read error";
        ok = false;
      }
      break;
    }
  }
  fclose(f);
  return ok;
}

bool WriteWholeFile(const std::string& path, const void* data, size_t size) {
  FILE* f = fopen(path.c_str(), "wb");  // binary: no CRLF on Windows
  if (!f) return false;
  bool ok = fwrite(data, 1, size, f) == size;
  ok = fclose(f) == 0 && ok;
  if (!ok) remove(path.c_str());
  return ok;
}

void PrintDiagnostics(const Diagnostics& d, bool quiet) {
  for (const Diagnostic& item : d.items)
    if (!quiet || item.severity != SEVERITY_NOTE) fprintf(stderr, "%s\n", FormatDiagnostic(item).c_str());
}

bool ParseNumber(const std::string& text, long long low, long long high, long long* value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = 0;
  long long v = strtoll(text.c_str(), &end, 0);
  if (errno || *end || v < low || v > high) return false;
  *value = v;
  return true;
}

// Negative codes are arguments of show, not options.
bool IsNegativeNumber(const std::string& text) {
  long long ignored;
  return ParseNumber(text, -2147483648LL, -1, &ignored);
}

struct Options {
  std::vector<std::string> arguments;
  std::string output;
  uint32_t codepage = 0;
  bool json = false, po = false, useFuzzy = false, werror = false, quiet = false;
};

// Options may come anywhere after the command; "--" ends them.
bool ParseOptions(int argc, char** argv, const std::string& command, Options* o, std::string* problem) {
  bool build = command == "build", dump = command == "dump";
  bool report = command == "check" || command == "show";
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    auto Value = [&](std::string* value) {
      if (i + 1 >= argc) {
        *problem = a + " needs a value";
        return false;
      }
      *value = argv[++i];
      return true;
    };
    if (a == "--") {
      for (++i; i < argc; ++i) o->arguments.push_back(argv[i]);
      break;
    }
    std::string value;
    if ((a == "-o" || a == "--output") && (build || dump)) {
      if (!Value(&o->output)) return false;
    } else if (a == "--codepage") {
      long long n;
      if (!Value(&value)) return false;
      if (!ParseNumber(value, 1, 65535, &n)) {
        *problem = "--codepage wants a code page number such as 1252, not \"" + value + "\"";
        return false;
      }
      o->codepage = (uint32_t)n;
    } else if (a == "--json" && report) {
      o->json = true;
    } else if (a == "--po" && dump) {
      o->po = true;
    } else if ((a == "--use-fuzzy" || a == "-f") && build) {
      o->useFuzzy = true;
    } else if (a == "--werror" && build) {
      o->werror = true;
    } else if (a == "-q" || a == "--quiet") {
      o->quiet = true;
    } else if (a.size() > 1 && a[0] == '-' && !(command == "show" && IsNegativeNumber(a))) {
      *problem = "unknown option " + a + " for " + command;
      return false;
    } else {
      o->arguments.push_back(a);
    }
  }
  return true;
}

bool CheckCodepage(uint32_t codepage, bool forBuild) {
  if (!codepage) return true;
  std::string why;
  if (forBuild ? UsableCodepage(codepage, &why) : KnownCodepage(codepage, &why)) return true;
  fprintf(stderr, "qdf: %s\n", why.c_str());
  return false;
}

int Build(const Options& o) {
  if (o.arguments.empty()) return Usage("build needs at least one source");
  if (o.output.empty()) return Usage("build needs -o FILE");
  if (!CheckCodepage(o.codepage, true)) return kExitErrors;
  Diagnostics d;
  std::vector<ParsedSource> sources;
  bool ok = true;
  for (const std::string& path : o.arguments) {
    std::string data, error;
    if (!ReadWholeFile(path, &data, &error)) {
      d.AddAtLine(SEVERITY_ERROR, "open-failed", path, 0, "cannot read the source: " + error);
      ok = false;
      continue;
    }
    ParsedSource source;
    PoOptions po;
    po.useFuzzy = o.useFuzzy;
    bool parsed = SourceKindOf(path) == SOURCE_PO ? ParsePoSource(data.data(), data.size(), path, po, &source, &d)
                                                  : ParseKvSource(data.data(), data.size(), path, &source, &d);
    ok = ok && parsed;
    sources.push_back(source);
  }
  std::vector<Message> messages;
  if (ok) {
    CompileOptions options;
    options.codepage = o.codepage;
    ok = CompileMessages(sources, options, &messages, &d);
  }
  std::vector<uint8_t> image;
  if (ok) {
    image = LayOutMessageFile(messages);
    // What the library loads from the bytes must be what the sources say.
    CheckReport check = CheckDataBytes(image.data(), image.size(), o.output);
    for (size_t i = 0; i < check.table.size(); ++i) {
      const Message* first = 0;
      for (const Message& m : messages)
        if (TableEntryForKey(m.key) == (int)i) {
          first = &m;
          break;
        }
      const TableEntryInfo& e = check.table[i];
      if ((first != 0) != e.loaded || (first && first->text != e.text)) {
        d.AddAtLine(SEVERITY_ERROR, "internal", o.output, 0,
                    "the library would load something else for " + e.key + " than the sources say");
        ok = false;
      }
    }
  }
  if (ok && o.werror && d.Count(SEVERITY_WARNING)) {
    d.AddAtLine(SEVERITY_ERROR, "werror", o.output, 0, "warnings are errors (--werror): nothing written");
    ok = false;
  }
  if (ok && !WriteWholeFile(o.output, image.data(), image.size())) {
    d.AddAtLine(SEVERITY_ERROR, "write-failed", o.output, 0, std::string("cannot write: ") + strerror(errno));
    ok = false;
  }
  PrintDiagnostics(d, o.quiet);
  return ok ? d.ExitCode() : kExitErrors;
}

int Dump(const Options& o) {
  if (o.arguments.size() != 1) return Usage("dump takes one data file");
  if (!CheckCodepage(o.codepage, false)) return kExitErrors;
  CheckReport r = CheckDataFile(o.arguments[0]);
  if (!r.opened) {
    PrintDiagnostics(r.findings, o.quiet);
    return kExitErrors;
  }
  DumpOptions options;
  options.po = o.po;
  options.codepage = o.codepage;
  bool lossy = false;
  std::string text = DumpSource(r, options, &lossy);
  if (o.output.empty()) {
    fwrite(text.data(), 1, text.size(), stdout);
  } else if (!WriteWholeFile(o.output, text.data(), text.size())) {
    fprintf(stderr, "%s: error: cannot write: %s\n", o.output.c_str(), strerror(errno));
    return kExitErrors;
  }
  if (lossy)
    fprintf(stderr, "%s: warning: some records could not be written as they are; see the comments "
                    "(qdf check tells more)\n", o.arguments[0].c_str());
  return lossy ? 1 : kExitClean;
}

int Check(const Options& o) {
  if (o.arguments.size() != 1) return Usage("check takes one data file");
  if (!CheckCodepage(o.codepage, false)) return kExitErrors;
  CheckReport r = CheckDataFile(o.arguments[0]);
  if (o.quiet) {
    std::vector<Diagnostic> kept;
    for (const Diagnostic& d : r.findings.items)
      if (d.severity != SEVERITY_NOTE) kept.push_back(d);
    r.findings.items.swap(kept);
  }
  ReportOptions options;
  options.codepage = o.codepage;
  std::string text = o.json ? FormatCheckJson(r, options) : FormatCheckText(r, options);
  fwrite(text.data(), 1, text.size(), stdout);
  return r.ExitCode();
}

int Show(const Options& o) {
  if (o.arguments.empty()) return Usage("show takes a data file");
  if (!CheckCodepage(o.codepage, false)) return kExitErrors;
  const std::string& path = o.arguments[0];
  std::vector<int32_t> codes;
  for (size_t i = 1; i < o.arguments.size(); ++i) {
    long long n;
    if (!ParseNumber(o.arguments[i], -2147483648LL, 4294967295LL, &n))
      return Usage("\"" + o.arguments[i] + "\" is not a 32-bit code");
    codes.push_back((int32_t)(uint32_t)(long long)n);
  }
  if (codes.empty())
    for (int32_t c = 0; c <= ERRMSG_NUMBERED; ++c) codes.push_back(c);
  DataFile* file = DataFileOpen(path.c_str());
  if (!file) {
    fprintf(stderr, "%s: error: cannot open the file [open-failed]\n", path.c_str());
    return kExitErrors;
  }
  DataFileClose(file);
  std::vector<LookupResult> results = LookUpCodes(path, codes);
  std::string out = o.json ? "[" : "";
  for (size_t i = 0; i < results.size(); ++i) {
    const LookupResult& l = results[i];
    std::string text = DisplayText(l.text, o.codepage);
    if (o.json)
      out += std::string(i ? ",\n " : "\n ") + "{\"code\": " + std::to_string(l.code) +
             ", \"entry\": " + (l.entry >= 0 ? JsonString(ErrMsgTable[l.entry].key) : std::string("null")) +
             ", \"text\": " + JsonString(text) + ", \"text_hex\": " + JsonString(HexBytes(l.text)) +
             ", \"rule\": " + JsonString(l.rule) + "}";
    else
      out += std::to_string(l.code) + ": \"" + text + "\"  (" + l.rule + ")\n";
  }
  if (o.json) out += "\n]\n";
  fwrite(out.data(), 1, out.size(), stdout);
  return kExitClean;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage("no command given");
  std::string command = argv[1];
  if (command == "-h" || command == "--help" || command == "help") {
    fputs(kUsage, stdout);
    return kExitClean;
  }
  if (command == "--version") {
    printf("qdf %s\n", QDF_VERSION);
    return kExitClean;
  }
  for (int i = 2; i < argc; ++i)
    if (!strcmp(argv[i], "-h") || !strcmp(argv[i], "--help")) {
      fputs(kUsage, stdout);
      return kExitClean;
    }
  if (command != "build" && command != "dump" && command != "check" && command != "show")
    return Usage("unknown command \"" + command + "\"");
  Options o;
  std::string problem;
  if (!ParseOptions(argc, argv, command, &o, &problem)) return Usage(problem);
  if (command == "build") return Build(o);
  if (command == "dump") return Dump(o);
  if (command == "check") return Check(o);
  return Show(o);
}
