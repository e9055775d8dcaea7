#include "foundation/inisnapshot.h"
#include "foundation/tinifile.h"
#include "tests/support/tempdatadir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

// Hostile files: headers with blanks and odd brackets, a name listed twice in other letter case,
// lines the line scan takes for sections that are no headers ("x[y]=z"), keys that differ only
// in letter case, repeated keys, entries before the first header, empty keys, values beyond the
// value buffer, numbers in every notation. Every answer must be the one the store's own reads
// give for the same file.
TEST(IniSnapshot, AnswersAsTheStoreReadsAndTheLineScanAnswer)
{
    TempDataDir dir;
    const QString path = dir.file(QStringLiteral("sUser.Dat"));
    std::mt19937 random(21);
    const auto pick = [&](qsizetype n) { return random() % static_cast<unsigned>(n); };
    const QList<QByteArray> headers{"[Alice]", "[ALICE]",   " [ bob ] ", "[bob",   "[a]b]",
                                    "]ops[",   "[Ann Lee]", "[]",        "[ops]x", "[ops]"};
    const QList<QByteArray> keys{"PIN", "pin", " Pin ", "PROVIDER", "User0", "user0", "", "x[y]"};
    const QList<QByteArray> values{"",   "1001", " 7 ", "0x1F", "$ff",
                                   "-3", "a=b",  "z]",  "[w]",  QByteArray(1100, 'L')};
    const QList<QByteArray> probes{"alice", "ALICE", " alice", "bob",   " bob ", "ann lee",
                                   "a]b",   "ab]",   "ops",    "]ops[", "opsx",  "",
                                   "PIN=1", "x[y]",  "xy=z",   "Alice "};
    for (int round = 0; round < 100; ++round) {
        SCOPED_TRACE(round);
        QByteArray text;
        for (int line = 0; line < 30; ++line) {
            const auto kind = pick(8);
            if (kind == 0)
                text += headers[pick(headers.size())];
            else if (kind == 1)
                text += "no equals sign";
            else if (kind != 2)
                text += keys[pick(keys.size())] + '=' + values[pick(values.size())];
            text += pick(4) ? "\r\n" : "\n";
        }
        dir.write(QStringLiteral("sUser.Dat"), text);

        const TIniFile store(path);
        QList<QByteArray> listed;
        ListSections(path, listed);
        const IniSnapshot snapshot = IniSnapshot::read(path);
        for (const QByteArray& name : probes) {
            const bool scanned = std::any_of(listed.cbegin(), listed.cend(), [&](const auto& l) {
                return l.compare(name, Qt::CaseInsensitive) == 0;
            });
            EXPECT_EQ(snapshot.listed(name), scanned) << name.data();
            EXPECT_EQ(snapshot.entries(name), store.ReadSection(name)) << name.data();
            for (const QByteArray& key : keys) {
                EXPECT_EQ(snapshot.text(name, key, "default"), store.ReadText(name, key, "default"))
                    << name.data() << '/' << key.data();
                EXPECT_EQ(snapshot.number(name, key, -99), store.ReadNumber(name, key, -99))
                    << name.data() << '/' << key.data();
            }
        }
    }
    EXPECT_FALSE(IniSnapshot::read(dir.file(QStringLiteral("missing"))).listed("alice"));
}

} // namespace
