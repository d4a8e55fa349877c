#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The little of the SQLite C interface the history uses, owned: a connection
// and prepared statements whose values are bound, never spliced into the SQL.
// A connection and its statements belong to one thread at a time.
#include "core/history/Connection.h"

#include <cstdint>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <string_view>

namespace lexipond::history {

class Statement {
  public:
    Statement(sqlite3* db, std::string_view sql) {
        sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                           &statement_, nullptr);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(statement_); }

    bool Prepared() const { return statement_ != nullptr; }

    // Parameters are numbered from 1.
    void Bind(int index, int64_t value) { sqlite3_bind_int64(statement_, index, value); }
    void BindText(int index, std::string_view text) {
        sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }
    // Bytes as they are: never read as text, so never checked for UTF-8.
    void BindBytes(int index, std::string_view bytes) {
        sqlite3_bind_blob(statement_, index, bytes.data(), static_cast<int>(bytes.size()),
                          SQLITE_TRANSIENT);
    }
    void BindNull(int index) { sqlite3_bind_null(statement_, index); }

    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step() { return statement_ ? sqlite3_step(statement_) : SQLITE_MISUSE; }
    // Ready to run again with new values.
    void Reset() {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }

    // Columns are numbered from 0.
    int64_t Int(int column) const { return sqlite3_column_int64(statement_, column); }
    bool IsNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
    std::string Bytes(int column) const {
        const void* bytes = sqlite3_column_blob(statement_, column);
        const int size = sqlite3_column_bytes(statement_, column);
        return bytes ? std::string(static_cast<const char*>(bytes), static_cast<size_t>(size))
                     : std::string();
    }

  private:
    sqlite3_stmt* statement_ = nullptr;
};

// Runs SQL that takes no values (pragmas, the schema, transactions).
inline int Execute(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// The connection's last error in words.
inline std::string ErrorText(sqlite3* db) {
    return db ? sqlite3_errmsg(db) : "out of memory";
}

} // namespace lexipond::history
