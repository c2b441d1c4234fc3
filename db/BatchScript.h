#pragma once
// The batch script runner: a script of several batches, cut at its "GO" lines.
#include <string_view>

#include "db/SqlTemplate.h"

namespace kurdb::db {

// A separator line: its text, once every leading and trailing character of code 0 to 32 is
// removed, is exactly "GO" (case counts: "go", "Go" and "GO;" are batch lines).
bool IsSeparatorLine(std::string_view line);

// Runs `script` batch by batch through `query1`: ClearLines on `query1` first (also for an
// empty script); every batch line is added to it unchanged; a separator line executes
// `query1` when it holds lines and then clears it. Lines after the last separator line are a
// batch too and are executed at the end, unless all of them are blank: a script that does not
// end with "GO" must not lose its last batch. The script itself is only read.
// The first error of an Execute leaves at once: earlier batches stay done, later ones are not
// sent, and `query1` keeps the failing batch.
void RunScript(const SqlTemplate& script, SqlTemplate& query1);

}  // namespace kurdb::db
