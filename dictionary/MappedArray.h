#pragma once
// A growable array of plain values in pages mapped straight from the system. Growing it moves
// the pages rather than copying the values, so the push that outgrows the room costs about what
// any other does; room reserved but never written costs no memory. The dictionary keeps what
// grows while the user works (tree nodes, added pairs and their text) in these.
#include <cstddef>
#include <new>
#include <type_traits>

namespace talvero {

namespace mapped {
// Maps `bytes` (rounded up to pages) anew, or moves `old` of `oldBytes` there; throws
// std::bad_alloc when the system refuses. Returns the new start and sets `bytes` to the length.
void* Grow(void* old, size_t oldBytes, size_t& bytes);
void Release(void* data, size_t bytes);
}  // namespace mapped

template <typename T>
class MappedArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    MappedArray() = default;
    ~MappedArray() { Clear(); }
    MappedArray(const MappedArray&) = delete;
    MappedArray& operator=(const MappedArray&) = delete;

    size_t size() const { return count; }
    bool empty() const { return count == 0; }
    size_t capacity() const { return room; }
    T* data() { return values; }
    const T* data() const { return values; }
    T& operator[](size_t i) { return values[i]; }
    const T& operator[](size_t i) const { return values[i]; }

    // Room for at least `n` values; the content stays where its indices say.
    void Reserve(size_t n)
    {
        if (n <= room) return;
        size_t bytes = n * sizeof(T);
        values = static_cast<T*>(mapped::Grow(values, mappedBytes, bytes));
        mappedBytes = bytes;
        room = bytes / sizeof(T);
    }
    // Grows or shrinks to `n` values; new ones are value-initialised.
    void Resize(size_t n)
    {
        if (n > room) Reserve(Grown(n));
        for (size_t i = count; i < n; ++i)
            new (&values[i]) T();
        count = n;
    }
    size_t PushBack(const T& value)
    {
        if (count == room) Reserve(Grown(count + 1));
        new (&values[count]) T(value);
        return count++;
    }
    void Append(const T* from, size_t n)
    {
        if (count + n > room) Reserve(Grown(count + n));
        for (size_t i = 0; i < n; ++i)
            new (&values[count + i]) T(from[i]);
        count += n;
    }
    void Clear()
    {
        if (values) mapped::Release(values, mappedBytes);
        values = nullptr;
        count = room = mappedBytes = 0;
    }

private:
    // Doubling costs address space only.
    size_t Grown(size_t n) const
    {
        const size_t twice = 2 * room;
        return n > twice ? n : twice;
    }

    T* values = nullptr;
    size_t count = 0;
    size_t room = 0;
    size_t mappedBytes = 0;
};

}  // namespace talvero
