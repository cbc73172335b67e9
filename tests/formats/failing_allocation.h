// A test hook on the program's allocator: while armed, every allocation of exactly the given
// size throws std::bad_alloc, as it would when memory runs out for that one request.
#pragma once

#include <cstddef>

namespace test {

class FailingAllocation {
  public:
    explicit FailingAllocation(size_t size);
    ~FailingAllocation();
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;
    // How many allocations were refused while armed.
    static size_t Refused();
};

}  // namespace test
