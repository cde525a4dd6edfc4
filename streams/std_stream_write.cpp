// Not built yet: the names are declined.
#include "module/handlers.h"

int32_t WriteStdStream(HostInfo*, ModuleCall*, int32_t) { return RESULT_NOT_SERVED; }
