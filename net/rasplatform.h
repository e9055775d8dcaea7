#pragma once

#include <QByteArray>
#include <QList>

#include <functional>
#include <optional>

// What the dial-up component needs of the platform's dial-up networking library. Each function
// may be missing (the library, or one entry point of it, is not there); the component then
// behaves as if there were no dial-up networking. Results are the library's codes: 0 is success.
class IRasPlatform
{
public:
    enum class Function {
        EnumEntries,
        EnumConnections,
        GetProjectionInfo,
        GetEntryDialParams,
        SetEntryDialParams,
        Dial,
        HangUp,
        GetErrorString,
    };

    struct Connection
    {
        qintptr handle = -1;
        QByteArray entryName;
    };

    struct DialParams
    {
        QByteArray entryName;
        QByteArray userName;
        QByteArray password;
        QByteArray domain;
    };

    // Dial progress: the connection state and an error code (0 for none).
    using Progress = std::function<void(int state, int error)>;

    virtual ~IRasPlatform() = default;

    virtual bool hasFunction(Function function) const = 0;

    virtual int enumEntries(QList<QByteArray>& entries) = 0;
    virtual int enumConnections(QList<Connection>& connections) = 0;
    // The IP address text of a connection's IP projection.
    virtual int ipProjection(qintptr handle, QByteArray& ipAddress) = 0;
    // Fills `params` for the entry; `passwordStored` tells whether the platform keeps a password.
    virtual int getEntryDialParams(DialParams& params, bool& passwordStored) = 0;
    virtual int setEntryDialParams(const DialParams& params, bool removePassword) = 0;
    // Starts dialing; progress is reported later, from the event loop. Fills the handle.
    virtual int dial(const DialParams& params, Progress progress, qintptr& handle) = 0;
    virtual int hangUp(qintptr handle) = 0;
    // The library's text for an error code; nothing when it has none.
    virtual std::optional<QByteArray> errorString(int code) = 0;
    // The library's own string resource for a dial state text; empty when it has none.
    virtual QByteArray stateResource(int resourceId) = 0;
    // Minimises the platform's dial dialog if one is shown.
    virtual void minimizeDialDialog() = 0;
};
