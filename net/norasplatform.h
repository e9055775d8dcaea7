#pragma once

#include "net/rasplatform.h"

// The platform of a machine without a dial-up networking library (every Linux machine): no
// function is there, so there are no entries, no connections, and nothing dials.
class NoRasPlatform final : public IRasPlatform
{
public:
    bool hasFunction(Function) const override { return false; }
    int enumEntries(QList<QByteArray>&) override { return kNotAvailable; }
    int enumConnections(QList<Connection>&) override { return kNotAvailable; }
    int ipProjection(qintptr, QByteArray&) override { return kNotAvailable; }
    int getEntryDialParams(DialParams&, bool&) override { return kNotAvailable; }
    int setEntryDialParams(const DialParams&, bool) override { return kNotAvailable; }
    int dial(const DialParams&, Progress, qintptr&) override { return kNotAvailable; }
    int hangUp(qintptr) override { return kNotAvailable; }
    std::optional<QByteArray> errorString(int) override { return std::nullopt; }
    QByteArray stateResource(int) override { return {}; }
    void minimizeDialDialog() override {}

private:
    // Never reached by the component, which checks hasFunction first.
    static constexpr int kNotAvailable = -1;
};
