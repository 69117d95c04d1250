#pragma once

#include <optional>

class QSqlDriver;

// Whether the server has ended an idle session (restarted, stopped, or the session terminated),
// found out on this machine, without a round trip: false when nothing waits unread on the
// connection, true when it is closed. Empty when the server has sent words of its own (its
// goodbye comes before the close) or the driver does not let us look; the caller then asks the
// server.
std::optional<bool> serverHungUp(const QSqlDriver *driver);
