#pragma once

#include "foundation/tinifile.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Message.Jnl beside Message.Dat: the pages accepted since Message.Dat was last rewritten, as
// the entries each accepted batch writes there, appended and synced to the disk before the batch
// is acknowledged. A batch costs one small append however long the queue is; the queue's owner
// brings Message.Dat up to date from it later and then empties it.
//
// Each batch is one record: "ZQJ1", the payload's length and its CRC-32 (both 32-bit little
// endian), then the payload (the entry count, then section, key and value of each entry, each
// with its length). Reading stops at the first record that is cut short or does not match its
// checksum: a kill in the middle of an append leaves such a record at the end, and that batch
// was never acknowledged. Writing the same entries to Message.Dat twice leaves the same file, so
// a kill between the rewrite of Message.Dat and the emptying of this file loses nothing and
// doubles nothing.
class QueueJournal final
{
public:
    using Batch = QList<TIniFile::Entry>;

    static inline const QString FileName = QStringLiteral("Message.Jnl");
    static QString pathIn(const QString& dataDir);

    explicit QueueJournal(QString path);
    ~QueueJournal();
    QueueJournal(const QueueJournal&) = delete;
    QueueJournal& operator=(const QueueJournal&) = delete;

    const QString& path() const { return m_path; }

    // The batches the file holds, in order; what follows the last whole record is cut off the
    // file, so the next append follows it. Raises EIniFileError when an existing file cannot be
    // read or cut.
    QList<Batch> load();
    // Appends the batch and syncs it to the disk. Raises EIniFileError; the file then holds
    // what it held before.
    void append(const Batch& batch);
    // Empties the file and syncs that. Raises EIniFileError when it cannot.
    void reset();
    // Whether the file holds a batch.
    bool isEmpty() const { return m_size == 0; }
    // Closes and deletes the file when it holds nothing (a stop that left nothing to replay).
    void removeIfEmpty();

    // A record as it is written, and the batches of a file's bytes up to the first record that
    // is not whole; `used` is set to the bytes those records take.
    static QByteArray encode(const Batch& batch);
    static QList<Batch> decode(const QByteArray& bytes, qsizetype* used = nullptr);

private:
    void open();
    void fail() const;

    QString m_path;
    int m_fd = -1;
    qint64 m_size = 0;
};
