#pragma once
// The uploaded pairs, one row per upload with its user, languages and time (UTC), in an SQLite
// file (one machine; several gateways there may share it: write-ahead log, waits on a busy
// database) or in a PostgreSQL database (a "postgresql://" address: gateways on many machines
// share it). The same table either way. Values are bound as parameters, never pasted into SQL,
// so any text is stored as it came. A row is reported stored only once the database has
// committed it.
#include <chrono>
#include <functional>
#include <mutex>
#include <string>

struct sqlite3;
struct sqlite3_stmt;
struct pg_conn;

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
    UploadStore() = default;
    ~UploadStore();
    UploadStore(const UploadStore&) = delete;
    UploadStore& operator=(const UploadStore&) = delete;

    // "postgresql://…" and "postgres://…" name a database server; anything else a file.
    static bool IsServerAddress(const std::string& database);
    // The address as it may be shown: a password in it is replaced by "***".
    static std::string Shown(const std::string& database);

    // Opens (creating when missing) the database file or the table on the server. False with
    // Error() when it cannot. A server that cannot be reached is tried again at each Add.
    bool Open(const std::string& database);
    // Stores one row; thread-safe. False with Error() when it could not be stored.
    bool Add(const UploadRow& row);
    // Every row in the order of upload. False with Error() when the database cannot be read.
    bool ForEach(const std::function<void(const UploadRow&)>& visit);

    std::string Error();

private:
    bool Exec(const char* sql);
    sqlite3_stmt* Prepare(const char* sql);  // nullptr with `error` set when it fails
    void Fail(const std::string& what);

    bool ConnectServer();  // with `mutex` held
    bool AddToServer(const UploadRow& row);
    bool ForEachOnServer(const std::function<void(const UploadRow&)>& visit);

    std::mutex mutex;
    sqlite3* db = nullptr;
    pg_conn* server = nullptr;
    std::string serverAddress;  // empty for an SQLite file
    std::chrono::steady_clock::time_point lastConnectAttempt;
    std::string error;
};

}  // namespace talvero
