// Writes the seed corpora of the fuzz targets:
//   make_seeds <corpus-dir>
// load/       data files from the test fixture builder, each under several
//             control bytes (see load_fuzz.cpp), so the fuzzer starts with
//             every way into file mode and the fault paths;
// qdf_check/  the same data files, as they are;
// qdf_source/ message sources in both formats (data/messages.en.po is
//             copied there too, as the most realistic one).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/support/worst_case.h"
#include "tests/support/qdf_builder.h"

namespace {

struct Seed {
  std::string name;
  QdfImage image;
};

// Writes `prefix` (if any) and `bytes` to dir/name.
void WriteFile(const std::string& path, const std::string& prefix, const void* bytes, size_t size) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) {
    perror(path.c_str());
    exit(1);
  }
  fwrite(prefix.data(), 1, prefix.size(), f);
  if (size) fwrite(bytes, 1, size, f);
  fclose(f);
}

void Write(const std::string& dir, const std::string& name, uint8_t control, const QdfImage& image) {
  char prefix[8];
  snprintf(prefix, sizeof prefix, "%02x-", control);
  WriteFile(dir + "/" + prefix + name, std::string(1, (char)control), image.bytes.data(), image.bytes.size());
}

// Message sources: the .po layout with its header, fuzzy and obsolete
// entries and escapes, and the plain "KEY = text" layout.
const struct {
  const char* name;
  const char* text;
} kSources[] = {
    {"typical.po",
     "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
     "msgctxt \"ERMSG_00\"\nmsgid \"The operation could not be completed.\"\n"
     "msgstr \"The operation could not be completed.\"\n\n"
     "msgctxt \"ERMSG_15\"\nmsgid \"Last\"\nmsgstr \"\"\n\"Split \"\n\"over lines\"\n\n"
     "msgctxt \"ERMSG_XX\"\nmsgid \"Fallback\"\nmsgstr \"An unexpected error occurred.\"\n"},
    {"fuzzy-obsolete.po",
     "# translator comment\n#, fuzzy\nmsgctxt \"ERMSG_01\"\nmsgid \"a\"\nmsgstr \"fuzzy text\"\n\n"
     "#~ msgctxt \"ERMSG_02\"\n#~ msgid \"b\"\n#~ msgstr \"obsolete\"\n\n"
     "msgctxt \"ermsg_03\"\nmsgid \"c\"\nmsgstr \"tab\\there \\x41\\101 \\\"quoted\\\"\"\n"},
    {"charset.po",
     "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=ISO-8859-1\\n\"\n\n"
     "msgctxt \"ERMSG_04\"\nmsgid \"x\"\nmsgstr \"caf\xe9\"\n"},
    {"plural.po", "msgctxt \"ERMSG_05\"\nmsgid \"one\"\nmsgid_plural \"many\"\nmsgstr[0] \"1\"\nmsgstr[1] \"n\"\n"},
    {"typical.txt",
     "# plain messages\nERMSG_00 = The operation could not be completed.\n"
     "ERMSG_07 = Escapes: \\t \\n \\x7e \\\\\nERMSG_XX = An unexpected error occurred.\n"},
    {"duplicates.txt", "ERMSG_03 = first\nERMSG_03 = second\nERMSG_3 = near\nERMSG_16 = past\n = empty key\n"},
};

std::vector<Seed> Seeds() {
  std::vector<Seed> seeds;
  std::vector<QdfMessage> typical = TypicalMessages();
  seeds.push_back({"typical", BuildMessageFile(typical)});
  seeds.push_back({"sections-before", BuildMessageFile(typical, nullptr, {"NALBI_Config", "NALBI_Layout"})});
  seeds.push_back({"fallback-only", BuildMessageFile({{"ERMSG_XX", "Only the fallback."}})});
  seeds.push_back({"case-and-near-keys",
                   BuildMessageFile({{"ermsg_05", "lower case key"}, {"ERMSG_5", "no leading zero"},
                                     {"ERMSG_16", "past the numbered keys"}, {"", "empty key"},
                                     {"ERMSG_03", "first"}, {"ERMSG_03", "second"}})});
  seeds.push_back({"long-texts", BuildMessageFile({{"ERMSG_01", std::string(289, 'a')},
                                                   {"ERMSG_02", std::string(290, 'b')},
                                                   {"ERMSG_XX", "fallback"}})});
  seeds.push_back({"section-name-case", BuildMessageFile(typical, nullptr, {}, "nalbi_errmsg")});
  seeds.push_back({"wrong-section", BuildMessageFile(typical, nullptr, {}, "NALBI_ErrMsgX")});

  {  // the stored count far beyond the records that follow
    QdfLayout layout;
    QdfImage image = BuildMessageFile({{"ERMSG_00", "zero"}, {"ERMSG_01", "one"}}, &layout);
    image.Put32(layout.section + 52, 0xFFFFFFFFu);
    seeds.push_back({"count-too-large", image});
  }
  {  // a record leading to itself
    QdfLayout layout;
    QdfImage image = BuildMessageFile({{"ERMSG_07", "seven"}}, &layout);
    image.Put32(layout.records[0] + 12, layout.records[0]);
    image.Put32(layout.section + 52, 1000);
    seeds.push_back({"record-self-loop", image});
  }
  {  // a directory chain that closes on itself before the section
    QdfLayout layout;
    QdfImage image = BuildMessageFile(typical, &layout, {"NALBI_A", "NALBI_B"});
    image.Put32(layout.entries[1] + 48, layout.entries[0]);
    seeds.push_back({"directory-cycle", image});
  }
  {  // directory limit too small for the first entry
    QdfImage image = BuildMessageFile(typical);
    image.Put32(4, 8);
    seeds.push_back({"limit-8", image});
  }
  {  // a text running to the end of the file without its zero
    QdfLayout layout;
    QdfImage image = BuildMessageFile({{"ERMSG_09", "cut off at the end"}}, &layout);
    image.bytes.pop_back();
    seeds.push_back({"text-at-end", image});
  }
  {
    QdfImage image = BuildMessageFile(typical);
    image.bytes.resize(59);
    seeds.push_back({"shorter-than-entry", image});
  }
  seeds.push_back({"empty", QdfImage()});
  for (int s = 0; s < WORST_SHAPES; ++s)
    seeds.push_back({std::string("worst-") + WorstShapeName((WorstShape)s), BuildWorstCase((WorstShape)s, 4096)});
  return seeds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s <corpus-dir>\n", argv[0]);
    return 2;
  }
  std::string dir = std::string(argv[1]) + "/load";
  std::string checkDir = std::string(argv[1]) + "/qdf_check";
  std::string sourceDir = std::string(argv[1]) + "/qdf_source";
  mkdir(argv[1], 0755);
  for (const std::string& d : {dir, checkDir, sourceDir}) mkdir(d.c_str(), 0755);
  // Control bytes: no image block; no size; a short read in file mode; the
  // first text block refused.
  const uint8_t controls[] = {0x00, 0x01, 0x06, 0x0B};
  int written = 0;
  for (const Seed& seed : Seeds()) {
    for (uint8_t control : controls) {
      Write(dir, seed.name, control, seed.image);
      ++written;
    }
    WriteFile(checkDir + "/" + seed.name, "", seed.image.bytes.data(), seed.image.bytes.size());
    ++written;
  }
  for (const auto& source : kSources) {
    WriteFile(sourceDir + "/" + source.name, "", source.text, strlen(source.text));
    ++written;
  }
  printf("%d seeds in %s\n", written, argv[1]);
  return 0;
}
