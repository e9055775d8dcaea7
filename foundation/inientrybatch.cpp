#include "foundation/inientrybatch.h"

#include "foundation/inilines.h"

#include <QHash>
#include <QSet>

#include <memory>
#include <vector>

namespace {

QByteArray nameKey(QByteArrayView name)
{
    return IniLines::folded(name.trimmed());
}

// What the batch does to one section: the lines of its keys already in the file, and the lines
// it adds (after the section's last line that carries something, or at the end of the file
// under a new header).
struct SectionPlan
{
    bool isNew = false;
    QByteArray header;                      // the header line of a new section
    qsizetype insertAt = -1;                // where added lines go in an existing section
    QHash<QByteArray, qsizetype> fileKeys;  // folded key -> its first line in the section
    QList<QByteArray> added;                // lines added, in order
    QHash<QByteArray, qsizetype> addedKeys; // folded key -> index in `added`
};

using Plans = QHash<QByteArray, std::shared_ptr<SectionPlan>>;

// The first section of each name the entries write to, with its keys and its insertion point,
// found in one pass.
Plans findSections(const IniLines& file, const QSet<QByteArray>& wanted)
{
    Plans plans;
    std::shared_ptr<SectionPlan> current;
    const QList<QByteArrayView>& lines = file.lines();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (const auto name = IniLines::headerName(lines[i])) {
            current.reset();
            const QByteArray folded = nameKey(*name);
            if (wanted.contains(folded) && !plans.contains(folded)) {
                current = std::make_shared<SectionPlan>();
                current->insertAt = i + 1;
                plans.insert(folded, current);
            }
            continue;
        }
        if (!current)
            continue;
        if (!lines[i].trimmed().isEmpty())
            current->insertAt = i + 1;
        if (const auto key = IniLines::entryKey(lines[i])) {
            const QByteArray folded = nameKey(*key);
            if (!current->fileKeys.contains(folded))
                current->fileKeys.insert(folded, i);
        }
    }
    return plans;
}

QByteArray replaced(QByteArrayView line, const QByteArray& value)
{
    return IniLines::entryKey(line)->toByteArray() + '=' + value;
}

} // namespace

namespace IniEntryBatch {

QByteArray apply(const IniLines& file, const QList<TIniFile::Entry>& entries)
{
    QSet<QByteArray> wanted;
    for (const TIniFile::Entry& entry : entries)
        wanted.insert(nameKey(entry.section));
    Plans plans = findSections(file, wanted);
    const QList<QByteArrayView>& lines = file.lines();
    QHash<qsizetype, QByteArray> changed;
    std::vector<std::shared_ptr<SectionPlan>> newSections;
    for (const TIniFile::Entry& entry : entries) {
        std::shared_ptr<SectionPlan>& plan = plans[nameKey(entry.section)];
        if (!plan) {
            plan = std::make_shared<SectionPlan>();
            plan->isNew = true;
            plan->header = '[' + entry.section + ']';
            newSections.push_back(plan);
        }
        const QByteArray key = nameKey(entry.key);
        if (const auto at = plan->fileKeys.constFind(key); at != plan->fileKeys.cend()) {
            changed[*at] = replaced(lines[*at], entry.value);
        } else if (const auto added = plan->addedKeys.constFind(key);
                   added != plan->addedKeys.cend()) {
            plan->added[*added] = replaced(plan->added[*added], entry.value);
        } else {
            plan->addedKeys.insert(key, plan->added.size());
            plan->added.append(entry.key + '=' + entry.value);
        }
    }
    QHash<qsizetype, const SectionPlan*> insertions;
    for (const auto& plan : std::as_const(plans)) {
        if (!plan->isNew && !plan->added.isEmpty())
            insertions.insert(plan->insertAt, plan.get());
    }
    qsizetype size = 0;
    for (const QByteArrayView line : lines)
        size += line.size() + 2;
    for (const TIniFile::Entry& entry : entries)
        size += entry.section.size() + entry.key.size() + entry.value.size() + 6;
    QByteArray text;
    text.reserve(size);
    const auto put = [&text](QByteArrayView line) {
        text += line;
        text += "\r\n";
    };
    for (qsizetype i = 0; i <= lines.size(); ++i) {
        if (const SectionPlan* plan = insertions.value(i)) {
            for (const QByteArray& line : plan->added)
                put(line);
        }
        if (i == lines.size())
            break;
        const auto it = changed.constFind(i);
        put(it != changed.cend() ? QByteArrayView(*it) : lines[i]);
    }
    for (const auto& plan : newSections) {
        put(plan->header);
        for (const QByteArray& line : plan->added)
            put(line);
    }
    return text;
}

} // namespace IniEntryBatch
