#pragma once
// Counts every heap allocation of the process (malloc and its kin, and so operator new)
// between StartCounting and StopCounting, whichever library asks.
#include <cstddef>

namespace fullload {

void StartCounting();
// The allocations since StartCounting; the size of the first one in firstSize.
long StopCounting(size_t& firstSize);

}  // namespace fullload
