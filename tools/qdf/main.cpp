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
#include "tools/qdf/fileio.h"
#include "tools/qdf/numbers.h"
#ifdef _WIN32
#include "tools/qdf/winargs.h"
#endif
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
    "  build SOURCE... -o FILE   compile .po and plain KEY = text sources into FILE; each key\n"
    "                            comes from the first SOURCE that has it\n"
    "      --codepage N          convert texts to ANSI code page N (1252, 1250, 932, 936, 949, 950, ...);\n"
    "                            without it, a .po header's X-Codepage: N names the code page\n"
    "      --use-fuzzy           take .po entries flagged fuzzy too\n"
    "      --werror              treat warnings as errors (nothing is written)\n"
    "  dump FILE [-o OUT]        write FILE back out as a plain source (or .po with --po)\n"
    "      --po                  write a gettext .po file\n"
    "      --template POT        with --po: take each msgid from the template POT by key\n"
    "      --codepage N          decode texts from code page N instead of escaping them\n"
    "  template SOURCE [-o FILE] the gettext template of SOURCE: msgctxt = key, msgid = its text\n"
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
    "- is standard input as a source or data file, and standard output with -o -.\n"
    "Valued options also take --option=value. Code pages are numbers or names (cp1252,\n"
    "windows-1250, shift_jis, gbk, big5, euc-kr, utf-8); codes are decimal (08 is 8) or 0x hex.\n"
    "Outputs are written to a temporary file and renamed over the target: a failure keeps\n"
    "the old file. An output that is an input, and inputs that are not regular files, are refused.\n"
    "\n"
    "exit codes:\n"
    "  0  clean: done, nothing to warn about (notes do not count)\n"
    "  1  warnings: done, but something is ignored or suspicious (check and show; dump had to\n"
    "     leave something out). build exits 0 when it wrote FILE, warnings or not;\n"
    "     --werror makes its warnings errors\n"
    "  2  errors: the file is broken, a source is malformed, the command line is wrong, or a\n"
    "     file cannot be read or written (build writes nothing; the old output stays)\n";

int Usage(const std::string& problem) {
  fprintf(stderr, "qdf: %s\nrun \"qdf --help\" for the commands and options\n", problem.c_str());
  return kExitErrors;
}

void PrintDiagnostics(const Diagnostics& d, bool quiet) {
  for (const Diagnostic& item : d.items)
    if (!quiet || item.severity != SEVERITY_NOTE) fprintf(stderr, "%s\n", FormatDiagnostic(item).c_str());
}

// Negative codes are arguments of show, not options.
bool IsNegativeNumber(const std::string& text) {
  int32_t ignored;
  return text.size() > 1 && text[0] == '-' && ParseCode(text, &ignored);
}

struct Options {
  std::vector<std::string> arguments;
  std::string output;
  std::string templateFile;  // dump --template
  uint32_t codepage = 0;
  bool json = false, po = false, useFuzzy = false, werror = false, quiet = false;
};

