#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// An owned SQLite connection, for headers that must not bring in sqlite3.h.
// It belongs to one thread at a time.
#include <memory>

struct sqlite3;

namespace lexipond::history {

struct CloseConnection {
    void operator()(sqlite3* db) const; // sqlite3_close_v2
};
using Connection = std::unique_ptr<sqlite3, CloseConnection>;

} // namespace lexipond::history
