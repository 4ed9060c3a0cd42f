#include "platform/handles.h"

#include <objbase.h>

namespace handles_detail {

void freeCoTaskMem(void* p) { CoTaskMemFree(p); }

}  // namespace handles_detail
