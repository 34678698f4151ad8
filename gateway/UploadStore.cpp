#include "gateway/UploadStore.h"

#include <sqlite3.h>

namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS uploads ("
    " id INTEGER PRIMARY KEY,"
    " uploaded_at TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%SZ', 'now')),"
    " user TEXT NOT NULL,"
    " source_language TEXT NOT NULL,"
    " target_language TEXT NOT NULL,"
    " original TEXT NOT NULL,"
    " translation TEXT NOT NULL)";

std::string Column(sqlite3_stmt* statement, int column)
{
    const unsigned char* text = sqlite3_column_text(statement, column);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<size_t>(sqlite3_column_bytes(statement, column)))
                : std::string();
}

}  // namespace

UploadStore::~UploadStore()
{
    if (db) sqlite3_close(db);
}

void UploadStore::Fail(const std::string& what)
{
    error = what + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
}

bool UploadStore::Exec(const char* sql)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK) return true;
    Fail(sql);
    return false;
}

bool UploadStore::Open(const std::string& path)
{
    std::lock_guard lock(mutex);
    if (sqlite3_open_v2(path.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        Fail("Could not open " + path);
        sqlite3_close(db);
        db = nullptr;
        return false;
    }
    sqlite3_busy_timeout(db, 5000);
    return Exec("PRAGMA journal_mode=WAL") && Exec(kSchema);
}

sqlite3_stmt* UploadStore::Prepare(const char* sql)
{
    if (!db) {
        error = "The database is not open";
        return nullptr;
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) return statement;
    Fail(sql);
    return nullptr;
}

bool UploadStore::Add(const UploadRow& row)
{
    std::lock_guard lock(mutex);
    sqlite3_stmt* statement = Prepare(
        "INSERT INTO uploads (user, source_language, "
        "target_language, original, translation) "
        "VALUES (?, ?, ?, ?, ?)");
    if (!statement) return false;
    int column = 1;
    for (const std::string* value :
         {&row.user, &row.sourceLanguage, &row.targetLanguage, &row.original, &row.translation})
        sqlite3_bind_text(statement, column++, value->data(), static_cast<int>(value->size()),
                          SQLITE_TRANSIENT);
    bool ok = sqlite3_step(statement) == SQLITE_DONE;
    if (!ok) Fail("Could not store the upload");
    sqlite3_finalize(statement);
    return ok;
}

bool UploadStore::ForEach(const std::function<void(const UploadRow&)>& visit)
{
    std::lock_guard lock(mutex);
    sqlite3_stmt* statement = Prepare(
        "SELECT uploaded_at, user, source_language, "
        "target_language, original, translation "
        "FROM uploads ORDER BY id");
    if (!statement) return false;
    int step;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW)
        visit({Column(statement, 0), Column(statement, 1), Column(statement, 2),
               Column(statement, 3), Column(statement, 4), Column(statement, 5)});
    if (step != SQLITE_DONE) Fail("Could not read the uploads");
    sqlite3_finalize(statement);
    return step == SQLITE_DONE;
}

std::string UploadStore::Error()
{
    std::lock_guard lock(mutex);
    return error;
}
