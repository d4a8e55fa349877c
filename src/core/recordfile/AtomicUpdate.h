#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// All-or-nothing changes of a record file. The change runs on a copy beside
// the file ("<name>.part<pid>"); the copy is synced and renamed over the file
// in one step, so a kill at any instant leaves either the file as it was or
// the whole result, never a mix. Sort, compaction, shrink and imports go
// through here; single field writes and tag changes stay in place.
//
// Called by whoever owns the open file (under the owner's lock); the file
// must be open in mapped mode, writable.
#include "core/platform/FileMapping.h"

#include <functional>
#include <string>

namespace lexipond {

struct RecordFile;

enum class UpdateOutcome {
    Replaced,  // the result is in the file's place and open
    Unchanged, // the change reported nothing to do; no copy was kept
    Failed,    // nothing changed (disk full, rename refused...); the file is open as it was
};

// What the change does to the copy: true with a result, false when it failed
// (the file then stays as it was). `changed` set to false means nothing needed
// doing, and the copy is thrown away.
using RecordFileChange = std::function<bool(RecordFile& copy, bool& changed)>;

UpdateOutcome UpdateAtomically(RecordFile& file, const RecordFileChange& change);

// The same for a change that writes every byte of the result anyway: `write`
// is handed an empty file beside the original (the original stays mapped and
// unchanged meanwhile) and fills it; no copy of the original is made first.
// Replaced or Failed. Afterwards `file` is open on the result, or closed when
// `reopen` is false (a caller that is done with it skips the open's tag scan).
UpdateOutcome ReplaceAtomically(RecordFile& file,
                                const std::function<bool(platform::FileHandle out)>& write,
                                bool reopen = true);

// Makes a record file at `path` through `build`, which is handed a RecordFile
// named after a temporary file beside `path`; the finished file takes its
// name only when build returns true. `path` never holds a partial file.
// Afterwards `file` is open on `path` (mapped, writable) or closed on failure;
// with `reopen` false it stays closed either way. build may leave its file's
// mapping stale (written through the handle) when nothing reopens it.
bool CreateAtomically(RecordFile& file, const std::string& path,
                      const std::function<bool(RecordFile& file)>& build, bool reopen = true);

} // namespace lexipond
