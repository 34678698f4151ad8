#include "dictionary/DictionaryIndex.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <vector>

#include "catalogue/CodePage.h"
#include "catalogue/TextFile.h"

namespace {

constexpr char kMagic[8] = {'T', 'l', 'v', 'I', 'd', 'x', '\r', '\n'};
// Raised whenever the layout of the file or of a node, an entry or a slot changes.
constexpr uint32_t kVersion = 1;
constexpr uint32_t kByteOrder = 0x01020304u;
constexpr uint64_t kAlign = 64;

struct Header {
    char magic[8];
    uint32_t version;
    uint32_t byteOrder;  // reads differently on a machine of the other byte order
    char codePage[32];
    uint64_t textSize;
    int64_t textModifiedNs;
    uint64_t textHash;
    uint64_t fileSize;
    uint64_t textOffset;
    uint64_t entriesOffset;
    uint64_t nodesOffset;
    uint64_t exactOffset;
    uint32_t entryCount;
    uint32_t nodeCount;
    uint32_t root;
    uint32_t exactSlots;
    uint32_t rootIndex[256];
    uint64_t payloadHash;  // of every byte after the header
    uint64_t headerHash;   // of the header up to here
};
static_assert(std::is_trivially_copyable_v<Header>);
static_assert(sizeof(EntryTable::Entry) == 16 && sizeof(CTSTNode) == 16 &&
              sizeof(CTSTExactSlot) == 8);

uint64_t AlignUp(uint64_t v)
{
    return (v + kAlign - 1) / kAlign * kAlign;
}

uint64_t HeaderHash(const Header& h)
{
    return XXH3_64bits(&h, offsetof(Header, headerHash));
}

int64_t ModifiedNs(const struct stat& st)
{
    return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// The hash of what is left of `fd` from `from`, read rather than mapped, so that checking a
// file costs no memory of the process. False when it cannot be read or has not `expected` bytes.
bool HashDescriptor(int fd, uint64_t from, uint64_t expected, uint64_t& hash)
{
    XXH3_state_t* state = XXH3_createState();
    if (!state) return false;
    XXH3_64bits_reset(state);
    std::vector<char> buf(1 << 20);
    uint64_t at = from, seen = 0;
    bool ok = true;
    for (;;) {
        const ssize_t n = ::pread(fd, buf.data(), buf.size(), static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0) break;
        XXH3_64bits_update(state, buf.data(), static_cast<size_t>(n));
        at += static_cast<uint64_t>(n);
        seen += static_cast<uint64_t>(n);
        if (seen > expected) break;
    }
    hash = XXH3_64bits_digest(state);
    XXH3_freeState(state);
    return ok && seen == expected;
}

struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0) ::close(fd);
    }
};

bool SectionFits(uint64_t offset, uint64_t bytes, uint64_t fileSize)
{
    return offset % kAlign == 0 && offset <= fileSize && bytes <= fileSize - offset;
}

}  // namespace

DictionaryIndex::~DictionaryIndex()
{
    if (mapping) ::munmap(mapping, mappedBytes);
}

std::string DictionaryIndex::PathFor(const std::string& textPath)
{
    return textPath + ".index";
}

