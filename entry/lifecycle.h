// What the entry procedure does on process attach and detach.
#ifndef TRAMOLE_ENTRY_LIFECYCLE_H
#define TRAMOLE_ENTRY_LIFECYCLE_H

#include <stdint.h>

#include "platform/os.h"
#include "tramolew.h"

#define ENTRY_PROCESS_DETACH 0
#define ENTRY_PROCESS_ATTACH 1
#define ENTRY_THREAD_ATTACH 2
#define ENTRY_THREAD_DETACH 3

#define DATA_FILE_NAME TRAMOLEW_DATA_FILE_NAME

// Loads the messages from the data file beside the library's own file.
void OnProcessAttach(void* module);
// Releases the messages.
void OnProcessDetach();

extern "C" int TRAMOLE_CALL DllMain(void* module, uint32_t reason, void* reserved);
// SetChildInfo is declared in tramolew.h.

#endif
