// The library's life in a host process and its message texts, with real
// data files beside the DLL.
#include <ctype.h>
#include <limits.h>
#include <stdio.h>

#include <map>

#include "tests/support/probes.h"
#include "tests/support/qdf_builder.h"
#include "tests/wine/e2e.h"

namespace e2e {

namespace {

std::string CodeName(int32_t code) { return "code " + std::to_string(code); }

// The text a host must get for `code` from a file holding `messages`
// (keys compared without regard to case; the first record of a key wins).
std::string ExpectedText(const std::vector<QdfMessage>& messages, bool fileThere, int32_t code) {
  if (!fileThere) return "";
  std::map<std::string, std::string> byKey;
  for (const QdfMessage& m : messages) {
    std::string key = m.key;
    for (char& c : key) c = (char)toupper((unsigned char)c);
    byKey.emplace(key, m.text);
  }
  char key[16];
  snprintf(key, sizeof key, "ERMSG_%02d", (int)code);
  if (code >= 0 && code <= 15 && byKey.count(key)) return byKey[key];
  if (byKey.count("ERMSG_XX")) return byKey["ERMSG_XX"];
  return "";
}

// Puts the DLL and (unless `messages` is null) a data file into `dir`.
bool LayOut(wine::Tally& tally, const std::string& row, const std::string& dll,
            const std::string& dir, const std::vector<QdfMessage>* messages) {
  std::string copy = dir + "TRAMOLEW.dll";
  std::string dataFile = dir + "TRAMOLED.QDF";
  if (!tally.Check(wine::CopyTo(dll, copy), row, "copy of the DLL to " + copy, "failed", "copied"))
    return false;
  bool placed = messages ? wine::WriteBytes(dataFile, BuildMessageFile(*messages).bytes)
                         : wine::RemoveFile(dataFile);
  return tally.Check(placed, row, "data file " + dataFile, "not prepared", "prepared");
}

struct Lookup {
  const char* pointers[kProbeCodeCount];
};

Lookup LookUpAll(const Library& library) {
  Lookup lookup;
  for (size_t i = 0; i < kProbeCodeCount; ++i)
    lookup.pointers[i] = library.getErrorMsg(kProbeCodes[i]);
  return lookup;
}

struct ThreadWork {
  const Library* library;
  Lookup seen;
  int32_t childInfo;
  HANDLE go;  // when set, the thread waits for it before looking up
};

DWORD WINAPI LookUpInThread(void* argument) {
  ThreadWork* work = static_cast<ThreadWork*>(argument);
  if (work->go) WaitForSingleObject(work->go, INFINITE);
  if (!work->library->module) return 0;  // the load failed: nothing to call
  work->childInfo = work->library->setChildInfo();
  work->seen = LookUpAll(*work->library);
  return 0;
}

void CheckSame(wine::Tally& tally, const std::string& row, const std::string& when,
               const Lookup& got, const Lookup& expected) {
  for (size_t i = 0; i < kProbeCodeCount; ++i)
    tally.Check(got.pointers[i] == expected.pointers[i], row,
                CodeName(kProbeCodes[i]) + " pointer " + when,
                wine::Hex((uintptr_t)got.pointers[i]), wine::Hex((uintptr_t)expected.pointers[i]));
}

void CheckTexts(wine::Tally& tally, const std::string& row, const Lookup& got,
                const std::vector<QdfMessage>& messages, bool fileThere) {
  for (size_t i = 0; i < kProbeCodeCount; ++i) {
    std::string what = CodeName(kProbeCodes[i]) + " text";
    if (!tally.Check(got.pointers[i] != nullptr, row, what, "null", "a text")) continue;
    tally.Equal(row, what, wine::Show(got.pointers[i], 300),
                wine::Show(ExpectedText(messages, fileThere, kProbeCodes[i]), 300));
  }
}

}  // namespace

// Load from a directory with spaces, threads that start and end while the
// library is loaded (one of them started before it was), unload, and a
// reload that reads the data file anew.
int RunLifecycle(const std::string& dll) {
  wine::Tally tally;
  const std::string row = "library dir with spaces";
  const std::string dir = std::string(kRoot) + "lifecycle\\library dir with spaces\\";
  std::vector<QdfMessage> messages = TypicalMessages();
  if (!LayOut(tally, row, dll, dir, &messages)) return tally.Finish("lifecycle");

  // Started before the load: the loader tells the library of its end only.
  ThreadWork early = {};
  Library library;
  early.library = &library;
  early.go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE earlyThread = CreateThread(nullptr, 0, LookUpInThread, &early, 0, nullptr);

  if (library.Load(dir + "TRAMOLEW.dll", tally, row)) {
    tally.Check(GetModuleHandleA(library.path.c_str()) == library.module, row,
                "GetModuleHandleA of the full path", "another module", "the loaded library");
    tally.Equal(row, "SetChildInfo before any thread", library.setChildInfo(), 0);
    Lookup before = LookUpAll(library);
    CheckTexts(tally, row, before, messages, true);
    CheckSame(tally, row, "on a second call", LookUpAll(library), before);

    ThreadWork late = {};
    late.library = &library;
    late.childInfo = -1;
    HANDLE lateThread = CreateThread(nullptr, 0, LookUpInThread, &late, 0, nullptr);
    WaitForSingleObject(lateThread, INFINITE);
    CloseHandle(lateThread);
    tally.Equal(row, "SetChildInfo in a thread", late.childInfo, 0);
    CheckSame(tally, row, "in a thread started after the load", late.seen, before);
    tally.Equal(row, "SetChildInfo after a thread ended", library.setChildInfo(), 0);

    SetEvent(early.go);
    WaitForSingleObject(earlyThread, INFINITE);
    CheckSame(tally, row, "in a thread started before the load", early.seen, before);
    Lookup after = LookUpAll(library);
    CheckSame(tally, row, "after both threads ended", after, before);
    CheckTexts(tally, row, after, messages, true);
    tally.Equal(row, "SetChildInfo after both threads ended", library.setChildInfo(), 0);
    library.Unload(tally, row);
  } else {
    SetEvent(early.go);
    WaitForSingleObject(earlyThread, INFINITE);
  }
  CloseHandle(earlyThread);
  CloseHandle(early.go);

  // A changed data file takes effect at the next load.
  const std::string reload = "reload after the data file changed";
  std::vector<QdfMessage> changed = {{"ERMSG_00", "Changed text for code 0."},
                                     {"ERMSG_XX", "Changed fallback."}};
  if (LayOut(tally, reload, dll, dir, &changed) &&
      library.Load(dir + "TRAMOLEW.dll", tally, reload)) {
    CheckTexts(tally, reload, LookUpAll(library), changed, true);
    tally.Equal(reload, "SetChildInfo", library.setChildInfo(), 0);
    library.Unload(tally, reload);
  }
  return tally.Finish("lifecycle");
}

int RunMessages(const std::string& dll) {
  std::vector<QdfMessage> typical = TypicalMessages();
  std::vector<QdfMessage> numbered(typical.begin(), typical.begin() + 16);
  std::string longest(289, 'L');
  struct Row {
    const char* name;
    bool fileThere;
    std::vector<QdfMessage> messages;
  };
  const Row rows[] = {
      {"typical file", true, typical},
      {"no data file", false, {}},
      {"fallback only", true, {{"ERMSG_XX", "Only the fallback is here."}}},
      {"numbered without fallback", true, numbered},
      {"keys in other case", true, {{"ermsg_05", "Five, lower-case key."}, {"Ermsg_Xx", "Fallback."}}},
      {"8-bit texts byte for byte",
       true,
       {{"ERMSG_00", "Caf\xe9 \x80\x81\xfe\xff end"},
        {"ERMSG_01", longest},
        {"ERMSG_XX", "Fallback \xa9 \x82\xa0"}}},
  };

  wine::Tally tally;
  for (const Row& row : rows) {
    std::string dir = std::string(kRoot) + "messages\\" + row.name + "\\";
    if (!LayOut(tally, row.name, dll, dir, row.fileThere ? &row.messages : nullptr)) continue;
    Library library;
    if (!library.Load(dir + "TRAMOLEW.dll", tally, row.name)) continue;
    Lookup first = LookUpAll(library);
    CheckTexts(tally, row.name, first, row.messages, row.fileThere);
    CheckSame(tally, row.name, "on a second call", LookUpAll(library), first);
    ThreadWork other = {};
    other.library = &library;
    HANDLE thread = CreateThread(nullptr, 0, LookUpInThread, &other, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CheckSame(tally, row.name, "in another thread", other.seen, first);
    library.Unload(tally, row.name);
  }
  return tally.Finish("messages");
}

}  // namespace e2e
