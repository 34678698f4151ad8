#include "dictionary/MappedArray.h"

#include <sys/mman.h>
#include <unistd.h>

namespace talvero {

namespace mapped {

void* Grow(void* old, size_t oldBytes, size_t& bytes)
{
    static const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    bytes = (bytes + page - 1) / page * page;
    void* p = old ? ::mremap(old, oldBytes, bytes, MREMAP_MAYMOVE)
                  : ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    return p;
}

void Release(void* data, size_t bytes)
{
    ::munmap(data, bytes);
}

}  // namespace mapped

}  // namespace talvero
