#pragma once

#include "net/rasplatform.h"

#include <QList>
#include <QMap>
#include <QPair>

// A dial-up library for the tests: entries and connections as the test sets them, a dial that
// reports a scripted list of (state, error) progress steps from the event loop, and a record
// of every dial, parameter store and hang-up.
class FakeRasPlatform final : public IRasPlatform
{
public:
    QList<QByteArray> entries;
    QList<Connection> connections;
    QMap<qintptr, QByteArray> ipAddresses;
    QList<Function> missing;
    bool passwordStored = false;
    int enumConnectionsResult = 0;
    int dialResult = 0;
    // Reported one after another once dialing has started.
    QList<QPair<int, int>> progressSteps;
    // When the dial reports state 8192, this connection of the dialed entry becomes active.
    qintptr nextHandle = 77;
    QMap<int, QByteArray> errorTexts;
    QMap<int, QByteArray> stateResources;

    QList<DialParams> dialed;
    QList<QPair<DialParams, bool>> stored;
    QList<qintptr> hungUp;
    int minimized = 0;

    bool hasFunction(Function function) const override { return !missing.contains(function); }
    int enumEntries(QList<QByteArray>& out) override;
    int enumConnections(QList<Connection>& out) override;
    int ipProjection(qintptr handle, QByteArray& ipAddress) override;
    int getEntryDialParams(DialParams& params, bool& stored) override;
    int setEntryDialParams(const DialParams& params, bool removePassword) override;
    int dial(const DialParams& params, Progress progress, qintptr& handle) override;
    int hangUp(qintptr handle) override;
    std::optional<QByteArray> errorString(int code) override;
    QByteArray stateResource(int resourceId) override { return stateResources.value(resourceId); }
    void minimizeDialDialog() override { ++minimized; }
};
