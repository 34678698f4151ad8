#pragma once
// The uploaded pairs in an SQLite database: one row per upload with its user, languages and
// time (UTC). Values are bound as parameters, never pasted into SQL, so any text is stored as
// it came. Several gateways may share one file (write-ahead log, waits on a busy database).
#include <functional>
#include <mutex>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

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

    // Opens (creating when missing) the database file. False with Error() when it cannot.
    bool Open(const std::string& path);
    // Stores one row; thread-safe. False with Error() when it could not be stored.
    bool Add(const UploadRow& row);
    // Every row in the order of upload. False with Error() when the database cannot be read.
    bool ForEach(const std::function<void(const UploadRow&)>& visit);

    std::string Error();

private:
    bool Exec(const char* sql);
    sqlite3_stmt* Prepare(const char* sql);  // nullptr with `error` set when it fails
    void Fail(const std::string& what);

    std::mutex mutex;
    sqlite3* db = nullptr;
    std::string error;
};
