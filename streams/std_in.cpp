// Not built yet: the names are declined.
#include "module/handlers.h"

int32_t ReadStdIn(HostInfo*, ModuleCall*) { return RESULT_NOT_SERVED; }
