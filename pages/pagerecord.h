#pragma once

#include "pages/pagestate.h"
#include "queue/companylinesettings.h"
#include "queue/messagequeuefile.h"
#include "queue/queueentry.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>

#include <optional>

// A page as a front end hands it over: what its queue write carries, and what the queue entry
// has no room for.
struct NewPage
{
    QByteArray pagerId; // as the sender named the pager ("to"): a user, a group, PIN@Company
    QByteArray section; // the company's access number, the page's section of Message.Dat
    CompanyLineSettings settings; // the line settings it was accepted with
    QueueEntry entry;             // message, signature, PIN, sender address, addressee
    QByteArray senderIdentity;    // who the sender says it is (SNPP's CALLerid), else empty
    FrontEnd frontEnd = FrontEnd::Workstation;
    std::optional<QDateTime> notBefore; // a held page goes out no earlier
};

// Where a page's entry is in Message.Dat: its section, its "MSG" + n key and the entry's
// exact value. Keys are unique within a section for as long as their entries are queued, so the
// three name one line even when two pages carry the same text to the same PIN.
struct QueueTie
{
    QByteArray section;
    QByteArray key; // empty until the queue write has said where the entry went
    QByteArray value;

    // What two ties must share to name the same line: the section and key as the file's reader
    // compares them (trimmed, letter case ignored) and the value byte for byte.
    QByteArray identity() const;
    static QByteArray identity(QByteArrayView section, QByteArrayView key, QByteArrayView value);
};

struct PageHistoryEntry
{
    QDateTime at;
    PageState state;
    QByteArray note;
};

// One page as the store keeps it.
struct PageRecord
{
    qint64 id = 0;
    PageState state = PageState::Queued;
    QByteArray reason; // why a page failed, expired or was cancelled
    QByteArray pagerId;
    QByteArray pin;
    QByteArray company;
    QByteArray sender;
    QByteArray senderIdentity;
    FrontEnd frontEnd = FrontEnd::Unknown;
    CompanyLineSettings settings;
    QByteArray text;
    QByteArray signature;
    QByteArray addressee;
    std::optional<QDateTime> notBefore;
    QDateTime acceptedAt;
    QDateTime updatedAt;
    std::optional<QDateTime> finishedAt; // when it reached its final state
    QueueTie tie;
    bool inQueue = false;            // its entry is (still) in Message.Dat
    QList<PageHistoryEntry> history; // oldest first; filled by PageStore::page() only
};
