#pragma once

#include <QByteArray>

// What the HTTP front end asks of the server's access rules: the address lists (IPAccept,
// IPDeny) that admit or refuse a client. Asked on every request, so a change of the lists
// counts from the next request on, also on a connection that stays open.
class IHttpAccess
{
public:
    virtual ~IHttpAccess() = default;

    // True when the client's real address (dotted decimal) passes the accept and deny lists.
    virtual bool addressAdmitted(const QByteArray& address) const = 0;
};
