#pragma once

#include "foundation/filestamp.h"
#include "foundation/tinifile.h"
#include "queue/queuesubmission.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>
#include <vector>

// Which "MSG" keys each section of Message.Dat holds, kept between pages so that taking one
// does not read the whole file. It describes the file as it was when it was read or last written
// by the queue's owner, plus the entries taken since and not yet written there; a file that
// someone else changed meanwhile (another inode, size or time of change) is read again.
class QueueKeyCache final
{
public:
    explicit QueueKeyCache(QString path);

    // Reads the file again unless it is the one the cache describes; `pending` are the entries
    // taken and not yet in the file.
    void refresh(const QList<TIniFile::Entry>& pending);
    // The lowest free key of each submission's section, each taken as it is handed out (two
    // pages for one company get two keys); nothing when a section has no free key left. The
    // keys are held from now on: a caller that does not write them calls forget().
    std::optional<QList<qint32>> take(const QList<QueueSubmission>& submissions);
    // True when the file on the disk is the one the cache describes.
    bool describesFile() const;
    // The file was rewritten with exactly what the cache describes: it stands for the new one.
    void adoptFile();
    // Nothing is known any more; the next refresh() reads the file.
    void forget();

private:
    void mark(const TIniFile::Entry& entry);

    QString m_path;
    std::optional<FileStamp> m_signature;
    QHash<QByteArray, std::vector<bool>> m_taken;
};
