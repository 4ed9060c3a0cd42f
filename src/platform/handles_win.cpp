#include "platform/handles.h"

#include <objbase.h>

#include <mutex>
#include <vector>

namespace handles_detail {

void freeCoTaskMem(void* p) { CoTaskMemFree(p); }

}  // namespace handles_detail

void holdUntilProcessEnds(unique_handle handle) {
    static std::mutex* const guard = new std::mutex;
    static std::vector<unique_handle>* const held = new std::vector<unique_handle>;
    const std::lock_guard<std::mutex> lock(*guard);
    held->push_back(std::move(handle));
}
