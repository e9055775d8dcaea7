#pragma once

#include "foundation/errors.h"
#include "queue/messagequeuefile.h"
#include "queue/queuedcompany.h"
#include "queue/queuejournal.h"
#include "queue/queuekeycache.h"
#include "queue/queuesubmission.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>

// The running server's queue: the one owner of Message.Dat in the data folder and of
// QueuedCount, the number of messages it holds as the status bar shows it. Every part that
// queues, delivers or removes pages goes through it, and it changes the count as it changes the
// file: +1 for each page queued, -1 for each message a run has handled, 0 when the file is
// deleted, and the file's own count at start-up and after a run. A file changed by hand in
// between is not seen by the count until then; the run and the countdown therefore ask the file
// as well (holdsMessages).
//
// While Message.Dat is short (DefaultDirectWriteLimit) a page is written into it at once. Past
// that, rewriting it for every page would make each page cost as much as the whole queue, so a
// page is appended to the journal beside it (QueueJournal, synced to the disk before the page is
// acknowledged) and Message.Dat is brought up to date from there, with all the pages taken
// meanwhile at once: SyncDelayMs after the first page not yet in it, before
// anything reads the queue through this object (a run, a count, a clear), at a stop, and at the
// first use after a start, which replays what a kill left in the journal. Like every part of
// the queue it is used on the server's own thread only.
class MessageQueue final : public QObject
{
    Q_OBJECT

public:
    explicit MessageQueue(const QString& dataDir, QObject* parent = nullptr);
    ~MessageQueue() override;

    // Below this size of Message.Dat a page is written into it at once.
    static constexpr qint64 DefaultDirectWriteLimit = 16 * 1024;
    // Message.Dat is brought up to date this long after the first page not yet in it.
    static constexpr int SyncDelayMs = 200;

    const QString& path() const { return m_file.path(); }
    // The file itself, to read (the page store compares its records with it at start-up),
    // brought up to date first. Raises EIniFileError when that cannot be done.
    const MessageQueueFile& file() const;
    // Writes the pages the journal holds into Message.Dat, then empties the journal. Raises
    // EIniFileError when either cannot be written; both keep every page then.
    void sync() const;
    // Pages taken and not yet written into Message.Dat.
    qint32 pagesNotInFile() const;
    // From this size of Message.Dat on, pages go through the journal (0: always).
    void setDirectWriteLimit(qint64 bytes);
    // QueuedCount.
    qint32 count() const { return m_count; }

    bool exists() const;
    // The messages the file holds now, read from it.
    qint32 messagesInFile() const;
    // The count or the file says a message is waiting.
    bool holdsMessages() const;

    // At start-up: a file left by a run that ended without its close is kept, and counted. The
    // count, or nothing (and a count of 0) when there is no file.
    std::optional<qint32> takeOver();

    // Takes the pages, each under the lowest free key of its section, with one write of
    // Message.Dat or one append to the journal, on the disk when this returns, and counts them. The
    // keys' numbers; nothing, with nothing written, when a section has no free key left. Raises
    // EIniFileError when the file or the journal cannot be written; nothing is taken then either.
    std::optional<QList<qint32>> add(const QList<QueueSubmission>& submissions);
    // The operator's test message for `pin`, in the access number's section under its next free
    // key, counted. The key's number, or nothing when the section is full. Raises EIniFileError
    // when the file cannot be written.
    std::optional<qint32> addTestMessage(const QByteArray& accessNumber, const QByteArray& pin);
    // Deletes the file (the pages not yet in it go with it); the count is 0 once it is gone.
    // False, with the count as it was, when the file is still there.
    bool clear();

    // What a run reads and removes, section by section (MessageQueueFile).
    QList<QByteArray> sectionNames() const;
    QueuedCompany readCompany(const QByteArray& section) const;
    // Removes a handled message and counts it off. False, with nothing changed, when the file
    // no longer holds it (the queue was cleared meanwhile). Raises EIniFileError when the file
    // cannot be written.
    bool removeMessage(const QByteArray& section, const QueuedCompany::Message& message);
    bool removeSectionIfEmpty(const QByteArray& section);
    // Sets the count to the messages the file holds: what is left after a run is what the next
    // one will find.
    void recount();

signals:
    void countChanged(qint32 count);

private:
    void setCount(qint32 count);
    void loadJournal() const;
    void scheduleSync();
    EIniFileError queueWriteError() const;

    MessageQueueFile m_file;
    qint32 m_count = 0;
    mutable QueueJournal m_journal;
    mutable QueueKeyCache m_keys;
    mutable QList<TIniFile::Entry> m_pending;
    mutable qint32 m_pendingPages = 0;
    mutable bool m_journalLoaded = false;
    mutable bool m_syncFailing = false;
    qint64 m_directWriteLimit = DefaultDirectWriteLimit;
    QTimer m_syncTimer;
};
