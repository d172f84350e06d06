// The exported version queries: the values of the header this library was
// built with, so a host can tell a header from another release.
#include "vidra.h"

extern "C" {

VIDRA_API const char* VidraGetVersionString(void) { return VIDRA_VERSION_STRING; }

VIDRA_API int32_t VidraGetVersionNumber(void) { return VIDRA_VERSION_NUMBER; }

}  // extern "C"