// Options may come anywhere after the command; "--" ends them.
bool ParseOptions(int argc, char** argv, const std::string& command, Options* o, std::string* problem) {
  bool build = command == "build", dump = command == "dump", templ = command == "template";
  bool report = command == "check" || command == "show";
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    // "--name=value" is "--name value", as getopt_long reads it.
    std::string attached;
    bool hasAttached = false;
    size_t equals = a.find('=');
    if (a.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      attached = a.substr(equals + 1);
      a.erase(equals);
      hasAttached = true;
    }
    auto Value = [&](std::string* value) {
      if (hasAttached) {
        *value = attached;
        hasAttached = false;
        return true;
      }
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
    if ((a == "-o" || a == "--output") && (build || dump || templ)) {
      if (!Value(&o->output)) return false;
      if (o->output.empty()) {
        *problem = a + " needs a file name (or - for standard output)";
        return false;
      }
    } else if (a == "--codepage") {
      if (!Value(&value)) return false;
      if (!ParseCodepage(value, &o->codepage)) {
        *problem = "--codepage wants a code page number or name such as 1252 or cp1252, not \"" + value + "\"";
        return false;
      }
    } else if (a == "--json" && report) {
      o->json = true;
    } else if (a == "--template" && dump) {
      if (!Value(&o->templateFile)) return false;
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
    if (hasAttached) {
      *problem = a + " takes no value";
      return false;
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

// Refuses an output that is one of the inputs, by file identity, so that
// neither another spelling nor a link lets a build replace its own source.
bool OutputIsNotInput(const std::string& output, const std::vector<std::string>& inputs) {
  FileIdentity out, in;
  if (IsStandardStream(output) || !IdentifyFile(output, &out)) return true;
  for (const std::string& input : inputs)
    if (!IsStandardStream(input) && IdentifyFile(input, &in) && SameFile(in, out)) {
      fprintf(stderr, "%s: error: the output is the input %s; nothing written [output-is-input]\n",
              output.c_str(), input.c_str());
      return false;
    }
  return true;
}

// The new content of `output` (a file, or standard output for "-"); an
// error names the file and the reason.
bool WriteOutput(const std::string& output, const void* data, size_t size, Diagnostics* d) {
  std::string error;
  if (IsStandardStream(output)) {
    if (WriteStandardOutput(data, size)) return true;
    error = "the write to standard output failed";
  } else if (WriteOutputFile(output, data, size, &error)) {
    return true;
  }
  d->AddAtLine(SEVERITY_ERROR, "write-failed", output, 0, "cannot write: " + error + "; the old file stays");
  return false;
}

// Standard input has no name to tell its kind: a line that opens with
// msgid or msgctxt makes it a .po file.
bool LooksLikePo(const std::string& data) {
  for (size_t at = 0; at < data.size();) {
    size_t begin = data.find_first_not_of(" \t", at);
    if (begin == std::string::npos) break;
    if (data.compare(begin, 5, "msgid") == 0 || data.compare(begin, 7, "msgctxt") == 0) return true;
    size_t eol = data.find('\n', begin);
    if (eol == std::string::npos) break;
    at = eol + 1;
  }
  return false;
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Reads and parses one source; its bytes are gone when this returns.
bool ParseSourceFile(const std::string& path, const Options& o, ParsedSource* source, Diagnostics* d) {
  std::string data, error;
  if (!ReadInput(path, &data, &error)) {
    d->AddAtLine(SEVERITY_ERROR, "open-failed", path, 0, "cannot read the source: " + error);
    return false;
  }
  PoOptions options;
  options.useFuzzy = o.useFuzzy;
  std::string name = IsStandardStream(path) ? std::string("<stdin>") : path;
  bool po = IsStandardStream(path) ? LooksLikePo(data) : SourceKindOf(path) == SOURCE_PO;
  return po ? ParsePoSource(data.data(), data.size(), name, options, source, d)
                                         : ParseKvSource(data.data(), data.size(), name, source, d);
}

// What the library loads from the bytes must be what the messages say.
bool LoadsAsCompiled(const std::vector<uint8_t>& image, const std::vector<Message>& messages,
                     const std::string& output, Diagnostics* d) {
  std::vector<TableEntryInfo> table = LoadedTable(image.data(), image.size());
  const Message* first[ERRMSG_ENTRIES] = {};
  for (const Message& m : messages) {
    int entry = TableEntryForKey(m.key);
    if (entry >= 0 && !first[entry]) first[entry] = &m;
  }
  bool ok = true;
  for (size_t i = 0; i < table.size() && i < ERRMSG_ENTRIES; ++i) {
    const TableEntryInfo& e = table[i];
    if ((first[i] != 0) != e.loaded || (first[i] && first[i]->text != e.text)) {
      d->AddAtLine(SEVERITY_ERROR, "internal", output, 0,
                   "the library would load something else for " + e.key + " than the sources say");
      ok = false;
    }
  }
  return ok;
}

void PrintOne(const Diagnostic& item, void* quiet) {
  if (!*static_cast<const bool*>(quiet) || item.severity != SEVERITY_NOTE)
    fprintf(stderr, "%s\n", FormatDiagnostic(item).c_str());
}

// Without --codepage, the first source whose header names an X-Codepage
// sets it; a later source naming another one is warned about, since its
// translator meant another host.
bool CodepageFromHeaders(const std::vector<ParsedSource>& sources, uint32_t* codepage, Diagnostics* d) {
  const ParsedSource* chosen = 0;
  for (const ParsedSource& s : sources) {
    if (s.codepage.empty()) continue;
    uint32_t value = 0;
    if (!ParseCodepage(s.codepage, &value)) {
      d->AddAtLine(SEVERITY_ERROR, "bad-codepage", s.name, 0,
                   "X-Codepage \"" + s.codepage + "\" is not a code page number or name such as 1252 or cp1252");
      return false;
    }
    if (!chosen) {
      std::string why;
      if (!UsableCodepage(value, &why)) {
        d->AddAtLine(SEVERITY_ERROR, "bad-codepage", s.name, 0, "X-Codepage: " + why);
        return false;
      }
      chosen = &s;
      *codepage = value;
    } else if (value != *codepage) {
      d->AddAtLine(SEVERITY_WARNING, "codepage-differs", s.name, 0,
                   "X-Codepage " + s.codepage + " differs from " + chosen->name + "'s; code page " +
                       std::to_string(*codepage) + " is used");
    }
  }
  return true;
}

int Build(const Options& o) {
  if (o.arguments.empty()) return Usage("build needs at least one source");
  if (o.output.empty()) return Usage("build needs -o FILE");
  if (!CheckCodepage(o.codepage, true)) return kExitErrors;
  if (!OutputIsNotInput(o.output, o.arguments)) return kExitErrors;
  Diagnostics d;
  // Findings are printed as they come: a large source may have very many.
  d.sink = PrintOne;
  d.sinkContext = const_cast<bool*>(&o.quiet);
  std::vector<ParsedSource> sources(o.arguments.size());
  bool ok = true;
  for (size_t i = 0; i < o.arguments.size(); ++i) ok = ParseSourceFile(o.arguments[i], o, &sources[i], &d) && ok;
  uint32_t codepage = o.codepage;
  if (ok && !codepage) ok = CodepageFromHeaders(sources, &codepage, &d);
  std::vector<Message> messages;
  if (ok) {
    CompileOptions options;
    options.codepage = codepage;
    ok = CompileAndReleaseMessages(&sources, options, &messages, &d);
  }
  std::vector<ParsedSource>().swap(sources);  // the messages hold all that is needed now
  std::vector<uint8_t> image;
  if (ok) {
    image = LayOutMessageFile(messages);
    ok = LoadsAsCompiled(image, messages, o.output, &d);
  }
  std::vector<Message>().swap(messages);
  if (ok && o.werror && d.Count(SEVERITY_WARNING)) {
    d.AddAtLine(SEVERITY_ERROR, "werror", o.output, 0, "warnings are errors (--werror): nothing written");
    ok = false;
  }
  ok = ok && WriteOutput(o.output, image.data(), image.size(), &d);
  PrintDiagnostics(d, o.quiet);
  // As msgfmt does, a written file is success, warnings or not: make goes on.
  return ok ? kExitClean : kExitErrors;
}

// The data file (or standard input) read whole, then checked the way the
// library reads an image of it.
CheckReport CheckInput(const std::string& path) {
  std::string data, error;
  std::string name = IsStandardStream(path) ? std::string("<stdin>") : path;
  if (!ReadInput(path, &data, &error)) {
    CheckReport r;
    r.file = name;
    r.findings.AddAtLine(SEVERITY_ERROR, "open-failed", name, 0, "cannot open the file: " + error);
    return r;
  }
  return CheckDataBytes(reinterpret_cast<const uint8_t*>(data.data()), data.size(), name);
}

// The (key, msgid) pairs of the template a .po dump takes its msgids from.
bool ReadTemplateIds(const Options& o, std::vector<std::pair<std::string, std::string>>* ids, Diagnostics* d) {
  ParsedSource source;
  Options plain = o;
  plain.useFuzzy = true;  // a template's entries are what they are
  if (!ParseSourceFile(o.templateFile, plain, &source, d)) return false;
  for (const SourceMessage& m : source.messages) {
    std::string key, id;
    ConversionFailure failure;
    if (!ConvertSourceText(m.key, source.charset, 65001, &key, &failure) ||
        !ConvertSourceText(m.text, source.charset, 65001, &id, &failure)) {
      d->AddAtLine(SEVERITY_ERROR, "conversion", source.name, m.line, failure.reason);
      return false;
    }
    ids->push_back(std::make_pair(key, id));
  }
  return true;
}

int Dump(const Options& o) {
  if (o.arguments.size() != 1) return Usage("dump takes one data file");
  if (!o.templateFile.empty() && !o.po) return Usage("--template goes with --po");
  if (!CheckCodepage(o.codepage, false)) return kExitErrors;
  if (!o.output.empty() && !OutputIsNotInput(o.output, o.arguments)) return kExitErrors;
  CheckReport r = CheckInput(o.arguments[0]);
  if (!r.opened) {
    PrintDiagnostics(r.findings, o.quiet);
    return kExitErrors;
  }
  DumpOptions options;
  options.po = o.po;
  options.codepage = o.codepage;
  std::vector<std::pair<std::string, std::string>> ids;
  if (!o.templateFile.empty()) {
    Diagnostics t;
    if (!ReadTemplateIds(o, &ids, &t)) {
      PrintDiagnostics(t, o.quiet);
      return kExitErrors;
    }
    options.templateIds = &ids;
  }
  bool lossy = false;
  std::string text = DumpSource(r, options, &lossy);
  Diagnostics d;
  if (o.output.empty() ? !WriteStandardText(text) : !WriteOutput(o.output, text.data(), text.size(), &d)) {
    if (d.items.empty()) d.AddAtLine(SEVERITY_ERROR, "write-failed", "<stdout>", 0, "the write failed");
    PrintDiagnostics(d, o.quiet);
    return kExitErrors;
  }
  if (lossy)
    fprintf(stderr, "%s: warning: some records could not be written as they are; see the comments "
                    "(qdf check tells more)\n", r.file.c_str());
  return lossy ? 1 : kExitClean;
}

int Template(const Options& o) {
  if (o.arguments.size() != 1) return Usage("template takes one source");
  if (!o.output.empty() && !OutputIsNotInput(o.output, o.arguments)) return kExitErrors;
  Diagnostics d;
  ParsedSource source;
  std::string text, why;
  bool ok = ParseSourceFile(o.arguments[0], o, &source, &d);
  if (ok && !TemplateSource(source, BaseName(o.arguments[0]), &text, &why)) {
    d.AddAtLine(SEVERITY_ERROR, "conversion", source.name, 0, why);
    ok = false;
  }
  if (ok && (o.output.empty() ? !WriteStandardText(text) : !WriteOutput(o.output, text.data(), text.size(), &d))) {
    if (d.items.empty()) d.AddAtLine(SEVERITY_ERROR, "write-failed", "<stdout>", 0, "the write failed");
    ok = false;
  }
  PrintDiagnostics(d, o.quiet);
  return ok ? kExitClean : kExitErrors;
}

int Check(const Options& o) {
  if (o.arguments.size() != 1) return Usage("check takes one data file");
  if (!CheckCodepage(o.codepage, false)) return kExitErrors;
  CheckReport r = CheckInput(o.arguments[0]);
  if (o.quiet) {
    std::vector<Diagnostic> kept;
    for (const Diagnostic& d : r.findings.items)
      if (d.severity != SEVERITY_NOTE) kept.push_back(d);
    r.findings.items.swap(kept);
  }
  ReportOptions options;
  options.codepage = o.codepage;
  std::string text = o.json ? FormatCheckJson(r, options) : FormatCheckText(r, options);
  if (!WriteStandardText(text)) return kExitErrors;
  return r.ExitCode();
}

int Show(const Options& o) {
  if (o.arguments.empty()) return Usage("show takes a data file");
  if (!CheckCodepage(o.codepage, false)) return kExitErrors;
  const std::string& path = o.arguments[0];
  std::vector<int32_t> codes;
  for (size_t i = 1; i < o.arguments.size(); ++i) {
    int32_t code;
    if (!ParseCode(o.arguments[i], &code))
      return Usage("\"" + o.arguments[i] + "\" is not a 32-bit code: give a decimal number or 0x hexadecimal, "
                   "from -2147483648 to 2147483647");
    codes.push_back(code);
  }
  if (codes.empty())
    for (int32_t c = 0; c <= ERRMSG_NUMBERED; ++c) codes.push_back(c);
  std::string error;
  if (!CheckReadableFile(path, &error)) {
    fprintf(stderr, "%s: error: cannot open the file: %s [open-failed]\n", path.c_str(), error.c_str());
    return kExitErrors;
  }
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
  return WriteStandardText(out) ? kExitClean : kExitErrors;
}

}  // namespace

int QdfMain(int argc, char** argv) {
  PrepareFileIo();
  if (argc < 2) return Usage("no command given");
  std::string command = argv[1];
  if (command == "-h" || command == "--help" || command == "help") {
    WriteStandardText(kUsage);
    return kExitClean;
  }
  if (command == "--version") {
    WriteStandardText(std::string("qdf ") + QDF_VERSION + "\n");
    return kExitClean;
  }
  for (int i = 2; i < argc; ++i)
    if (!strcmp(argv[i], "-h") || !strcmp(argv[i], "--help")) {
      WriteStandardText(kUsage);
      return kExitClean;
    }
  if (command != "build" && command != "dump" && command != "check" && command != "show" && command != "template")
    return Usage("unknown command \"" + command + "\"");
  Options o;
  std::string problem;
  if (!ParseOptions(argc, argv, command, &o, &problem)) return Usage(problem);
  if (command == "build") return Build(o);
  if (command == "dump") return Dump(o);
  if (command == "check") return Check(o);
  if (command == "template") return Template(o);
  return Show(o);
}

#ifdef _WIN32
// The command line as the system holds it, UTF-16, so that every path works;
// from here on it is UTF-8.
int wmain(int argc, wchar_t** wargv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(WideToUtf8(wargv[i]));
  std::vector<char*> argv;
  for (std::string& a : arguments) argv.push_back(&a[0]);
  argv.push_back(0);
  return QdfMain(argc, argv.data());
}
#else
int main(int argc, char** argv) { return QdfMain(argc, argv); }
#endif
