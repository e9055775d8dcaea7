#pragma once

#include <QByteArray>

class IServerSettings;

// Who may hand pages in and which paging companies may be called for them, for every front end
// and for the run: the address lists of the settings (IPAccept, IPDeny) and the number policy
// (an access number is dialled only when it holds nothing but dialling characters and the allow
// list as last loaded allows it). It reads the settings afresh for every question, so a changed
// list counts from the next one on. How many connections one address may hold is each front
// end's own number, counted with PerAddressLimit.
class Admission final
{
public:
    explicit Admission(const IServerSettings& settings);

    // The accept list makes exceptions to the deny list: an address is refused only when the
    // deny list matches it and the accept list does not.
    bool addressAdmitted(const QByteArray& address) const;

    enum class NumberCheck { Allowed, NotDiallable, NotAllowed };
    // Whether the modem may dial `number` now: it must be diallable, and a line of the allow
    // list must allow it. Pages are checked with it before they are queued, and the run checks
    // again before it dials, since the list may have changed meanwhile and the queue file may
    // have been edited by hand.
    NumberCheck checkNumber(const QByteArray& number) const;
    bool mayDial(const QByteArray& number) const;
    // The allow list alone, as the workstations' "PAGE" command has always been answered; the
    // data block that follows is checked with checkNumber.
    bool allowListAllows(const QByteArray& number) const;

    // True when `number` holds at least one digit and nothing but dialling characters: digits,
    // blanks, "-", "(", ")", ",", "*" and "#". Anything else could reach the modem as a command.
    static bool isDiallable(const QByteArray& number);

private:
    const IServerSettings& m_settings;
};
