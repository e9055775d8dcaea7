#pragma once

#include <QByteArray>

// What the options dialog shows and hands back, as the dialog's own texts and list indexes
// (-1 for a list without a selection). QueTime stays text: it becomes a number only when the
// operator confirms, where a bad entry must stop everything.
struct OptionValues
{
    QByteArray QueTime;
    bool SystemTray = false;
    bool Logging = false;
    QByteArray ModemType;
    QByteArray InitString;
    int ComPort = -1;
    int ComPortSpeed = -1;
    int FlowControl = -1;
    QByteArray UserFile;
    QByteArray GroupFile;
    QByteArray Port;
    QByteArray IPAccept;
    QByteArray IPDeny;
};

// The options dialog as the settings command drives it. The desktop program implements it with
// the real dialog; tests with a scripted one.
class IOptionsDialog
{
public:
    virtual ~IOptionsDialog() = default;

    // Brings the "&General" page to the front.
    virtual void showFirstPage() = 0;
    // Selects the first modem type, then the first one whose name contains `modemType`
    // (letter case counts; an empty name matches nothing).
    virtual void selectModemType(const QByteArray& modemType) = 0;
    // Fills the init string and speed from the selected modem type's definition.
    virtual void ModemListChange() = 0;
    // Puts every value but the modem type (selected above) into the controls.
    virtual void setValues(const OptionValues& values) = 0;
    // Shows the dialog modally; true when the operator confirmed it.
    virtual bool execute() = 0;
    // The controls' current contents, the modem type's typed text included.
    virtual OptionValues values() const = 0;
};
