#pragma once
// Test support: the largest single heap block asked for (malloc, calloc, realloc, operator new,
// and the same inside C libraries such as libpng) while a piece of code runs. A reader of
// damaged data must not ask for memory its data cannot fill; a test states the bound.
//
// A test program that uses it compiles AllocationWatch.cpp in (it watches the allocator of the
// whole process: through the sanitizer's hooks in the sanitizer build, else by standing in for
// the C library's allocation entry points).
#include <cstddef>
#include <functional>

namespace test_support {

// Runs `body` and returns the largest block requested by any thread meanwhile.
size_t LargestAllocationDuring(const std::function<void()>& body);
// Runs `body` and returns the sum of the blocks requested by any thread meanwhile (what a reader
// asks for in many blocks, each small).
size_t TotalAllocationDuring(const std::function<void()>& body);

}  // namespace test_support
