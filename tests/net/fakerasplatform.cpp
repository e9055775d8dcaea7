#include "tests/net/fakerasplatform.h"

#include <QTimer>

int FakeRasPlatform::enumEntries(QList<QByteArray>& out)
{
    out = entries;
    return 0;
}

int FakeRasPlatform::enumConnections(QList<Connection>& out)
{
    out = connections;
    return enumConnectionsResult;
}

int FakeRasPlatform::ipProjection(qintptr handle, QByteArray& ipAddress)
{
    ipAddress = ipAddresses.value(handle);
    return 0;
}

int FakeRasPlatform::getEntryDialParams(DialParams& params, bool& isStored)
{
    params.userName = "user";
    isStored = passwordStored;
    return 0;
}

int FakeRasPlatform::setEntryDialParams(const DialParams& params, bool removePassword)
{
    stored.append({params, removePassword});
    return 0;
}

int FakeRasPlatform::dial(const DialParams& params, Progress progress, qintptr& handle)
{
    dialed.append(params);
    if (dialResult != 0)
        return dialResult;
    handle = nextHandle;
    const QByteArray entry = params.entryName;
    const qintptr connection = nextHandle;
    int delay = 0;
    for (const auto& step : std::as_const(progressSteps)) {
        QTimer::singleShot(++delay, [this, progress, step, entry, connection] {
            if (step.first == 8192 && step.second == 0)
                connections.append({connection, entry});
            progress(step.first, step.second);
        });
    }
    return 0;
}

int FakeRasPlatform::hangUp(qintptr handle)
{
    hungUp.append(handle);
    return 0;
}

std::optional<QByteArray> FakeRasPlatform::errorString(int code)
{
    if (errorTexts.contains(code))
        return errorTexts.value(code);
    return std::nullopt;
}
