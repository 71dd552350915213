// The reference point-of-service plug-in: keeps the point-of-service record as one row of an
// SQLite database, "..\data\LMQPointService.db" from the current directory (the program
// directory), created on first use.
//
// Services: "ReadDataPointService" and "WriteDataPointService" (field in
// "POINTSERVICE_LMQ_PLUGIN_FIELDNAME_PARAMETER", value in
// "POINTSERVICE_LMQ_PLUGIN_VALUE_PARAMETER"), "WriteDataPointsService" (fields and values under
// the same keys followed by "_1", "_2"...: every field checked first, then all written in one
// transaction, or none), "getLmqPluginVersionService".
//
// Return codes (also the response's "LMQ_PLUGIN_RESPONSE_RETURN_CODE"; the message says what
// went wrong):
//   0  success (a read answers the value as message and "result")
//   1  unknown service
//   2  the field-name parameter is missing
//   3  unknown field
//   4  the field cannot be written (only read, or kept by the plug-in)
//   5  unusable value (none in the request; "LanguePays" needs exactly 4 characters; values
//      hold at most 1023)
//   6  storage failure (database locked past 2 seconds, read-only, corrupt, or missing folder)
//   90 / 91  unexpected failure / a stored value that the text form cannot carry
//
// Every write is one transaction that also sets "DateModif" (YYYY-MM-DD) and "HeureModif"
// (HH:MM:SS, local time): a write that does not finish leaves the previous record whole.
// "LanguePays" sets "Langue" (its first two characters), "Pays" (its last two) and "LangueISO"
// (the language in lower case); reading "LanguePays" gives "Langue" followed by "Pays".
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwctype>
#include <optional>
#include <string>
#include <vector>

#include "base/Text.h"
#include "clients/PointServiceFields.h"
#include "platform/Paths.h"
#include "plugins/common/PluginServer.h"

namespace {

using qvplugin::Fail;
using qvplugin::Reply;

constexpr char kTag[] = "PointServicePlugin";
constexpr char kDatabase[] = "..\\data\\LMQPointService.db";
constexpr int kBusyTimeoutMs = 2000;
constexpr size_t kMaxValueChars = 1023;

enum : int32_t {
    kOk = 0,
    kUnknownService = 1,
    kMissingField = 2,
    kUnknownField = 3,
    kNotWritable = 4,
    kBadValue = 5,
    kStorageFailure = 6,
};

// Fields kept in the database: every field of the record but the combined "LanguePays".
bool IsStored(std::string_view name) {
    return name != "LanguePays";
}

const pointservice::Field* FindField(std::string_view name) {
    for (const pointservice::Field& f : pointservice::kFields)
        if (name == f.name)
            return &f;
    return nullptr;
}

class Database {
  public:
    ~Database() {
        if (db_) {
            if (inTransaction_)
                sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(db_);
        }
    }

    // The data folder may be a link (an installed tree keeps it under /var/lib); SQLite's
    // NOFOLLOW refuses a link anywhere in the path, so the folder is resolved first and only
    // the file itself must not be a link.
    static std::string ResolvedFolder(const std::string& path) {
        const size_t slash = path.rfind('/');
        if (slash == std::string::npos)
            return path;
        char* folder = realpath(slash == 0 ? "/" : path.substr(0, slash).c_str(), nullptr);
        if (!folder)
            return path;  // a missing folder fails the open below, with its reason
        std::string resolved = folder;
        std::free(folder);
        return (resolved == "/" ? "" : resolved) + path.substr(slash);
    }

    bool Open() {
        std::string path = ResolvedFolder(platform::NativePath(kDatabase));
        // Created owner-only here rather than by SQLite, which would use 0644; its journal
        // takes the database's mode.
        // A link is refused, so the record is never written outside the tree (SQLite is told
        // so too, against a link made meanwhile); a FIFO or a device is refused, not opened.
        struct stat st {};
        if (lstat(path.c_str(), &st) == 0) {
            if (!S_ISREG(st.st_mode)) {
                error_ = "cannot open " + path + ": " +
                         (S_ISLNK(st.st_mode) ? "it is a symbolic link" : "not a regular file");
                return false;
            }
        } else {
            int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
            if (fd >= 0)
                close(fd);
        }
        if (sqlite3_open_v2(path.c_str(), &db_,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX |
                                SQLITE_OPEN_NOFOLLOW,
                            nullptr) != SQLITE_OK)
            return Failed("cannot open " + path);
        sqlite3_busy_timeout(db_, kBusyTimeoutMs);
        return true;
    }

