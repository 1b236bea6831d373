#pragma once
// A growing array of plain data on malloc and realloc, for the engine's parts that are built
// without the C++ runtime (no std::vector there). Growth reports false when memory cannot be
// had and leaves the array as it was.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

template <typename Item>
struct Array {
    Item* items = nullptr;
    size_t count = 0, capacity = 0;
};

// Room for `count` more items; false when memory cannot be had.
template <typename Item>
bool Reserve(Array<Item>* array, size_t count) {
    if (array->capacity - array->count >= count) return true;
    size_t capacity = array->capacity ? array->capacity : 16;
    while (capacity - array->count < count) {
        if (capacity > SIZE_MAX / 2 / sizeof(Item)) return false;
        capacity *= 2;
    }
    // realloc keeps the pages it has, where a copy would touch them all again.
    auto* items = static_cast<Item*>(std::realloc(array->items, capacity * sizeof(Item)));
    if (!items) return false;
    array->items = items;
    array->capacity = capacity;
    return true;
}

template <typename Item>
bool Push(Array<Item>* array, const Item& item) {
    if (!Reserve(array, 1)) return false;
    array->items[array->count++] = item;
    return true;
}

// An array freed with its owner.
template <typename Item>
struct OwnedArray : Array<Item> {
    OwnedArray() = default;
    OwnedArray(const OwnedArray&) = delete;
    OwnedArray& operator=(const OwnedArray&) = delete;
    ~OwnedArray() { std::free(this->items); }
};
