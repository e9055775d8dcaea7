#pragma once

#include "queue/companylinesettings.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <optional>

#include <optional>

// One paging company's part of the queue file as a run takes it, read in one pass: the
// messages of every section of its name, in file order, and its line settings. A file edited by
// hand, or put together again after a crash, may hold the company's section twice; every copy
// counts, so no page waits behind one the run cannot see.
class QueuedCompany final
{
public:
    // One queued message: its key ("MSG" + n) and the stored entry, exactly as in the file.
    struct Message
    {
        QByteArray key;
        QByteArray value;
    };

    // The section name as its first header spells it, without surrounding blanks.
    QByteArray section;
    // Every "MSG" key with a value, also a key that occurs twice: each line is a page.
    QList<Message> messages;

    // The line setting as the first entry of `key` in any of the company's sections holds it
    // (an entry with nothing after its "=" gives the empty text), else `defaultValue`.
    QByteArray text(const QByteArray& key, const QByteArray& defaultValue) const;
    // The same setting as a whole number (decimal, "$" or "0x" hexadecimal); anything else,
    // the empty text of a missing key included, gives the default.
    qint32 number(const QByteArray& key, qint32 defaultValue) const;

    // The company's line settings as a run dials with them: each one the section does not name
    // takes its default (CompanyLineSettings). Nothing when the length is no whole number or a
    // code is none the port knows: nobody can be called with them.
    std::optional<CompanyLineSettings> lineSettings() const;

    // Records a setting entry met while reading; only the first of a key counts.
    void addSetting(const QByteArray& key, const QByteArray& value);

private:
    QHash<QByteArray, QByteArray> m_settings; // by the key in lower case
};
