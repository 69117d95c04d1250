#include "db/server_hangup.h"

#include <QSqlDriver>
#include <QVariant>

#include <cerrno>
#include <cstring>

#include <dlfcn.h>
#include <sys/socket.h>

namespace {

using SocketOf = int (*)(const void *);

// The client library is already loaded by the database driver; its socket is taken from it
// rather than linking the library a second time.
SocketOf socketFunction()
{
    static const SocketOf function = []() -> SocketOf {
        void *library = ::dlopen("libpq.so.5", RTLD_LAZY | RTLD_NOLOAD);
        if (!library)
            return nullptr;
        return reinterpret_cast<SocketOf>(::dlsym(library, "PQsocket"));
    }();
    return function;
}

} // namespace

std::optional<bool> serverHungUp(const QSqlDriver *driver)
{
    if (!driver)
        return std::nullopt;
    const QVariant handle = driver->handle();
    if (!handle.isValid() || (std::strcmp(handle.typeName(), "PGconn*") != 0 &&
                              std::strcmp(handle.typeName(), "pg_conn*") != 0))
        return std::nullopt;
    const void *connection = *static_cast<void *const *>(handle.constData());
    const SocketOf socketOf = socketFunction();
    if (!connection || !socketOf)
        return std::nullopt;
    const int fd = socketOf(connection);
    if (fd < 0)
        return true;
    // Between statements an idle session receives nothing, unless the server says something on
    // its own: a notification, a notice, or its goodbye before it closes. The data is looked at,
    // not taken, so that the driver still reads the notifications.
    char byte = 0;
    const ssize_t n = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0)
        return true;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return false;
    // Words of the server's own, or a failing socket: only the server can tell.
    return std::nullopt;
}
