/* VENDORHLP.dll: a helper library a companion imports. The tests build it
 * only so that the companion can link against it; they never install it. */
#include <stdint.h>

__declspec(dllexport) int32_t VendorHelperAnswer(void) { return 0; }
