#pragma once

#include <QByteArray>

// What the gateway asks of the server's access rules: the address lists that admit or refuse a
// client, and the check that a paging company's access number may be dialled.
class ISnppAccess
{
public:
    virtual ~ISnppAccess() = default;

    // True when the client's real address (dotted decimal) passes the accept and deny lists.
    virtual bool addressAdmitted(const QByteArray& address) const = 0;
    // True when the access number is one the modem may dial and the allow list allows it.
    virtual bool mayDial(const QByteArray& accessNumber) const = 0;
};
