#include "dictionary/DictionaryIndex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <random>
#include <type_traits>
#include <vector>

#include "base/CodePage.h"
#include "base/TextFile.h"
#include "dictionary/Bits.h"
#include "dictionary/TernarySearchTree.h"

namespace talvero {

namespace {

constexpr char kMagic[8] = {'T', 'l', 'v', 'I', 'd', 'x', '\r', '\n'};
// Raised whenever the layout of the file changes.
constexpr uint32_t kVersion = 3;
constexpr uint32_t kByteOrder = 0x01020304u;
constexpr uint64_t kBlock = IndexBlocks::kBlockBytes;
constexpr uint64_t kRecordsOffset = DictionaryIndex::kBlocksStart;

// The file: this header in its first 4 KiB; the records from there (an original, a line feed,
// its translation, a line feed, for each entry: first the sorted ones, then those no search
// reaches); the records' offsets (32 bits each, by entry); and at the end the checksums of the
// blocks of 16 KiB that records and offsets make up from 4 KiB on.
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
    uint32_t blockBytes;
    uint64_t fileSize;
    uint64_t recordsBytes;
    uint64_t offsetsOffset;
    uint64_t hashesOffset;
    uint64_t hashesHash;  // of the blocks' checksums
    uint32_t entryCount;
    uint32_t sortedCount;
    uint64_t headerHash;  // of the header up to here
};
static_assert(std::is_trivially_copyable_v<Header> && sizeof(Header) <= kRecordsOffset);

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
    if (indexFile.fd < 0 || static_cast<uint64_t>(indexSize) < kRecordsOffset ||
        ::fstat(indexFile.fd, &indexStat) != 0)
        return nullptr;
    Header h;
    if (::pread(indexFile.fd, &h, sizeof h, 0) != static_cast<ssize_t>(sizeof h)) return nullptr;

    // The header first: what it says is checked before any of it is used.
    const std::string codePage = CodePageName();
    if (std::memcmp(h.magic, kMagic, sizeof kMagic) != 0 || h.version != kVersion ||
        h.byteOrder != kByteOrder || HeaderHash(h) != h.headerHash || h.blockBytes != kBlock)
        return nullptr;
    if (codePage.size() >= sizeof h.codePage ||
        std::strncmp(h.codePage, codePage.c_str(), sizeof h.codePage) != 0)
        return nullptr;
    const uint64_t fileSize = static_cast<uint64_t>(indexSize);
    if (h.fileSize != fileSize || h.textSize != now.size || h.textModifiedNs != now.modifiedNs ||
        h.textChangedNs != now.changedNs || h.textInode != now.inode)
        return nullptr;
    if (h.entryCount > EntryTable::kMaxEntries || h.sortedCount > h.entryCount ||
        h.recordsBytes > EntryTable::kMaxTextBytes ||
        h.offsetsOffset < kRecordsOffset + h.recordsBytes || h.offsetsOffset % 4 != 0 ||
        h.hashesOffset < h.offsetsOffset + uint64_t{h.entryCount} * 4 || h.hashesOffset % 8 != 0 ||
        h.hashesOffset > fileSize ||
        fileSize - h.hashesOffset != IndexBlocks::BlockCount(h.hashesOffset - kRecordsOffset) * 8)
        return nullptr;

    // The text must be the one the index was built from. Its sampled places are read without
    // read-ahead: from a cold disk, that is what would make them cost.
    ::posix_fadvise(textFile.fd, 0, 0, POSIX_FADV_RANDOM);
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

    void* p = ::mmap(nullptr, fileSize, PROT_READ, MAP_PRIVATE, indexFile.fd, 0);
    if (p == MAP_FAILED) return nullptr;
    // Searches touch a few scattered blocks each, and read each whole when they first touch it.
    ::madvise(p, fileSize, MADV_RANDOM);
    std::unique_ptr<DictionaryIndex> index(new DictionaryIndex);
    index->mapping = p;
    index->mappedBytes = fileSize;
    const char* base = static_cast<const char*>(p);
    const uint64_t* hashes = reinterpret_cast<const uint64_t*>(base + h.hashesOffset);
    // The checksums themselves, a few bytes for every 16 KiB, are checked whole, read in one go.
    ::madvise(static_cast<char*>(p) + h.hashesOffset / 4096 * 4096,
              fileSize - h.hashesOffset / 4096 * 4096, MADV_WILLNEED);
    if (XXH3_64bits(hashes, fileSize - h.hashesOffset) != h.hashesHash) return nullptr;
    index->blocks.Reset(base, kRecordsOffset, h.hashesOffset, hashes);
    index->text = std::string_view(base + kRecordsOffset, h.recordsBytes);
    index->records = reinterpret_cast<const uint32_t*>(base + h.offsetsOffset);
    index->entryCount = h.entryCount;
    index->sortedCount = h.sortedCount;
    return index;
}

