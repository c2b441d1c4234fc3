#include "db/BatchScript.h"

#include "base/Text.h"

namespace kurdb::db {

bool IsSeparatorLine(std::string_view line) {
    return text::TrimControl(line) == "GO";
}

void RunScript(const SqlTemplate& script, SqlTemplate& query1) {
    const int n = script.LineCount();
    query1.ClearLines();
    if (n == 0) return;
    for (int i = 0; i < n; ++i) {
        const std::string& line = script.GetLine(i);
        if (IsSeparatorLine(line)) {
            if (query1.LineCount() > 0) query1.Execute();
            query1.ClearLines();
        } else {
            query1.AddLine(line);
        }
    }
    bool work = false;
    for (const auto& line : query1.Lines())
        if (!text::TrimControl(line).empty()) work = true;
    if (work) query1.Execute();
}

}  // namespace kurdb::db
