#pragma once

#include "queue/queuedcompany.h"
#include "queue/queueentry.h"
#include "queue/queuesubmission.h"

#include "foundation/tinifile.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>
#include <vector>

// The format of the queue file Message.Dat: one section per paging company access number (the
// section name is the number exactly as it arrived), holding the company's line settings and one
// "MSG" + n key per queued message. Writers go through TIniFile, so keys keep their places and
// new keys and sections are appended in arrival order. The run's reads and removals see every
// key of every section of a name: they are not bound by the store's key list, and a section that
// occurs twice is read and emptied whole. The running server reaches the file only through its
// one owner, MessageQueue, which keeps the count of its messages.
class MessageQueueFile final
{
public:
    // The file's name in the data folder, and its path there.
    static inline const QString FileName = QStringLiteral("Message.Dat");
    static QString pathIn(const QString& dataDir);

    // The highest message key a writer hands out; a section holding MSG1..MSG9999 is full.
    static constexpr qint32 MaxMessageNumber = 9999;

    explicit MessageQueueFile(QString path);
    const QString& path() const { return m_path; }

    // "MSG" + n in decimal.
    static QByteArray messageKey(qint32 n);
    // The n of a key "MSG" + decimal digits (letter case ignored), or nothing for any other key.
    static std::optional<qint32> messageNumber(const QByteArray& key);

    // The lowest n (1..MaxMessageNumber) whose "MSG" + n key in the section is missing or empty,
    // found with a single read of the file; nothing when the section is full.
    std::optional<qint32> nextFreeMessageKey(const QByteArray& section) const;

    // A submission, in its access number's section: "Password", "Length", "Parity",
    // "DataBits", "StopBits", then "MSG" + n. Raises EIniFileError when the file cannot be
    // written.
    void writeSubmission(const QueueSubmission& submission, qint32 n);

    // The entries a submission writes under key "MSG" + n, in the order they are written.
    static QList<TIniFile::Entry> submissionEntries(const QueueSubmission& submission, qint32 n);
    // Which of MSG1..MaxMessageNumber hold a message, for every section name (folded as
    // IniLines folds names; all sections of a name together), from one read of the file.
    QHash<QByteArray, std::vector<bool>> takenKeys() const;

    // Several submissions, each written as writeSubmission writes it under the lowest free key
    // of its section that the ones before it left, with one write of the file: all of them or
    // none. Gives the keys' numbers in order; nothing, and nothing written, when a section has
    // no free key left for its submission. Raises EIniFileError when the file cannot be written.
    std::optional<QList<qint32>> writeSubmissions(const QList<QueueSubmission>& submissions);

    // The operator's test message: "Length" 140, even parity, 7 data bits, one stop bit, then
    // "MSG" + n. No password key is written. Raises EIniFileError on a failed write.
    void writeTestMessage(const QByteArray& section, qint32 n, const QByteArray& pin);
    // The entry the test message queues for `pin`.
    static QueueEntry testEntry(const QByteArray& pin);
    // The line settings the test message writes to its section (the password stays as it is).
    static constexpr qint32 TestMessageLength = 140;
    static constexpr qint32 TestMessageParity = 2;
    static constexpr qint32 TestMessageDataBits = 2;
    static constexpr qint32 TestMessageStopBits = 0;

    bool exists() const;
    // The messages a run takes from the file: every "MSG" key with a value in every section,
    // read in one pass with no limit on the number of keys.
    qint32 countMessages() const;

    // The names of the file's sections in the order they first appear, each once however often
    // it occurs (names that differ only in letter case are one section).
    QList<QByteArray> sectionNames() const;
    // The messages and line settings of every section of that name.
    QueuedCompany readCompany(const QByteArray& section) const;
    // Removes the first line of `message` (its key holding exactly its value) from any section
    // of that name, with one read and one write of the file. False, and nothing written, when
    // no such line is left: the queue was cleared, or the key holds a later message now.
    // Raises EIniFileError when the file cannot be written.
    bool removeMessage(const QByteArray& section, const QueuedCompany::Message& message);
    // Removes every section of that name, with one read and one write of the file, when none
    // of them holds a message any more; a message queued meanwhile keeps them all. True when
    // they were removed. Raises EIniFileError when the file cannot be written.
    bool removeSectionIfEmpty(const QByteArray& section);
    // Deletes the file; true when it is gone afterwards (a missing file is not an error).
    bool remove() const;

private:
    QString m_path;
};
