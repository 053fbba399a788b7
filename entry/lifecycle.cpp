#include "entry/lifecycle.h"

#include <string.h>

#include "messages/messages.h"
#include "platform/path.h"

void OnProcessAttach(void* module) {
  char own[OS_MAX_PATH];
  memset(own, 0, sizeof own);
  // A result that fills the whole buffer is a path cut off: use none rather
  // than a truncated directory.
  uint32_t length = OsGetModuleFileName(module, own, OS_MAX_PATH);
  if (length == 0 || length >= OS_MAX_PATH) memset(own, 0, sizeof own);

  char path[OS_MAX_PATH];
  // Without a module path the parts are empty and the file is looked for by
  // its bare name. A path that would not fit is not built: no messages.
  if (!BuildSiblingPath(own, DATA_FILE_NAME, path)) return;
  LoadErrorMessages(path);
}

void OnProcessDetach() { FreeErrorMessages(); }
