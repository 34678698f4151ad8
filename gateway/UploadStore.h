#pragma once
// The uploaded pairs, one row per upload with its user, languages and time (UTC), in an SQLite
// file (one machine; several gateways there may share it: write-ahead log, waits on a busy
// database) or in a PostgreSQL database (a "postgresql://" address: gateways on many machines
// share it). The same table either way, and beside it a one-row table holding the schema's
// version, so that a later gateway knows what it finds. Values are bound as parameters, never
// pasted into SQL, so any text is stored as it came. A row is reported stored only once the
// database has committed it.
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace talvero {

struct UploadRow {
    std::string uploadedAt;  // "2026-12-07T12:00:00Z", filled in by the database
    std::string user;
    std::string sourceLanguage;
    std::string targetLanguage;
    std::string original;
    std::string translation;
};

class UploadStore {
public:
    // The version of the tables this gateway makes and reads. A database of an older version is
    // brought up to it in one transaction; one of a later version is refused.
    static constexpr int kSchemaVersion = 1;

    // "postgresql://…" and "postgres://…" name a database server; anything else a file.
    static bool IsServerAddress(const std::string& database);
    // The address as it may be shown: a password in it is replaced by "***".
    static std::string Shown(const std::string& database);
    // The store for `database`, not yet opened.
    static std::unique_ptr<UploadStore> For(const std::string& database);

    virtual ~UploadStore() = default;

    // Opens the database for serving: makes the tables when `uploads` is missing (never issues
    // CREATE otherwise), brings an older schema up to date, and refuses a table it did not make
    // or a later version (Foreign() then, and Error() names what differs). False with Error()
    // when it cannot; a server that cannot be reached is tried again at each Add.
    virtual bool Open() = 0;
    // Opens without ever writing to the database (`list`): no table made, no journal changed.
    virtual bool OpenReadOnly() = 0;
    // Stores one row; thread-safe. False with Error() when it could not be stored.
    virtual bool Add(const UploadRow& row) = 0;
    // Every row in the order of upload. False with Error() when the database cannot be read.
    virtual bool ForEach(const std::function<void(const UploadRow&)>& visit) = 0;
    // Whether the database answers now (a trivial query on a connection of its own, so that a
    // locked table or a slow insert does not make it look dead). Thread-safe.
    virtual bool Answers() = 0;
    // What is true about the database after Open(), for the start-up log: the schema version,
    // and whether this gateway may insert rows.
    virtual std::string Status() = 0;
    virtual std::string Error() = 0;
    // Open() found a table that is not this gateway's, or a later version: the start must stop.
    bool Foreign() const { return foreign; }

protected:
    bool foreign = false;
};

// How an `uploads` table's columns differ from the gateway's ("lacks column x; has column y
// that the gateway does not know; column z is INTEGER, not TEXT"), given its (name, type)
// columns with types as the database names them. Empty when they match.
std::string SchemaDifference(const std::vector<std::pair<std::string, std::string>>& columns,
                             bool server);

// A consistent copy of the SQLite database `source`, taken while gateways may be writing to it
// (SQLite's online backup, write-ahead log included), written to a temporary file beside
// `target` and renamed over it only when whole. False with `error` when it cannot be made; then
// `target` is as it was.
bool BackupSqlite(const std::string& source, const std::string& target, std::string& error);

}  // namespace talvero
