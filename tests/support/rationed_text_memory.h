#pragma once
// For the tests of memory that cannot be had: lets the first `allowed` allocations of Text
// through and refuses every later one, while it lives.

#include <cstdlib>

#include "support/text.h"

class RationedTextMemory {
public:
    explicit RationedTextMemory(int allowed) {
        left_ = allowed;
        refused_ = 0;
        SetTextAllocator(Allocate);
    }
    ~RationedTextMemory() { SetTextAllocator(nullptr); }
    RationedTextMemory(const RationedTextMemory&) = delete;
    RationedTextMemory& operator=(const RationedTextMemory&) = delete;

    // How many allocations were refused so far.
    static int Refused() { return refused_; }

private:
    static void* Allocate(size_t size) {
        if (left_ == 0) {
            ++refused_;
            return nullptr;
        }
        --left_;
        return std::malloc(size);  // what Text frees its bytes with
    }
    static inline int left_ = 0;
    static inline int refused_ = 0;
};