namespace {

// The index as it is written: whole pages to the file, the checksum of each block as its bytes
// pass.
class IndexOut {
public:
    explicit IndexOut(int fd) : fd(fd), state(XXH3_createState())
    {
        buffer.reserve(1 << 20);
        if (!state) ok = false;
        if (state) XXH3_64bits_reset(state);
    }
    ~IndexOut()
    {
        if (state) XXH3_freeState(state);
    }
    IndexOut(const IndexOut&) = delete;
    IndexOut& operator=(const IndexOut&) = delete;

    uint64_t Position() const { return position; }
    bool Ok() const { return ok; }
    const std::vector<uint64_t>& Hashes() const { return hashes; }

    // Bytes outside the checksummed blocks (the header's room, the checksums).
    void PutPlain(const void* data, size_t bytes) { Buffer(data, bytes); }
    void Put(const void* data, size_t bytes)
    {
        const char* p = static_cast<const char*>(data);
        size_t left = bytes;
        while (left > 0 && ok) {
            const size_t take = std::min<uint64_t>(left, kBlock - inBlock);
            XXH3_64bits_update(state, p, take);
            inBlock += take;
            p += take;
            left -= take;
            if (inBlock == kBlock) EndBlock();
        }
        Buffer(data, bytes);
    }
    void Put(std::string_view s) { Put(s.data(), s.size()); }
    void PadTo(uint64_t alignment)
    {
        static const char zeros[8] = {};
        Put(zeros, (alignment - position % alignment) % alignment);
    }
    void EndBlocks()
    {
        if (inBlock > 0) EndBlock();
    }
    bool Flush()
    {
        // Written a page at a time: the cache then holds the file in single pages, which a
        // search maps one by one, rather than in the large blocks that big writes leave.
        for (size_t from = 0; from < buffer.size() && ok; from += 4096)
            ok = WriteAll(fd, std::string_view(buffer).substr(from, 4096));
        buffer.clear();
        return ok;
    }

private:
    void EndBlock()
    {
        hashes.push_back(XXH3_64bits_digest(state));
        XXH3_64bits_reset(state);
        inBlock = 0;
    }
    void Buffer(const void* data, size_t bytes)
    {
        const char* p = static_cast<const char*>(data);
        position += bytes;
        while (bytes > 0 && ok) {
            const size_t take = std::min(bytes, buffer.capacity() - buffer.size());
            buffer.append(p, take);
            p += take;
            bytes -= take;
            if (buffer.size() == buffer.capacity()) Flush();
        }
    }

    int fd;
    std::string buffer;
    uint64_t position = 0;
    XXH3_state_t* state;
    uint64_t inBlock = 0;
    std::vector<uint64_t> hashes;
    bool ok = true;
};

// Holds the text's writer lock: one index writer per text at a time, whichever process.
struct WriterLock {
    Fd file;
    bool held = false;
    explicit WriterLock(const std::string& textPath)
    {
        long long size = 0;
        file.fd = OpenPlainFile(textPath, size);
        held = file.fd >= 0 && ::flock(file.fd, LOCK_EX | LOCK_NB) == 0;
    }
};

// The index's temporary: beside the index's own name, created afresh, never opened through a
// link; its lock tells a clean-up at start-up that it is still being written. Removed unless
// renamed into place.
struct TempIndex {
    std::string path;
    Fd out;
    bool Create(const std::string& indexPath)
    {
        std::random_device random;
        for (int attempt = 0; attempt < 16 && out.fd < 0; ++attempt) {
            char suffix[32];
            std::snprintf(suffix, sizeof suffix, ".tmp%08x", static_cast<unsigned>(random()));
            path = indexPath + suffix;
            out.fd =
                ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
            if (out.fd < 0 && errno != EEXIST) break;
        }
        if (out.fd < 0) {
            path.clear();
            return false;
        }
        ::flock(out.fd, LOCK_EX | LOCK_NB);
        return true;
    }
    ~TempIndex()
    {
        if (!path.empty()) ::unlink(path.c_str());
    }
};

bool WriteLocked(const std::string& textPath, const DictionaryIndex::Identity& identity,
                 const EntryTable& table, std::vector<uint32_t> order, TempIndex& temp)
{
    const uint32_t count = table.FileEntryCount();
    if (identity.size != table.FileText().size() ||
        identity.size < DictionaryIndex::minimumTextBytes || count != table.size() ||
        order.size() > count)
        return false;
    const std::string codePage = CodePageName();
    Header h{};
    if (codePage.size() >= sizeof h.codePage) return false;
    const uint32_t sortedCount = static_cast<uint32_t>(order.size());
    {
        // The entries no search reaches (empty originals, pairs a later one overrides) last.
        std::vector<bool> placed(count);
        for (uint32_t i : order)
            placed[i] = true;
        order.reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            if (!placed[i]) order.push_back(i);
        }
    }