    // Adds the table and any missing column; the caller holds the write transaction.
    bool EnsureSchema() {
        if (!Exec(
                "CREATE TABLE IF NOT EXISTS PointService (Id INTEGER PRIMARY KEY CHECK (Id = 1))"))
            return false;
        std::vector<std::string> present;
        if (!Columns(present))
            return false;
        for (const pointservice::Field& f : pointservice::kFields) {
            if (!IsStored(f.name))
                continue;
            bool found = false;
            for (const std::string& c : present)
                found = found || c == f.name;
            if (!found && !Exec(StrFormat("ALTER TABLE PointService ADD COLUMN \"%s\" TEXT NOT "
                                          "NULL DEFAULT ''",
                                          f.name)))
                return false;
        }
        return Exec("INSERT OR IGNORE INTO PointService (Id) VALUES (1)");
    }

    // True when the table holds every stored field, so a read needs no write at all.
    bool SchemaComplete(bool& complete) {
        std::vector<std::string> present;
        if (!Columns(present))
            return false;
        size_t stored = 0;
        for (const pointservice::Field& f : pointservice::kFields) {
            if (!IsStored(f.name))
                continue;
            ++stored;
            bool found = false;
            for (const std::string& c : present)
                found = found || c == f.name;
            if (!found) {
                complete = false;
                return true;
            }
        }
        complete = stored > 0;
        return true;
    }

    bool Begin() {
        if (!Exec("BEGIN IMMEDIATE"))
            return false;
        inTransaction_ = true;
        return true;
    }

    bool Commit() {
        if (!Exec("COMMIT"))
            return false;
        inTransaction_ = false;
        return true;
    }

    bool ReadColumn(const char* column, std::string& value) {
        sqlite3_stmt* st = nullptr;
        std::string sql = StrFormat("SELECT \"%s\" FROM PointService WHERE Id = 1", column);
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            return Failed("read");
        int rc = sqlite3_step(st);
        value.clear();
        if (rc == SQLITE_ROW) {
            const unsigned char* text = sqlite3_column_text(st, 0);
            int bytes = sqlite3_column_bytes(st, 0);
            if (text)
                value.assign(reinterpret_cast<const char*>(text), static_cast<size_t>(bytes));
        }
        sqlite3_finalize(st);
        return rc == SQLITE_ROW || rc == SQLITE_DONE ? true : Failed("read");
    }

    // Sets columns to values in the one row.
    bool Update(const std::vector<std::pair<std::string, std::string>>& columns) {
        std::string sql = "UPDATE PointService SET ";
        for (size_t i = 0; i < columns.size(); ++i)
            sql += StrFormat("%s\"%s\" = ?%zu", i ? ", " : "", columns[i].first.c_str(), i + 1);
        sql += " WHERE Id = 1";
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            return Failed("write");
        for (size_t i = 0; i < columns.size(); ++i)
            sqlite3_bind_text(st, static_cast<int>(i + 1), columns[i].second.data(),
                              static_cast<int>(columns[i].second.size()), SQLITE_TRANSIENT);
        int rc = sqlite3_step(st);
        sqlite3_finalize(st);
        return rc == SQLITE_DONE ? true : Failed("write");
    }

    const std::string& Error() const { return error_; }

  private:
    bool Exec(const char* sql) {
        char* msg = nullptr;
        if (sqlite3_exec(db_, sql, nullptr, nullptr, &msg) == SQLITE_OK)
            return true;
        error_ = msg ? msg : sqlite3_errmsg(db_);
        sqlite3_free(msg);
        return false;
    }
    bool Exec(const std::string& sql) { return Exec(sql.c_str()); }

    bool Columns(std::vector<std::string>& names) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, "PRAGMA table_info(PointService)", -1, &st, nullptr) !=
            SQLITE_OK)
            return Failed("schema");
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            const unsigned char* name = sqlite3_column_text(st, 1);
            if (name)
                names.emplace_back(reinterpret_cast<const char*>(name));
        }
        sqlite3_finalize(st);
        return rc == SQLITE_DONE ? true : Failed("schema");
    }

    bool Failed(const std::string& what) {
        error_ = what + ": " + (db_ ? sqlite3_errmsg(db_) : "out of memory");
        return false;
    }

    sqlite3* db_ = nullptr;
    bool inTransaction_ = false;
    std::string error_;
};

Reply StorageFailure(const Database& db) {
    return Fail(kStorageFailure, L"Storage failure: " + Widen(db.Error()));
}

std::string Now(const char* format) {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[32];
    size_t n = std::strftime(buf, sizeof buf, format, &tm);
    return std::string(buf, n);
}

