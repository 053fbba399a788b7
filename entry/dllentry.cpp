// The entry procedure the loader calls: process attach and detach, nothing for threads.
#include "entry/lifecycle.h"

/*
 * DllMain: entry procedure the loader calls.
 * PARAMS   module  [I] this library's handle
 *          reason  [I] process or thread attach or detach
 *          reserved[I] not used
 * RETURNS  1 for every reason, whether or not the messages could be loaded.
 */
extern "C" int TRAMOLE_CALL DllMain(void* module, uint32_t reason, void* reserved) {
  (void)reserved;
  if (reason == ENTRY_PROCESS_ATTACH) OnProcessAttach(module);
  else if (reason == ENTRY_PROCESS_DETACH) OnProcessDetach();
  return 1;
}
