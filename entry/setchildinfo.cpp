// SetChildInfo: the export that does nothing.
#include "entry/lifecycle.h"

/*
 * SetChildInfo: kept for hosts that call it; does nothing.
 * PARAMS   none
 * RETURNS  0.
 */
extern "C" int32_t TRAMOLE_CALL SetChildInfo() { return 0; }
