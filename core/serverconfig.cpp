#include "core/serverconfig.h"

#include "directories/sharedgroupfile.h"
#include "directories/shareduserfile.h"
#include "foundation/widgettext.h"

#include <QtEndian>

namespace {

// Offsets of the fields in the record.
constexpr int OffQueTime = 0;
constexpr int OffSystemTray = 4;
constexpr int OffLogging = 5;
constexpr int OffModemType = 6;
constexpr int OffInitString = 37;
constexpr int OffComPort = 140;
constexpr int OffComPortSpeed = 144;
constexpr int OffFlowControl = 148;
constexpr int OffPort = 211;
constexpr int OffIPDeny = 237;
constexpr int OffIPAccept = 438;
constexpr int OffUserFile = 639;
constexpr int OffGroupFile = 790;

void putInt(QByteArray& record, int offset, qint32 value)
{
    qToLittleEndian(value, record.data() + offset);
}

qint32 getInt(const QByteArray& record, int offset)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<quint8>(record.at(offset + i));
    return static_cast<qint32>(value);
}

// Length byte, the characters, and zeros up to the field's end.
void putString(QByteArray& record, int offset, int capacity, const QByteArray& value)
{
    const QByteArray text = value.left(capacity);
    record[offset] = static_cast<char>(text.size());
    for (int i = 0; i < capacity; ++i)
        record[offset + 1 + i] = i < text.size() ? text[i] : '\0';
}

QByteArray getString(const QByteArray& record, int offset, int capacity)
{
    const int length = qMin(static_cast<int>(static_cast<quint8>(record[offset])), capacity);
    return record.mid(offset + 1, length);
}

// The reserved fields hold these values in a new record; nothing reads them.
QByteArray defaultRecord()
{
    QByteArray record(TServerConfig::RecordSize, '\0');
    putInt(record, 176, 2);
    putInt(record, 180, 3);
    record[210] = 1;
    return record;
}

} // namespace

TServerConfig TServerConfig::defaults(const QString& dataDir)
{
    TServerConfig config;
    config.UserFile =
        WidgetText::toFileName(dataDir + QLatin1Char('/') + SharedUserFile::DefaultFileName);
    config.GroupFile =
        WidgetText::toFileName(dataDir + QLatin1Char('/') + SharedGroupFile::DefaultFileName);
    config.raw = defaultRecord();
    return config;
}

QByteArray TServerConfig::toRecord() const
{
    QByteArray record = raw.size() == RecordSize ? raw : defaultRecord();
    putInt(record, OffQueTime, QueTime);
    record[OffSystemTray] = SystemTray ? 1 : 0;
    record[OffLogging] = Logging ? 1 : 0;
    putString(record, OffModemType, ModemTypeCapacity, ModemType);
    putString(record, OffInitString, InitStringCapacity, InitString);
    putInt(record, OffComPort, ComPort);
    putInt(record, OffComPortSpeed, ComPortSpeed);
    putInt(record, OffFlowControl, FlowControl);
    putString(record, OffPort, PortCapacity, Port);
    putString(record, OffIPDeny, IPListCapacity, IPDeny);
    putString(record, OffIPAccept, IPListCapacity, IPAccept);
    putString(record, OffUserFile, FileCapacity, UserFile);
    putString(record, OffGroupFile, FileCapacity, GroupFile);
    return record;
}

TServerConfig TServerConfig::fromRecord(const QByteArray& bytes)
{
    Q_ASSERT(bytes.size() >= RecordSize);
    TServerConfig config;
    config.raw = bytes.left(RecordSize);
    const QByteArray& record = config.raw;
    config.QueTime = getInt(record, OffQueTime);
    config.SystemTray = record[OffSystemTray] != 0;
    config.Logging = record[OffLogging] != 0;
    config.ModemType = getString(record, OffModemType, ModemTypeCapacity);
    config.InitString = getString(record, OffInitString, InitStringCapacity);
    config.ComPort = getInt(record, OffComPort);
    config.ComPortSpeed = getInt(record, OffComPortSpeed);
    config.FlowControl = getInt(record, OffFlowControl);
    config.Port = getString(record, OffPort, PortCapacity);
    config.IPDeny = getString(record, OffIPDeny, IPListCapacity);
    config.IPAccept = getString(record, OffIPAccept, IPListCapacity);
    config.UserFile = getString(record, OffUserFile, FileCapacity);
    config.GroupFile = getString(record, OffGroupFile, FileCapacity);
    return config;
}

QList<QByteArray> TServerConfig::resetOutOfRange()
{
    const TServerConfig standard;
    QList<QByteArray> reset;
    const auto check = [&reset](qint32& field, qint32 low, qint32 high, qint32 fallback,
                                const char* name) {
        if (field < low || field > high) {
            field = fallback;
            reset.append(name);
        }
    };
    check(QueTime, 0, MaxQueTime, standard.QueTime, "QueTime");
    check(ComPort, -1, 3, standard.ComPort, "ComPort");
    check(ComPortSpeed, -1, 13, standard.ComPortSpeed, "ComPortSpeed");
    check(FlowControl, -1, 3, standard.FlowControl, "FlowControl");
    // A port given by number must be one; a service name is left to the lookup, which reports
    // an unknown one when the listener starts.
    bool numeric = false;
    const qlonglong port = Port.trimmed().toLongLong(&numeric);
    if (numeric && (port < 1 || port > 65535)) {
        Port = standard.Port;
        reset.append("Port");
    }
    return reset;
}

QList<QByteArray> TServerConfig::invalidFields() const
{
    const QByteArray record = raw.size() == RecordSize ? raw : toRecord();
    TServerConfig values = *this;
    const QList<QByteArray> outOfRange = values.resetOutOfRange();
    QList<QByteArray> invalid;
    const auto flag = [&](const char* name, bool bad) {
        if (bad || outOfRange.contains(name))
            invalid.append(name);
    };
    const auto boolean = [&record](int offset) {
        return record[offset] != 0 && record[offset] != 1;
    };
    const auto overlong = [&record](int offset, int capacity) {
        return static_cast<quint8>(record[offset]) > capacity;
    };
    flag("QueTime", false);
    flag("SystemTray", boolean(OffSystemTray));
    flag("Logging", boolean(OffLogging));
    flag("ModemType", overlong(OffModemType, ModemTypeCapacity));
    flag("InitString", overlong(OffInitString, InitStringCapacity));
    flag("ComPort", false);
    flag("ComPortSpeed", false);
    flag("FlowControl", false);
    flag("Port", overlong(OffPort, PortCapacity));
    flag("IPDeny", overlong(OffIPDeny, IPListCapacity));
    flag("IPAccept", overlong(OffIPAccept, IPListCapacity));
    flag("UserFile", overlong(OffUserFile, FileCapacity));
    flag("GroupFile", overlong(OffGroupFile, FileCapacity));
    return invalid;
}
