// Counts the heap allocations of the whole process, through a replaced operator new.
#pragma once

namespace listingbench {

long HeapAllocations();

}  // namespace listingbench
