#include "dictionary/DictionaryIndex.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <vector>

#include "base/CodePage.h"
#include "base/TextFile.h"

namespace talvero {

namespace {

constexpr char kMagic[8] = {'T', 'l', 'v', 'I', 'd', 'x', '\r', '\n'};
// Raised whenever the layout of the file or of a node, an entry or a slot changes.
constexpr uint32_t kVersion = 2;
constexpr uint32_t kByteOrder = 0x01020304u;
constexpr uint64_t kAlign = 64;

struct Header {
    char magic[8];
    uint32_t version;
    uint32_t byteOrder;  // reads differently on a machine of the other byte order
    char codePage[32];
    uint64_t textSize;  // of the dictionary file
    int64_t textModifiedNs;
    int64_t textChangedNs;
    uint64_t textInode;
    uint64_t textSampleHash;
    uint64_t textHash;
    uint32_t textSettled;  // whether the sampled check is enough
    uint32_t unused;
    uint64_t fileSize;
    uint64_t copyBytes;  // the pairs' text as the index keeps it
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

int64_t Ns(const struct timespec& t)
{
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void FromStat(const struct stat& st, DictionaryIndex::Identity& identity)
{
    identity.size = static_cast<uint64_t>(st.st_size);
    identity.modifiedNs = Ns(st.st_mtim);
    identity.changedNs = Ns(st.st_ctim);
    identity.inode = static_cast<uint64_t>(st.st_ino);
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    identity.statNs = Ns(now);
    identity.sampleHash = identity.hash = 0;
}

bool Settled(const DictionaryIndex::Identity& identity)
{
    return identity.changedNs <= identity.statNs - DictionaryIndex::settledNs;
}

// The sampled places: 64 blocks of 4 KiB spread evenly from the first byte to the last (the
// whole text when it is shorter than that).
constexpr uint64_t kSampleBlocks = 64, kSampleBlock = 4096;

template <typename ReadBlock>
bool HashSamples(uint64_t size, uint64_t& hash, ReadBlock read)
{
    std::vector<char> bytes(std::min(size, kSampleBlocks * kSampleBlock));
    if (size <= bytes.size()) {
        if (!read(0, bytes.data(), size)) return false;
    } else {
        for (uint64_t k = 0; k < kSampleBlocks; ++k) {
            const uint64_t at = k * (size - kSampleBlock) / (kSampleBlocks - 1);
            if (!read(at, bytes.data() + k * kSampleBlock, kSampleBlock)) return false;
        }
    }
    hash = XXH3_64bits(bytes.data(), bytes.size());
    return true;
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
    FromStat(st, identity);
    return true;
}

void DictionaryIndex::HashText(std::string_view text, Identity& identity)
{
    identity.hash = XXH3_64bits(text.data(), text.size());
    HashSamples(text.size(), identity.sampleHash, [&](uint64_t at, char* to, uint64_t bytes) {
        // An empty text has no bytes and may have no buffer either: nothing to copy then.
        if (bytes > 0) std::memcpy(to, text.data() + at, bytes);
        return true;
    });
}

std::unique_ptr<DictionaryIndex> DictionaryIndex::Open(const std::string& textPath)
{
    long long textSize = 0;
    Fd textFile{OpenPlainFile(textPath, textSize)};
    struct stat textStat {};
    if (textFile.fd < 0 || ::fstat(textFile.fd, &textStat) != 0) return nullptr;
    if (static_cast<uint64_t>(textSize) < minimumTextBytes) return nullptr;
    Identity now;
    FromStat(textStat, now);

    long long indexSize = 0;
    Fd indexFile{OpenPlainFile(PathFor(textPath), indexSize)};
    struct stat indexStat {};
    if (indexFile.fd < 0 || static_cast<uint64_t>(indexSize) < sizeof(Header) ||
        ::fstat(indexFile.fd, &indexStat) != 0)
        return nullptr;
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
    if (h.fileSize != fileSize || h.textSize != now.size || h.textModifiedNs != now.modifiedNs ||
        h.textChangedNs != now.changedNs || h.textInode != now.inode)
        return nullptr;
    if (h.entryCount > EntryTable::kMaxEntries || h.copyBytes > EntryTable::kMaxTextBytes ||
        (h.exactSlots & (h.exactSlots - 1)) != 0 ||
        (h.root != CTSTNode::kNone && h.root >= h.nodeCount) ||
        !SectionFits(h.textOffset, h.copyBytes, fileSize) ||
        !SectionFits(h.entriesOffset, uint64_t{h.entryCount} * sizeof(EntryTable::Entry),
                     fileSize) ||
        !SectionFits(h.nodesOffset, uint64_t{h.nodeCount} * sizeof(CTSTNode), fileSize) ||
        !SectionFits(h.exactOffset, uint64_t{h.exactSlots} * sizeof(CTSTExactSlot), fileSize))
        return nullptr;
    for (uint32_t node : h.rootIndex) {
        if (node != CTSTNode::kNone && node >= h.nodeCount) return nullptr;
    }

    // Then the content, read through the page cache rather than mapped: the text must be the
    // one the index was built from, and the index must be whole. Read without read-ahead, so
    // that the cache keeps the index in single pages, and a search maps in only the pages
    // around what it reads, not a large block.
    ::posix_fadvise(indexFile.fd, 0, 0, POSIX_FADV_RANDOM);
    uint64_t hash = 0;
    const bool sampled = HashSamples(now.size, hash, [&](uint64_t at, char* to, uint64_t bytes) {
        return ::pread(textFile.fd, to, bytes, static_cast<off_t>(at)) ==
               static_cast<ssize_t>(bytes);
    });
    if (!sampled || hash != h.textSampleHash) return nullptr;
    if (!h.textSettled) {
        if (!HashDescriptor(textFile.fd, 0, h.textSize, hash) || hash != h.textHash) return nullptr;
        // The whole text is what the index was built from, and any change from now on moves
        // its change time: later loads need not hash it again.
        if (Settled(now)) {
            h.textSettled = 1;
            h.headerHash = HeaderHash(h);
            const int fd = ::open(PathFor(textPath).c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
            if (fd >= 0) {
                struct stat st {};
                // Only into the index just checked, not one renamed over it meanwhile.
                if (::fstat(fd, &st) == 0 && st.st_ino == indexStat.st_ino &&
                    st.st_dev == indexStat.st_dev)
                    (void)!::pwrite(fd, &h, sizeof h, 0);
                ::close(fd);
            }
        }
    }
    if (!HashDescriptor(indexFile.fd, sizeof(Header), fileSize - sizeof(Header), hash) ||
        hash != h.payloadHash)
        return nullptr;

    void* p = ::mmap(nullptr, fileSize, PROT_READ, MAP_PRIVATE, indexFile.fd, 0);
    if (p == MAP_FAILED) return nullptr;
    // Searches touch a few scattered pages each: without this the kernel maps the cached pages
    // around every one it faults in, and a near search of a common beginning brings in tens of
    // megabytes of what it never reads.
    ::madvise(p, fileSize, MADV_RANDOM);
    std::unique_ptr<DictionaryIndex> index(new DictionaryIndex);
    index->mapping = p;
    index->mappedBytes = fileSize;
    const char* base = static_cast<const char*>(p);
    index->text = std::string_view(base + h.textOffset, h.copyBytes);
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
                            const EntryTable& table, CTernarySearchTree& tree)
{
    const uint32_t count = table.FileEntryCount();
    if (identity.size != table.FileText().size() || identity.size < minimumTextBytes ||
        count != table.size())
        return false;
    const std::string codePage = CodePageName();
    Header h{};
    if (codePage.size() >= sizeof h.codePage) return false;

    // The entries renumbered in the order of near searches, their text laid out in that order
    // too: a near search then reads one stretch of the index rather than pages all over it.
    // Entries no search reaches (empty originals, pairs a later one overrides) come last.
    std::vector<uint32_t> order = tree.EntriesInOrder();
    constexpr uint32_t kUnplaced = 0xFFFFFFFFu;
    std::vector<uint32_t> renumber(count, kUnplaced);
    for (uint32_t k = 0; k < order.size(); ++k)
        renumber[order[k]] = k;
    for (uint32_t i = 0; i < count; ++i) {
        if (renumber[i] == kUnplaced) {
            renumber[i] = static_cast<uint32_t>(order.size());
            order.push_back(i);
        }
    }
    std::string copy;
    copy.reserve(table.FileText().size());
    std::vector<EntryTable::Entry> entries(count);
    for (uint32_t k = 0; k < count; ++k) {
        const std::string_view original = table.Original(order[k]);
        const std::string_view translation = table.Translation(order[k]);
        entries[k].original = {static_cast<uint32_t>(copy.size()),
                               static_cast<uint32_t>(original.size())};
        copy.append(original);
        entries[k].translation = {static_cast<uint32_t>(copy.size()),
                                  static_cast<uint32_t>(translation.size())};
        copy.append(translation);
    }
    const CTSTImage image = tree.Image();
    std::vector<CTSTNode> nodes(image.nodes, image.nodes + image.nodeCount);
    for (CTSTNode& node : nodes) {
        if (!node.IsChain() && node.Entry() >= 0)
            node.SetEntry(renumber[static_cast<uint32_t>(node.Entry())]);
        if (node.HasTail()) node.equal = CTSTNode::kTailBit | renumber[node.TailEntry()];
    }
    std::vector<CTSTExactSlot> exact(image.exact, image.exact + image.exactSlots);
    for (CTSTExactSlot& slot : exact) {
        if (slot.tagEntry == 0) continue;
        const uint32_t entry = renumber[(slot.tagEntry & 0xFFFFFFu) - 1];
        slot.tagEntry = (slot.tagEntry & 0xFF000000u) | (entry + 1);
        slot.offset = entries[entry].original.offset;
    }

    std::memcpy(h.magic, kMagic, sizeof kMagic);
    h.version = kVersion;
    h.byteOrder = kByteOrder;
    std::memcpy(h.codePage, codePage.data(), codePage.size());
    h.textSize = identity.size;
    h.textModifiedNs = identity.modifiedNs;
    h.textChangedNs = identity.changedNs;
    h.textInode = identity.inode;
    h.textSampleHash = identity.sampleHash;
    h.textHash = identity.hash;
    h.textSettled = Settled(identity) ? 1 : 0;
    h.copyBytes = copy.size();
    h.entryCount = count;
    h.nodeCount = image.nodeCount;
    h.root = image.root;
    h.exactSlots = image.exactSlots;
    std::memcpy(h.rootIndex, image.rootIndex, sizeof h.rootIndex);

    // The sections, each at an aligned offset, with zero bytes between them.
    static const char zeros[kAlign] = {};
    std::vector<std::string_view> sections;
    uint64_t at = sizeof(Header);
    auto section = [&](const void* data, uint64_t bytes) {
        const uint64_t start = AlignUp(at);
        if (start > at) sections.emplace_back(zeros, start - at);
        sections.emplace_back(static_cast<const char*>(data), bytes);
        at = start + bytes;
        return start;
    };
    h.textOffset = section(copy.data(), copy.size());
    h.entriesOffset = section(entries.data(), uint64_t{count} * sizeof(EntryTable::Entry));
    h.nodesOffset = section(nodes.data(), nodes.size() * sizeof(CTSTNode));
    h.exactOffset = section(exact.data(), exact.size() * sizeof(CTSTExactSlot));
    h.fileSize = at;

    XXH3_state_t* state = XXH3_createState();
    if (!state) return false;
    XXH3_64bits_reset(state);
    for (std::string_view part : sections)
        XXH3_64bits_update(state, part.data(), part.size());
    h.payloadHash = XXH3_64bits_digest(state);
    XXH3_freeState(state);
    h.headerHash = HeaderHash(h);

    // Written a page at a time: the cache then holds the file in single pages, which a search
    // maps one by one, rather than in the large blocks that big writes leave.
    std::vector<std::string_view> pages{
        std::string_view(reinterpret_cast<const char*>(&h), sizeof h)};
    constexpr size_t kPage = 4096;
    for (std::string_view part : sections) {
        for (size_t from = 0; from < part.size(); from += kPage)
            pages.push_back(part.substr(from, kPage));
    }

    // A cache: a crash that leaves it empty or torn only costs a rebuild, so no fsync.
    const std::string indexPath = PathFor(textPath);
    RemoveStaleTemporaries(indexPath);
    return AtomicWriteParts(indexPath, pages, 0644, false);
}

}  // namespace talvero
