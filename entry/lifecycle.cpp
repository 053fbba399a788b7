// Process attach and detach: the data file beside the library is loaded and released.
#include "entry/lifecycle.h"

#include <string.h>

#include "messages/messages.h"
#include "platform/path.h"

void OnProcessAttach(void* module) {
  char own[OS_PATH_BYTES];
  memset(own, 0, sizeof own);
  // A path cut off or not convertible would name some other directory, and
  // the bare name would name the current one: no messages at all. Only a
  // system that gives no path leaves `own` empty, so the bare name is used.
  if (OsGetModuleFileName(module, own, sizeof own) == OS_MODULE_PATH_UNUSABLE) return;

  char path[OS_PATH_BYTES];
  // A data-file path that would not fit is not built: no messages.
  if (BuildSiblingPath(own, DATA_FILE_NAME, path) != PATH_BUILT) return;
  LoadErrorMessages(path);
}

void OnProcessDetach() { FreeErrorMessages(); }
