// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/Sqlite.h"

namespace lexipond::history {

void CloseConnection::operator()(sqlite3* db) const {
    // _v2: statements not yet finalized close the connection when they go.
    sqlite3_close_v2(db);
}

} // namespace lexipond::history
