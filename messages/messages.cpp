// The message table: loading the section's texts, lookup with its fallbacks, release.
#include "messages/messages.h"

#include <string.h>

#include "datafile/cycle.h"

ErrMsgEntry ErrMsgTable[ERRMSG_ENTRIES] = {
    {"ERMSG_00", 0}, {"ERMSG_01", 0}, {"ERMSG_02", 0}, {"ERMSG_03", 0}, {"ERMSG_04", 0},
    {"ERMSG_05", 0}, {"ERMSG_06", 0}, {"ERMSG_07", 0}, {"ERMSG_08", 0}, {"ERMSG_09", 0},
    {"ERMSG_10", 0}, {"ERMSG_11", 0}, {"ERMSG_12", 0}, {"ERMSG_13", 0}, {"ERMSG_14", 0},
    {"ERMSG_15", 0}, {"ERMSG_XX", 0}, {"", 0},
};

static const char kEmptyText[] = "";

void LoadErrorMessages(const char* path) {
  DataFile* file = DataFileOpen(path);
  if (!file) return;
  ReadErrMsgSection(file);
  DataFileClose(file);
}

// The only entry a key can fill. Every table key is "ERMSG_" and two
// characters, the code's digits or "XX", so the entry is picked by those two
// and then compared whole (case aside, terminator included) as a walk over
// the table would.
static ErrMsgEntry* EntryForKey(const char* key) {
  if (strnlen(key, 9) != 8) return 0;
  char high = key[6];
  char low = key[7];
  size_t index = ERRMSG_FALLBACK;
  if (high >= '0' && high <= '9' && low >= '0' && low <= '9') {
    index = (size_t)(high - '0') * 10 + (size_t)(low - '0');
    if (index >= ERRMSG_NUMBERED) return 0;
  }
  ErrMsgEntry* entry = &ErrMsgTable[index];
  return OsStrnicmp(entry->key, key, 9) == 0 ? entry : 0;
}

// Gives the record's key a text block when it names an entry that has none.
static void FillEntry(DataFile* file, const char* key, uint32_t textOffset) {
  ErrMsgEntry* entry = EntryForKey(key);
  if (!entry || entry->text) return;
  char* text = static_cast<char*>(OsGlobalLock(OsGlobalAlloc(ERRMSG_TEXT_SIZE)));
  if (!text) return;
  entry->text = text;
  // A text that cannot be read leaves the zero-filled block: an empty text.
  DataFileReadString(file, textOffset, text);
}

void ReadErrMsgSection(DataFile* file) {
  uint32_t section = DataFileFindSection(file, ERRMSG_SECTION);
  if (section == 0) return;
  uint8_t entry[QDF_ENTRY_SIZE];
  memset(entry, 0, sizeof entry);
  if (DataFileReadAt(file, entry, QDF_ENTRY_SIZE, section) == 0) return;
  uint8_t countBlock[QDF_COUNT_BLOCK_SIZE];
  memset(countBlock, 0, sizeof countBlock);
  DataFileReadAt(file, countBlock, QDF_COUNT_BLOCK_SIZE, section + QDF_ENTRY_SIZE);
  uint32_t count = QdfGet32(countBlock);

  // The walk makes as many passes as the stored count asks, but a pass that
  // comes back to a record already read can change nothing (its key either
  // filled its entry then or never will): the walk ends when the chain comes
  // round. A stored count far beyond the records costs no more than the chain.
  uint32_t record = QdfGet32(entry + QDF_ENTRY_FIRST_RECORD);
  CycleGuard guard;
  CycleGuardStart(&guard, record);
  uint8_t bytes[QDF_RECORD_SIZE];
  // Room for any string the reader accepts, so no key can run past it.
  char key[QDF_MAX_STRING];
  for (uint32_t i = 0; i < count; ++i) {
    if (i > 0) {
      record = QdfGet32(bytes + QDF_RECORD_NEXT);
      if (CycleGuardComesRound(&guard, record)) break;
    }
    memset(bytes, 0, sizeof bytes);
    DataFileReadAt(file, bytes, QDF_RECORD_SIZE, record);
    if (!DataFileReadString(file, QdfGet32(bytes + QDF_RECORD_KEY), key)) key[0] = '\0';
    // A key of ERRMSG_KEY_SIZE characters or more, like any key that is not
    // 8 characters long, fills nothing.
    FillEntry(file, key, QdfGet32(bytes + QDF_RECORD_TEXT));
  }
}

/*
 * DALVIRE_GetErrorMsg: the text of an error message.
 * PARAMS   code [I] the host's error code, any 32-bit value
 * RETURNS  the ERMSG_<code> text for codes 0 to 15 when the data file gave
 *          one, else the ERMSG_XX text, else an empty text; never null. The
 *          text stays valid until the library is unloaded.
 */
extern "C" const char* TRAMOLE_CALL DALVIRE_GetErrorMsg(int32_t code) {
  uint32_t index = (uint32_t)code;
  if (index < ERRMSG_NUMBERED && ErrMsgTable[index].text) return ErrMsgTable[index].text;
  if (ErrMsgTable[ERRMSG_FALLBACK].text) return ErrMsgTable[ERRMSG_FALLBACK].text;
  return kEmptyText;
}

void FreeErrorMessages() {
  for (ErrMsgEntry* entry = ErrMsgTable; entry->key[0] != '\0'; ++entry) {
    if (!entry->text) continue;
    OsGlobalFreeLocked(entry->text);
    entry->text = 0;
  }
}
