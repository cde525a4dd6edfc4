// Not built yet: the names are declined.
#include "module/handlers.h"

int32_t RotateExecute(HostInfo*, ModuleCall*) { return RESULT_NOT_SERVED; }
int32_t RotateCustomize(HostInfo*, ModuleCall*) { return RESULT_NOT_SERVED; }
