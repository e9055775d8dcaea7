#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// What a data folder's page store (Pages.db) and queue (Message.Dat) hold, read one after the
// other while nothing writes them: the store through Qt's SQL module with nothing but SELECT,
// the queue through its file reader.
class QueueStoreSnapshot final
{
public:
    struct Record
    {
        qint64 id = 0;
        QByteArray state;
        QByteArray text;
        QByteArray section;
        QByteArray key;
        QByteArray value;
        bool inQueue = false;
    };
    struct Entry
    {
        QByteArray section;
        QByteArray key;
        QByteArray value;
        QByteArray text; // the message between "*MSG*" and "*PIN*"
    };

    static QueueStoreSnapshot read(const QString& dataDir);

    const QList<Record>& records() const { return m_records; }
    const QList<Entry>& entries() const { return m_entries; }
    // Set when the store could not be read; the lists are empty then.
    const QString& error() const { return m_error; }

    // Every way the two disagree where a started server has reconciled them, one line each:
    // a page still "accepting" or "sending", a queue entry without exactly one live record that
    // names it, a queued or held record without its entry, a final record still marked as in
    // the queue.
    QStringList disagreements() const;

private:
    QList<Record> m_records;
    QList<Entry> m_entries;
    QString m_error;
};