bool DictionaryIndex::StatText(const std::string& textPath, Identity& identity)
{
    struct stat st {};
    if (::stat(textPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    identity.size = static_cast<uint64_t>(st.st_size);
    identity.modifiedNs = ModifiedNs(st);
    identity.hash = 0;
    return true;
}

uint64_t DictionaryIndex::HashText(std::string_view text)
{
    return XXH3_64bits(text.data(), text.size());
}

std::unique_ptr<DictionaryIndex> DictionaryIndex::Open(const std::string& textPath)
{
    long long textSize = 0;
    Fd textFile{OpenPlainFile(textPath, textSize)};
    struct stat textStat {};
    if (textFile.fd < 0 || ::fstat(textFile.fd, &textStat) != 0) return nullptr;
    if (static_cast<uint64_t>(textSize) < minimumTextBytes) return nullptr;

    long long indexSize = 0;
    Fd indexFile{OpenPlainFile(PathFor(textPath), indexSize)};
    if (indexFile.fd < 0 || static_cast<uint64_t>(indexSize) < sizeof(Header)) return nullptr;
    Header h;
    if (::pread(indexFile.fd, &h, sizeof h, 0) != static_cast<ssize_t>(sizeof h)) return nullptr;

    // The header first: what it says is checked before any of it is used.
    const std::string codePage = CodePageName();
    if (std::memcmp(h.magic, kMagic, sizeof kMagic) != 0 || h.version != kVersion ||
        h.byteOrder != kByteOrder || HeaderHash(h) != h.headerHash)
        return nullptr;
    if (codePage.size() >= sizeof h.codePage ||
        std::strncmp(h.codePage, codePage.c_str(), sizeof h.codePage) != 0)
        return nullptr;
    const uint64_t fileSize = static_cast<uint64_t>(indexSize);
    if (h.fileSize != fileSize || h.textSize != static_cast<uint64_t>(textSize) ||
        h.textModifiedNs != ModifiedNs(textStat))
        return nullptr;
    if (h.entryCount > EntryTable::kMaxEntries || h.textSize > EntryTable::kMaxTextBytes ||
        (h.exactSlots & (h.exactSlots - 1)) != 0 ||
        (h.root != CTSTNode::kNone && h.root >= h.nodeCount) ||
        !SectionFits(h.textOffset, h.textSize, fileSize) ||
        !SectionFits(h.entriesOffset, uint64_t{h.entryCount} * sizeof(EntryTable::Entry),
                     fileSize) ||
        !SectionFits(h.nodesOffset, uint64_t{h.nodeCount} * sizeof(CTSTNode), fileSize) ||
        !SectionFits(h.exactOffset, uint64_t{h.exactSlots} * sizeof(CTSTExactSlot), fileSize))
        return nullptr;
    for (uint32_t node : h.rootIndex) {
        if (node != CTSTNode::kNone && node >= h.nodeCount) return nullptr;
    }

    // Then the content, read through the page cache rather than mapped: the text must be the
    // one the index was built from, and the index must be whole.
    uint64_t hash = 0;
    if (!HashDescriptor(textFile.fd, 0, h.textSize, hash) || hash != h.textHash) return nullptr;
    if (!HashDescriptor(indexFile.fd, sizeof(Header), fileSize - sizeof(Header), hash) ||
        hash != h.payloadHash)
        return nullptr;

    void* p = ::mmap(nullptr, fileSize, PROT_READ, MAP_PRIVATE, indexFile.fd, 0);
    if (p == MAP_FAILED) return nullptr;
    std::unique_ptr<DictionaryIndex> index(new DictionaryIndex);
    index->mapping = p;
    index->mappedBytes = fileSize;
    const char* base = static_cast<const char*>(p);
    index->text = std::string_view(base + h.textOffset, h.textSize);
    index->entries = reinterpret_cast<const EntryTable::Entry*>(base + h.entriesOffset);
    index->entryCount = h.entryCount;
    index->tree.nodes = reinterpret_cast<const CTSTNode*>(base + h.nodesOffset);
    index->tree.nodeCount = h.nodeCount;
    index->tree.root = h.root;
    index->tree.rootIndex = reinterpret_cast<const uint32_t*>(base + offsetof(Header, rootIndex));
    index->tree.exact = reinterpret_cast<const CTSTExactSlot*>(base + h.exactOffset);
    index->tree.exactSlots = h.exactSlots;
    return index;
}

bool DictionaryIndex::Write(const std::string& textPath, const Identity& identity,
                            const EntryTable& table, const CTSTImage& tree)
{
    const std::string_view text = table.FileText();
    if (identity.size != text.size() || text.size() < minimumTextBytes ||
        table.FileEntryCount() != table.size())
        return false;
    const std::string codePage = CodePageName();
    Header h{};
    if (codePage.size() >= sizeof h.codePage) return false;
    std::memcpy(h.magic, kMagic, sizeof kMagic);
    h.version = kVersion;
    h.byteOrder = kByteOrder;
    std::memcpy(h.codePage, codePage.data(), codePage.size());
    h.textSize = text.size();
    h.textModifiedNs = identity.modifiedNs;
    h.textHash = identity.hash;
    h.entryCount = table.FileEntryCount();
    h.nodeCount = tree.nodeCount;
    h.root = tree.root;
    h.exactSlots = tree.exactSlots;
    std::memcpy(h.rootIndex, tree.rootIndex, sizeof h.rootIndex);

    // The sections, each at an aligned offset, with zero bytes between them.
    static const char zeros[kAlign] = {};
    std::vector<std::string_view> parts{std::string_view()};  // the header, once complete
    uint64_t at = sizeof(Header);
    auto section = [&](const void* data, uint64_t bytes) {
        const uint64_t start = AlignUp(at);
        if (start > at) parts.emplace_back(zeros, start - at);
        parts.emplace_back(static_cast<const char*>(data), bytes);
        at = start + bytes;
        return start;
    };
    h.textOffset = section(text.data(), text.size());
    h.entriesOffset =
        section(table.FileEntries(), uint64_t{h.entryCount} * sizeof(EntryTable::Entry));
    h.nodesOffset = section(tree.nodes, uint64_t{h.nodeCount} * sizeof(CTSTNode));
    h.exactOffset = section(tree.exact, uint64_t{h.exactSlots} * sizeof(CTSTExactSlot));
    h.fileSize = at;

    XXH3_state_t* state = XXH3_createState();
    if (!state) return false;
    XXH3_64bits_reset(state);
    for (size_t i = 1; i < parts.size(); ++i)
        XXH3_64bits_update(state, parts[i].data(), parts[i].size());
    h.payloadHash = XXH3_64bits_digest(state);
    XXH3_freeState(state);
    h.headerHash = HeaderHash(h);
    parts[0] = std::string_view(reinterpret_cast<const char*>(&h), sizeof h);

    // A cache: a crash that leaves it empty or torn only costs a rebuild, so no fsync.
    const std::string indexPath = PathFor(textPath);
    RemoveStaleTemporaries(indexPath);
    return AtomicWriteParts(indexPath, parts, 0644, false);
}
