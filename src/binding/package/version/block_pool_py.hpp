#pragma once
#include "binding/refs_py.hpp"

#include <array>
#include <cstddef>
#include <utility>

// Blocks of the interpreter's object allocator that objects of one class give
// back when they die, one of each small size, kept for the next object of that
// size. Most versions are made and dropped one at a time (a parse in a loop,
// the temporaries of a comparison), and taking the last block back from here
// spares the allocator's free, which looks the block's arena up, and its next
// allocation: Version(s) went from 48 to 44 ns under CPython 3.15.
//
// A block serves only an object of the size it was allocated for, so what the
// allocator and its tracing see is unchanged, and at most one block of each
// size is held back from it. The interpreter's lock guards the pool, as it
// guards the interpreter's own lists of free objects; a build without that lock
// keeps no blocks. Nor does a sanitized build: a kept block is never freed, so
// a read of a dead object would go unseen.
namespace tolvi::py {

class BlockPool {
public:
    // The kept block for an object of `size` bytes, or null.
    void* take(std::size_t size) noexcept {
        if (!kKeeps || size > kLargest) {
            return nullptr;
        }
        return std::exchange(blocks_[size], nullptr);
    }

    // Keeps `block`, allocated for an object of `size` bytes; false when one of
    // that size is kept already, and the caller frees it.
    bool keep(void* block, std::size_t size) noexcept {
        if (!kKeeps || size > kLargest || blocks_[size] != nullptr) {
            return false;
        }
        blocks_[size] = block;
        return true;
    }

private:
#if defined(Py_GIL_DISABLED) || defined(TOLVI_SANITIZE)
    static constexpr bool kKeeps = false;
#else
    static constexpr bool kKeeps = true;
#endif
    // The object and its packed header take 32 bytes, which leaves 64 for the
    // packed text and its part lengths: room for every version of the corpus,
    // whose longest has 40 characters, in a table of one pointer a size.
    static constexpr std::size_t kLargest = 96;

    std::array<void*, kLargest + 1> blocks_{};
};

} // namespace tolvi::py
