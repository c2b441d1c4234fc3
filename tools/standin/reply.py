"""What a request sends back besides rows: messages and DONE tokens, over the TDS token writer (the sink)."""

from .errors import SqlError
from .session import DONE_COUNT, DONE_MORE


class Reply:
    """The messages and DONE tokens of one request of a session."""

    def __init__(self, session, sink):
        self.session = session
        self.sink = sink

    def emit_error(self, e, scope, line=None):
        """An error with the errors that come with it, at its own line or the statement's."""
        for err in [e] + e.also:
            self.sink.message(err.number, err.state, err.severity, err.text, err.line or line or 1,
                              err.proc or scope.proc, err.severity > 10)

    def info(self, number, *args, scope=None, line=1):
        """An informational message (severity 0) with SQL Server's text for its number."""
        e = SqlError(number, *args)
        self.sink.message(number, 1, 0, e.text, line, scope.proc if scope else "", False)

    def done(self, scope, status=0, cmd=0, count=None):
        """The end of a statement: DONE in the batch, DONEINPROC inside a procedure or EXEC; the count unless
        SET NOCOUNT ON."""
        if count is not None and not self.session.options["NOCOUNT"]:
            status |= DONE_COUNT
        self.sink.done("DONE" if scope.depth == 0 else "DONEINPROC", status | DONE_MORE, cmd, count or 0)
