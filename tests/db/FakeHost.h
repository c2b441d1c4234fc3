#pragma once
// A connection stand-in for the components: records every batch, answers from a queue of
// prepared replies, and can fail a chosen batch the way the server would.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "db/Errors.h"
#include "db/StatementHost.h"

namespace kurdb::test {

class FakeHost : public db::IStatementHost {
public:
    struct Batch {
        std::string sql;
        bool keepRows;
    };
    bool connected = true;
    std::vector<Batch> batches;
    // Replies handed out one per batch, in order; an empty reply when the queue is empty.
    std::deque<std::vector<db::ResultSet>> replies;
    // The batch (0-based, counted over the host's life) that the "server" rejects.
    std::optional<std::size_t> failAt;
    std::vector<db::ISessionMember*> members;

    bool IsConnected() const override { return connected; }

    std::vector<db::ResultSet> RunBatch(const std::string& sql, bool keepRows) override {
        batches.push_back({sql, keepRows});
        if (failAt && *failAt == batches.size() - 1)
            throw db::EDBEngineError(
                {{"42S01", 2714, "[FreeTDS][SQL Server]There is already an object named 'T' in the database."}},
                -1);
        if (replies.empty()) return {};
        auto reply = std::move(replies.front());
        replies.pop_front();
        return keepRows ? reply : std::vector<db::ResultSet>{};
    }
    void Attach(db::ISessionMember& m) override { members.push_back(&m); }
    void Detach(db::ISessionMember& m) override {
        std::erase(members, &m);
    }
    // What the session does on Disconnect.
    void ReleaseAll() {
        for (auto* m : members) m->ReleaseOnDisconnect();
    }

    std::vector<std::string> Sql() const {
        std::vector<std::string> out;
        for (const auto& b : batches) out.push_back(b.sql);
        return out;
    }
};

inline db::ResultSet Rows(std::vector<std::string> columns, std::vector<db::ResultSet::Row> rows) {
    return db::ResultSet{std::move(columns), std::move(rows)};
}

}  // namespace kurdb::test
