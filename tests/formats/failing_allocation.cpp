#include "failing_allocation.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<size_t> g_failingSize{0};
std::atomic<size_t> g_refused{0};

}  // namespace

namespace test {

FailingAllocation::FailingAllocation(size_t size) {
    g_refused = 0;
    g_failingSize = size;
}

FailingAllocation::~FailingAllocation() {
    g_failingSize = 0;
}

size_t FailingAllocation::Refused() {
    return g_refused;
}

}  // namespace test

// The replaceable allocation functions of this test program, every plain, array and nothrow
// form, so that each allocation meets its own kind of release.
namespace {

void* Allocate(size_t size) {
    size_t failing = g_failingSize;
    if (failing != 0 && size == failing) {
        ++g_refused;
        throw std::bad_alloc();
    }
    void* memory = std::malloc(size != 0 ? size : 1);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}

void* AllocateOrNull(size_t size) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace

void* operator new(size_t size) {
    return Allocate(size);
}
void* operator new[](size_t size) {
    return Allocate(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return AllocateOrNull(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return AllocateOrNull(size);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, size_t) noexcept {
    std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}
