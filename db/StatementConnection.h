#pragma once
// What a statement component needs from the connection it is bound to. DatabaseSession is the
// real one; tests put a recording fake in its place.
#include <optional>
#include <string>
#include <vector>

namespace kurdb::db {

// The rows of one result of a batch: column names as the server named them, values as UTF-8
// text (numbers in decimal), nullopt for NULL.
struct ResultSet {
    using Row = std::vector<std::optional<std::string>>;
    std::vector<std::string> columns;
    std::vector<Row> rows;
};

// A component whose server-side state the connection must drop when it closes: held rows of a
// template, the preparation of a procedure call.
class ISessionMember {
public:
    virtual void ReleaseOnDisconnect() = 0;

protected:
    ~ISessionMember() = default;
};

class IStatementConnection {
public:
    virtual ~IStatementConnection() = default;

    virtual bool IsConnected() const = 0;

    // Sends `sql` to the server as one batch and waits until the server has finished it. With
    // `keepRows`, returns every result of the batch that has columns, in order, with all rows;
    // without, returns nothing. Throws EDBEngineError when the server reports an error anywhere
    // in the batch (after reading the batch to its end, so later statements are not cut off).
    virtual std::vector<ResultSet> RunBatch(const std::string& sql, bool keepRows) = 0;

    // Components register themselves for the lifetime of the registration.
    virtual void Attach(ISessionMember& member) = 0;
    virtual void Detach(ISessionMember& member) = 0;
};

}  // namespace kurdb::db
