#pragma once

#include "tests/support/runtimetest.h"
#include "tests/support/scriptedmodem.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

// The running server in a fresh data folder, started as the window starts it: listening on a
// port the platform picks, a check every 3 minutes with the first one a minute away, Log.Dat
// on, Allow.txt allowing the 555 numbers, and COM1 a scripted modem with a TAP terminal;
// durations at a fiftieth. A close is asked for as the window asks for it.
class RunningServerTest : public RuntimeTest
{
protected:
    void SetUp() override;
    void TearDown() override;

    // A workstation's data block of one page for 555-1234 from Pat, Base64 encoded.
    static QByteArray block(const QByteArray& pin, const QByteArray& message,
                            const QByteArray& signature = {});
    // One workstation's whole conversation; the replies it got, one per command. A data block
    // answered otherwise than "250 Message Accepted For Processing" ends it with a reset.
    QList<QByteArray> submit(const QByteArray& pin, const QByteArray& message,
                             const QByteArray& signature = {});
    // A tick of the one-second timer at a whole minute.
    void minuteTick();
    // The window's close: the request, and once it is granted the close itself. A request that
    // a run holds back comes again when the runtime says the close is due. True when closed.
    bool requestClose();

    // The queue file's company sections.
    QList<QByteArray> queuedSections() const;
    // "Transmition Log" lines and Log.Dat lines without their time stamps.
    QStringList transmitTexts() const;
    QList<QByteArray> logTexts() const;

    ScriptedModem modem;
    quint16 port = 0;
    bool closed = false;
};
