#include "messages/messages.h"

#include <string.h>

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

// Gives the record's key a text block when it names an entry that has none.
static void FillEntries(DataFile* file, const char* key, uint32_t textOffset) {
  size_t keyLength = strlen(key);
  for (ErrMsgEntry* entry = ErrMsgTable; entry->key[0] != '\0'; ++entry) {
    size_t tableLength = strlen(entry->key);
    size_t count = (keyLength > tableLength ? keyLength : tableLength) + 1;
    if (OsStrnicmp(entry->key, key, count) != 0 || entry->text) continue;
    char* text = static_cast<char*>(OsGlobalLock(OsGlobalAlloc(ERRMSG_TEXT_SIZE)));
    if (!text) continue;
    entry->text = text;
    // A text that cannot be read leaves the zero-filled block: an empty text.
    DataFileReadString(file, textOffset, text);
  }
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
  // filled its entry then or never will), so the walk ends when the chain
  // comes round to one remembered record (Brent's cycle detection). A stored
  // count far beyond the records then costs no more than the chain itself.
  uint32_t record = QdfGet32(entry + QDF_ENTRY_FIRST_RECORD);
  uint32_t remembered = record;
  uint64_t lap = 1;
  uint64_t steps = 0;
  uint8_t bytes[QDF_RECORD_SIZE];
  char key[QDF_MAX_STRING];
  for (uint32_t i = 0; i < count; ++i) {
    if (i > 0) {
      record = QdfGet32(bytes + QDF_RECORD_NEXT);
      if (record == remembered) break;
      if (++steps == lap) {
        remembered = record;
        lap *= 2;
        steps = 0;
      }
    }
    memset(bytes, 0, sizeof bytes);
    DataFileReadAt(file, bytes, QDF_RECORD_SIZE, record);
    memset(key, 0, sizeof key);
    if (!DataFileReadString(file, QdfGet32(bytes + QDF_RECORD_KEY), key)) key[0] = '\0';
    // A key of ERRMSG_KEY_SIZE characters or more would not fit the key
    // buffer and can equal no table key.
    if (key[0] == '\0' || strnlen(key, ERRMSG_KEY_SIZE) >= ERRMSG_KEY_SIZE) continue;
    FillEntries(file, key, QdfGet32(bytes + QDF_RECORD_TEXT));
  }
}

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