Reply ReadField(const std::string& field, CLog* log) {
    const pointservice::Field* f = FindField(field);
    if (!f)
        return Fail(kUnknownField, L"Unknown field " + Widen(field));
    Database db;
    if (!db.Open())
        return StorageFailure(db);
    bool complete = false;
    if (!db.SchemaComplete(complete))
        return StorageFailure(db);
    if (!complete && !(db.Begin() && db.EnsureSchema() && db.Commit()))
        return StorageFailure(db);
    std::string value;
    if (field == "LanguePays") {
        std::string country;
        if (!db.ReadColumn("Langue", value) || !db.ReadColumn("Pays", country))
            return StorageFailure(db);
        value += country;
    } else if (!db.ReadColumn(f->name, value)) {
        return StorageFailure(db);
    }
    qvplugin::LogInfo(log, "Read " + field);
    return qvplugin::Ok(Widen(value));
}

using Columns = std::vector<std::pair<std::string, std::string>>;

// The columns a write of field sets, appended to columns; a failure reply when the field or the
// value cannot be written.
std::optional<Reply> ColumnsOf(const std::string& field, const std::wstring& value,
                               Columns& columns) {
    const pointservice::Field* f = FindField(field);
    if (!f)
        return Fail(kUnknownField, L"Unknown field " + Widen(field));
    if (!f->write)
        return Fail(kNotWritable, L"Field " + Widen(field) + L" cannot be written");
    if (value.size() > kMaxValueChars)
        return Fail(kBadValue, Widen(StrFormat("Value of %s longer than %zu characters",
                                               field.c_str(), kMaxValueChars)));
    if (field == "LanguePays") {
        if (value.size() != 4)
            return Fail(kBadValue, L"LanguePays needs 4 characters, got \"" + value + L"\"");
        std::wstring iso = value.substr(0, 2);
        for (wchar_t& c : iso)
            c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
        columns.emplace_back("Langue", Narrow(value.substr(0, 2)));
        columns.emplace_back("Pays", Narrow(value.substr(2, 2)));
        columns.emplace_back("LangueISO", Narrow(iso));
    } else {
        columns.emplace_back(f->name, Narrow(value));
    }
    return std::nullopt;
}

Reply Store(Columns columns) {
    columns.emplace_back("DateModif", Now("%Y-%m-%d"));
    columns.emplace_back("HeureModif", Now("%H:%M:%S"));
    Database db;
    if (!db.Open() || !db.Begin() || !db.EnsureSchema() || !db.Update(columns) || !db.Commit())
        return StorageFailure(db);
    return qvplugin::Ok(L"");
}

Reply WriteField(const std::string& field, const std::wstring& value, CLog* log) {
    Columns columns;
    if (std::optional<Reply> refused = ColumnsOf(field, value, columns))
        return *refused;
    Reply stored = Store(std::move(columns));
    if (stored.code == 0)
        qvplugin::LogInfo(log, "Wrote " + field);
    return stored;
}

// One apply's fields: a record half old and half new is never left, whatever fails.
Reply WriteFields(const CPluginRequest& request, CLog* log) {
    Columns columns;
    std::vector<std::string> names;
    for (int n = 1;; ++n) {
        const std::wstring suffix = L"_" + std::to_wstring(n);
        std::wstring field, value;
        if (request.GetParameter(std::wstring(pointservice::kFieldNameKey) + suffix, field) != 0)
            break;
        if (n > pointservice::kMaxBatchFields)
            return Fail(kBadValue, Widen(StrFormat("More than %d fields in one write",
                                                   pointservice::kMaxBatchFields)));
        if (request.GetParameter(std::wstring(pointservice::kValueKey) + suffix, value) != 0)
            return Fail(kBadValue, L"No value for " + field);
        if (std::optional<Reply> refused = ColumnsOf(Narrow(field), value, columns))
            return *refused;
        names.push_back(Narrow(field));
    }
    if (names.empty())
        return Fail(kMissingField, L"No field name in the request");
    Reply stored = Store(std::move(columns));
    if (stored.code == 0)
        for (const std::string& name : names)
            qvplugin::LogInfo(log, "Wrote " + name);
    return stored;
}

Reply Service(const CPluginRequest& request, CLog* log) {
    const std::wstring& service = request.GetServiceName();
    if (service == kVersionService)
        return qvplugin::Ok(Widen(QV_VERSION));
    if (service == pointservice::kWriteManyService)
        return WriteFields(request, log);
    bool read = service == pointservice::kReadService;
    bool write = service == pointservice::kWriteService;
    if (!read && !write)
        return Fail(kUnknownService, L"Unknown service " + service);
    std::wstring field;
    if (request.GetParameter(pointservice::kFieldNameKey, field) != 0 || field.empty())
        return Fail(kMissingField, L"No field name in the request");
    if (read)
        return ReadField(Narrow(field), log);
    std::wstring value;
    if (request.GetParameter(pointservice::kValueKey, value) != 0)
        return Fail(kBadValue, L"No value in the request");
    return WriteField(Narrow(field), value, log);
}

}  // namespace

QV_DEFINE_SERVICE_PLUGIN(kTag, &Service)
