#include "foundation/inientrybatch.h"

#include "foundation/inilines.h"
#include "foundation/tinifile.h"
#include "tests/support/tempdatadir.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

// Files and batches drawn from a small alphabet of names, so that sections and keys collide:
// names differing only in letter case or blanks, a section that occurs twice, keys before any
// header, blank lines and comments inside and between sections, empty values.
class Draw
{
public:
    explicit Draw(quint32 seed) : m_random(seed) {}

    QByteArray name(const char* stem)
    {
        QByteArray n = stem + QByteArray::number(m_random.bounded(4));
        if (m_random.bounded(4) == 0)
            n = n.toUpper();
        if (m_random.bounded(6) == 0)
            n = ' ' + n + ' ';
        return n;
    }

    QByteArray file()
    {
        QByteArray text;
        const int lines = static_cast<int>(m_random.bounded(30));
        for (int i = 0; i < lines; ++i) {
            switch (m_random.bounded(6)) {
            case 0:
                text += '[' + name("Sec") + "]";
                break;
            case 1:
                text += "";
                break;
            case 2:
                text += "; note " + QByteArray::number(i);
                break;
            default:
                text +=
                    name("Key") + '=' + (m_random.bounded(5) ? "v" + QByteArray::number(i) : "");
            }
            text += m_random.bounded(3) ? "\r\n" : "\n";
        }
        return text;
    }

    QList<TIniFile::Entry> entries()
    {
        QList<TIniFile::Entry> list;
        const int count = static_cast<int>(m_random.bounded(12));
        for (int i = 0; i < count; ++i)
            list.append(
                {name("Sec").trimmed(), name("Key").trimmed(), "w" + QByteArray::number(i)});
        return list;
    }

private:
    QRandomGenerator m_random;
};

TEST(IniEntryBatch, LeavesTheTextThatWritingEachEntryInTurnLeaves)
{
    TempDataDir dir;
    const QString path = dir.file(QStringLiteral("Data.ini"));
    for (quint32 seed = 1; seed <= 3000; ++seed) {
        Draw draw(seed);
        const QByteArray original = draw.file();
        const QList<TIniFile::Entry> entries = draw.entries();
        dir.write(QStringLiteral("Data.ini"), original);
        const QByteArray batched = IniEntryBatch::apply(IniLines::read(path), entries);
        TIniFile(path).WriteEntries(entries);
        ASSERT_EQ(batched, dir.read(QStringLiteral("Data.ini"))) << "seed " << seed << "\nfile:\n"
                                                                 << original.constData();
    }
}

TEST(IniEntryBatch, AQueueOfMessagesTakesNewKeysAfterItsLastLine)
{
    TempDataDir dir;
    dir.write(QStringLiteral("Message.Dat"),
              "[555]\r\nLength=80\r\nMSG1=a\r\n\r\n[777]\r\nMSG1=b\r\n");
    const QByteArray text = IniEntryBatch::apply(
        IniLines::read(dir.file(QStringLiteral("Message.Dat"))), {{"555", "Length", "80"},
                                                                  {"555", "MSG2", "c"},
                                                                  {"999", "MSG1", "d"},
                                                                  {"777", "MSG2", "e"},
                                                                  {"555", "MSG3", "f"}});
    EXPECT_EQ(text, "[555]\r\nLength=80\r\nMSG1=a\r\nMSG2=c\r\nMSG3=f\r\n\r\n[777]\r\nMSG1=b\r\n"
                    "MSG2=e\r\n[999]\r\nMSG1=d\r\n");
}

} // namespace
