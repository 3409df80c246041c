// The program's heap: counted allocations with injectable failures.
#include <cesim/device.h>

#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_map>

namespace cesim {

namespace {

// The bookkeeping must not itself go through the replaced operator new and delete.
template <class T> struct RawAllocator {
    typedef T value_type;
    RawAllocator() = default;
    template <class U> RawAllocator(const RawAllocator<U>&) {}
    T* allocate(size_t n) {
        void* p = std::malloc(n * sizeof(T));
        if (!p)
            throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t) { std::free(p); }
    template <class U> bool operator==(const RawAllocator<U>&) const { return true; }
    template <class U> bool operator!=(const RawAllocator<U>&) const { return false; }
};

struct State {
    std::mutex mutex;
    std::unordered_map<void*, size_t, std::hash<void*>, std::equal_to<void*>,
                       RawAllocator<std::pair<void* const, size_t>>>
        blocks;
    size_t allocations = 0;   // every allocation ever made, for "this allocates nothing"
    int succeed = -1;   // -1: no failure planned
    int fail = 0;
    size_t failSize = 0;   // with failSize > 0: only allocations of this many bytes count
};

State& S() {
    static State* state = new State;
    return *state;
}

// Decides under the lock whether this allocation is one of the planned failures.
bool FailThisOne(State& s, size_t size) {
    if (s.succeed < 0 || s.fail == 0)
        return false;
    if (s.failSize > 0 && size != s.failSize)
        return false;
    if (s.succeed > 0) {
        --s.succeed;
        return false;
    }
    if (s.fail > 0)
        --s.fail;
    return true;
}

void* Track(void* block, size_t size) {
    if (block) {
        std::lock_guard<std::mutex> lock(S().mutex);
        S().blocks[block] = size;
        ++S().allocations;
    }
    return block;
}

bool Untrack(void* block) {
    std::lock_guard<std::mutex> lock(S().mutex);
    return S().blocks.erase(block) != 0;
}

bool PlannedFailure(size_t size) {
    std::lock_guard<std::mutex> lock(S().mutex);
    return FailThisOne(S(), size);
}

} // namespace

size_t HeapBlocks() {
    std::lock_guard<std::mutex> lock(S().mutex);
    return S().blocks.size();
}

size_t HeapAllocations() {
    std::lock_guard<std::mutex> lock(S().mutex);
    return S().allocations;
}

void FailAllocations(int succeed, int fail) {
    std::lock_guard<std::mutex> lock(S().mutex);
    S().succeed = succeed;
    S().fail = fail;
    S().failSize = 0;
}

void FailAllocationsOfSize(size_t size, int fail) {
    std::lock_guard<std::mutex> lock(S().mutex);
    S().succeed = 0;
    S().fail = fail;
    S().failSize = size;
}

void StopFailingAllocations() {
    std::lock_guard<std::mutex> lock(S().mutex);
    S().succeed = -1;
    S().fail = 0;
    S().failSize = 0;
}

} // namespace cesim

extern "C" {

void* cesim_malloc(size_t size) {
    if (cesim::PlannedFailure(size))
        return nullptr;
    return cesim::Track(std::malloc(size ? size : 1), size);
}

void* cesim_calloc(size_t count, size_t size) {
    if (cesim::PlannedFailure(count * size))
        return nullptr;
    return cesim::Track(std::calloc(count ? count : 1, size ? size : 1), count * size);
}

void* cesim_realloc(void* block, size_t size) {
    if (!block)
        return cesim_malloc(size);
    if (cesim::PlannedFailure(size))
        return nullptr;
    // A failed realloc leaves the old block in place and still owned, so it is untracked
    // first and tracked again if it stays.
    cesim::Untrack(block);
    uintptr_t old = reinterpret_cast<uintptr_t>(block);
    void* moved = std::realloc(block, size ? size : 1);
    if (!moved) {
        cesim::Track(reinterpret_cast<void*>(old), size);
        return nullptr;
    }
    return cesim::Track(moved, size);
}

void cesim_free(void* block) {
    if (!block)
        return;
    cesim::Untrack(block);
    std::free(block);
}

} // extern "C"

// The program allocates its objects with nothrow new; those are counted too. Every other new
// in the host process stays uncounted, and delete tells them apart.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return cesim_malloc(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return cesim_malloc(size);
}
void* operator new(std::size_t size) {
    void* block = std::malloc(size ? size : 1);
    if (!block)
        throw std::bad_alloc();
    return block;
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* block) noexcept {
    if (!block)
        return;
    cesim::Untrack(block);
    std::free(block);
}
void operator delete[](void* block) noexcept { operator delete(block); }
void operator delete(void* block, std::size_t) noexcept { operator delete(block); }
void operator delete[](void* block, std::size_t) noexcept { operator delete(block); }
