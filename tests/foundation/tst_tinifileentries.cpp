#include "foundation/tinifile.h"
#include "tests/support/tempdatadir.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// ReadEntries as the store's other reads compose it: the key list, then each key's value read
// on its own and merged into the caller's list line by line.
void entriesKeyByKey(const TIniFile& ini, const QByteArray& section, QList<QByteArray>& entries)
{
    QList<QByteArray> keys;
    ini.ReadKeys(section, keys);
    for (const QByteArray& key : keys) {
        const QByteArray value = ini.ReadText(section, key, QByteArray());
        qsizetype at = -1;
        for (qsizetype i = 0; i < entries.size() && at < 0; ++i) {
            const qsizetype eq = entries[i].indexOf('=');
            if ((eq < 0 ? entries[i] : entries[i].left(eq)).compare(key, Qt::CaseInsensitive) == 0)
                at = i;
        }
        if (!value.isEmpty() && at >= 0)
            entries[at] = key + '=' + value;
        else if (!value.isEmpty())
            entries.append(key + '=' + value);
        else if (at >= 0)
            entries.removeAt(at);
    }
}

// Hostile sections: keys that differ only in letter case, repeated keys, empty and over-long
// values, blanks around names, lines without "=", a repeated section, and caller lists that
// already hold lines of those keys (also twice, or without "=").
TEST(TIniFileReadEntries, GivesWhatReadingKeyByKeyGives)
{
    TempDataDir dir;
    const QString path = dir.file(QStringLiteral("Message.Dat"));
    std::mt19937 random(12);
    const auto pick = [&](int n) { return int(random() % unsigned(n)); };
    const QList<QByteArray> names{"MSG1", "msg1", "Msg2", "Password", " Length ", "x", "MSG10"};
    const QList<QByteArray> values{"", "v", "a=b", " padded ", QByteArray(1100, 'L')};
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        QByteArray text = pick(2) ? "[other]\r\nMSG1=o\r\n" : "";
        for (int part = 0; part < 2; ++part) {
            text += pick(2) ? "[S]\r\n" : "[ s ]\r\n";
            for (int line = pick(12); line > 0; --line) {
                const int kind = pick(10);
                if (kind == 0)
                    text += "no equals sign\r\n";
                else if (kind == 1)
                    text += "\r\n";
                else
                    text += names[pick(names.size())] + '=' + values[pick(values.size())] + "\r\n";
            }
        }
        // Now and then a section beyond the key list buffer.
        if (round % 50 == 0) {
            for (int i = 0; i < 1200; ++i)
                text += "Key" + QByteArray::number(i) + "=" + values[i % values.size()] + "\r\n";
        }
        dir.write(QStringLiteral("Message.Dat"), text);
        QList<QByteArray> callers;
        for (int line = pick(4); line > 0; --line)
            callers.append(pick(4) ? names[pick(names.size())].trimmed() + "=old" : "MSG1");

        const TIniFile ini(path);
        QList<QByteArray> expected = callers;
        entriesKeyByKey(ini, "S", expected);
        QList<QByteArray> actual = callers;
        ini.ReadEntries("S", actual);
        ASSERT_EQ(actual, expected) << text.left(300).constData();
    }
}

} // namespace