    IndexOut w(temp.out.fd);
    static const char room[kRecordsOffset] = {};
    w.PutPlain(room, sizeof room);
    // Each entry's record, its offset kept in the order's place, which is read no more. The
    // entries come in sorted order, from all over the text: each entry is asked for from memory
    // well before it is used, and its text a little later, so that the waits overlap.
    const EntryTable::Entry* entries = table.FileEntries();
    const char* text = table.FileText().data();
    constexpr uint32_t kAhead = 32;
    for (uint32_t k = 0; k < count && w.Ok(); ++k) {
        if (entries && k + 2 * kAhead < count) Prefetch(&entries[order[k + 2 * kAhead]]);
        if (entries && k + kAhead < count)
            Prefetch(text + entries[order[k + kAhead]].original.offset);
        const uint32_t i = order[k];
        const uint64_t at = w.Position() - kRecordsOffset;
        if (at > EntryTable::kMaxTextBytes) return false;
        order[k] = static_cast<uint32_t>(at);
        w.Put(table.Original(i));
        w.Put("\n", 1);
        w.Put(table.Translation(i));
        w.Put("\n", 1);
    }
    h.recordsBytes = w.Position() - kRecordsOffset;
    w.PadTo(4);
    h.offsetsOffset = w.Position();
    w.Put(order.data(), order.size() * sizeof(uint32_t));
    w.PadTo(8);
    w.EndBlocks();
    h.hashesOffset = w.Position();
    const std::vector<uint64_t>& hashes = w.Hashes();
    w.PutPlain(hashes.data(), hashes.size() * sizeof(uint64_t));
    h.hashesHash = XXH3_64bits(hashes.data(), hashes.size() * sizeof(uint64_t));
    h.fileSize = w.Position();

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
    h.blockBytes = kBlock;
    h.entryCount = count;
    h.sortedCount = sortedCount;
    h.headerHash = HeaderHash(h);

    // A cache: a crash that leaves it empty or torn only costs a rebuild, so no fsync.
    bool ok = w.Flush() && ::pwrite(temp.out.fd, &h, sizeof h, 0) == static_cast<ssize_t>(sizeof h);
    ok = ::close(temp.out.fd) == 0 && ok;
    temp.out.fd = -1;
    // Renamed over the name itself: a link in its place is replaced, its target left alone.
    if (!ok || ::rename(temp.path.c_str(), DictionaryIndex::PathFor(textPath).c_str()) != 0)
        return false;
    temp.path.clear();
    return true;
}

}  // namespace

bool DictionaryIndex::Write(const std::string& textPath, const Identity& identity,
                            const EntryTable& table, std::vector<uint32_t> sorted)
{
    WriterLock lock(textPath);
    TempIndex temp;
    if (!lock.held || !temp.Create(PathFor(textPath))) return false;
    return WriteLocked(textPath, identity, table, std::move(sorted), temp);
}

DictionaryIndex::Built DictionaryIndex::WriteFor(const std::string& textPath)
{
    WriterLock lock(textPath);
    if (!lock.held) return lock.file.fd < 0 ? Built::Failed : Built::Busy;
    // Another writer may have finished just before this one took the lock.
    if (Open(textPath)) return Built::AlreadyThere;
    Identity identity;
    // Taken before the read: a change made meanwhile then shows as a stale index.
    if (!StatText(textPath, identity) || identity.size < minimumTextBytes) return Built::Failed;
    // Where no index can be written, before the text is read for it.
    TempIndex temp;
    if (!temp.Create(PathFor(textPath))) return Built::Failed;
    EntryTable table;
    bool tooLarge = false;
    if (!table.AppendFile(textPath, tooLarge) || identity.size != table.FileText().size())
        return Built::Failed;
    HashText(table.FileText(), identity);
    std::vector<uint32_t> sorted = CTernarySearchTree::SortedEntries(table);
    return WriteLocked(textPath, identity, table, std::move(sorted), temp) ? Built::Written
                                                                           : Built::Failed;
}

}  // namespace talvero
