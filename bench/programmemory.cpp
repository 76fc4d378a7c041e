// Linked into every benchmark: the work runs under the allocator settings the
// program itself starts with.
#include "tracememory.h"

namespace {
const bool kTraceMemoryKept = (keepTraceMemory(), true);
}
