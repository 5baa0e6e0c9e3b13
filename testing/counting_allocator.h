// A global allocator that counts every allocation, for the tests that prove a hot loop
// allocates nothing. Compile counting_allocator.cpp into the test's own executable: it
// replaces operator new for the whole program.
#pragma once

namespace ztlive::test {

// Allocations made through operator new since the program started.
long AllocationCount();

}  // namespace ztlive::test
