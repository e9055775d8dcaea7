#pragma once

#include "serial/comporttypes.h"
#include "serial/linesettings.h"
#include "serial/serialdevice.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class Pacing;
class QSocketNotifier;
class QTimer;

// One COM port: its line settings, the device, writes, and the wait for one of several reply
// texts that the paging engine is built on. Everything runs on the thread that owns it; a wait
// keeps the event loop running, so a cancel from the window (ClosePort) ends it.
//
// COMn (n = ComPort + 1) is the file or link "COMn" in the device directory when it exists,
// otherwise /dev/ttyS<n-1>.
class TOMXCom32 : public QObject
{
    Q_OBJECT

public:
    using ReceiveDataHandler = std::function<void(const QByteArray& data)>;
    using CommEventHandler = std::function<void(TCommEvents events)>;

    explicit TOMXCom32(QObject* parent = nullptr);
    ~TOMXCom32() override;

    // The durations of the waits for replies (and of a derived engine's pauses); standard unless
    // given.
    void setPacing(const Pacing& pacing) { m_pacing = &pacing; }
    const Pacing& pacing() const { return *m_pacing; }

    // Taken only while the port is closed.
    TComPortNumber ComPort() const { return m_comPort; }
    void setComPort(TComPortNumber port);

    // Stored, and sent to the device at once while the port is open.
    TComPortBaudRate ComPortSpeed() const { return m_settings.speed; }
    void setComPortSpeed(TComPortBaudRate speed);
    TComPortDataBits ComPortDataBits() const { return m_settings.dataBits; }
    void setComPortDataBits(TComPortDataBits bits);
    TComPortStopBits ComPortStopBits() const { return m_settings.stopBits; }
    void setComPortStopBits(TComPortStopBits bits);
    TComPortParity ComPortParity() const { return m_settings.parity; }
    void setComPortParity(TComPortParity parity);
    TComPortHwHandshaking ComPortHwHandshaking() const { return m_settings.hwHandshaking; }
    void setComPortHwHandshaking(TComPortHwHandshaking handshaking);
    TComPortSwHandshaking ComPortSwHandshaking() const { return m_settings.swHandshaking; }
    void setComPortSwHandshaking(TComPortSwHandshaking handshaking);

    // The receive buffer is allocated anew with the new size. The driver's queue sizes are
    // advisory on this platform: the kernel keeps its own.
    quint16 ComPortInBufSize() const { return m_inBufSize; }
    void setComPortInBufSize(quint16 size);
    quint16 ComPortOutBufSize() const { return m_outBufSize; }
    void setComPortOutBufSize(quint16 size);
    // Size of the receive buffer that reads fill (for checking the reallocation).
    qsizetype receiveBufferSize() const { return m_buffer.size(); }

    // Period of the poll timer that feeds OnReceiveData and OnCommEvent. 0 means the shortest
    // timer period, 10 ms, not a timer that fires on every pass of the event loop.
    quint16 ComPortPollingDelay() const { return m_pollingDelay; }
    void setComPortPollingDelay(quint16 ms);

    // The line events OnCommEvent reports.
    TCommEvents Events() const { return m_events; }
    void setEvents(TCommEvents events) { m_events = events; }

    void setOnReceiveData(ReceiveDataHandler handler);
    void setOnCommEvent(CommEventHandler handler);

    // Folder searched for a "COMn" device file or link; empty means the working directory.
    QString deviceDirectory() const { return m_deviceDirectory; }
    void setDeviceDirectory(const QString& directory) { m_deviceDirectory = directory; }
    // The device COMn names at the moment.
    QString devicePath() const;

    bool OpenPort();
    void ClosePort();
    bool PortOpen() const { return m_device.isOpen(); }
    void ApplySettings();

    bool WriteData(const QByteArray& bytes);
    bool SendString(const QByteArray& text);
    // Writes the text with CR LF and waits 5 seconds for "OK".
    bool SendCommand(const QByteArray& text);
    // Waits until one of the "|"-separated alternatives has been received or `timeOutSeconds`
    // have passed; its index, or -1 on time-out, cancel or closed port.
    int WaitForReply(const QByteArray& alternatives, int timeOutSeconds);

    // Set when the port was closed by ClosePort or the call was ended; cleared by OpenPort.
    bool Aborted() const { return m_aborted; }

    // The device descriptor while open, else -1 (diagnostics and tests).
    int handle() const { return m_device.handle(); }
    // How often the last WaitForReply looked at the device: it blocks between looks, so this
    // stays near the number of arrivals and counter ticks (diagnostics and tests).
    int lastWaitPasses() const { return m_waitPasses; }

protected:
    void setAborted(bool aborted) { m_aborted = aborted; }

private:
    void restartPollTimer();
    void pollTick();
    TCommEvents lineEvents(bool received);
    void allocateBuffer();
    // What a reply left over, else what the device has: one read into the receive buffer.
    QByteArray takeReceived(bool* failed = nullptr);

    TComPortNumber m_comPort = pnCOM2;
    LineSettings m_settings;
    quint16 m_inBufSize = 2048;
    quint16 m_outBufSize = 2048;
    quint16 m_pollingDelay = 0;
    TCommEvents m_events;
    ReceiveDataHandler m_onReceiveData;
    CommEventHandler m_onCommEvent;
    QString m_deviceDirectory;

    SerialDevice m_device;
    QByteArray m_buffer;
    QByteArray m_pending;
    QTimer* m_pollTimer;
    QPointer<QSocketNotifier> m_notifier;
    const Pacing* m_pacing;
    bool m_aborted = false;
    int m_waitPasses = 0;

    // Line state seen by the previous poll tick, for the change events.
    int m_lastLines = -1;
    int m_lastBreaks = -1;
    int m_lastErrors = -1;
    bool m_outputPending = false;
};
