#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// The lines of a section/key file, read once, and the file's syntax: "[name]" headers,
// key=value entries belonging to the header above them. Section and key names are trimmed and
// compared without regard to the letter case of ASCII letters; the first section of a name
// and the first entry of a key in it are the ones that count.
//
// Lines are views into the bytes read, so looking through a large file copies nothing. Lines
// that an edit adds or replaces are kept here as well: every view stays valid for as long as
// this object lives.
class IniLines final
{
public:
    // Line range of a section: the header line and the body [begin, end).
    struct Range
    {
        qsizetype header = -1;
        qsizetype begin = -1;
        qsizetype end = -1;
        bool found() const { return header >= 0; }
    };

    IniLines() = default;
    IniLines(IniLines&&) = default;
    IniLines& operator=(IniLines&&) = default;
    IniLines(const IniLines&) = delete;
    IniLines& operator=(const IniLines&) = delete;

    // The file's lines (ended by CR LF, LF or a lone CR); a missing or unreadable file has none.
    static IniLines read(const QString& path);
    // Replaces the file whole with the lines, each ended by CR LF. False when that failed; the
    // old file is then untouched.
    bool write(const QString& path) const;

    const QList<QByteArrayView>& lines() const { return m_lines; }

    Range findSection(QByteArrayView section) const;
    // The line of the first entry of `key` in the section, or -1.
    qsizetype findKey(const Range& range, QByteArrayView key) const;

    static bool sameName(QByteArrayView a, QByteArrayView b);
    // A name as sameName() compares it, for hashing.
    static QByteArray folded(QByteArrayView name);
    // The name of a header line "[name]", or nothing for any other line.
    static std::optional<QByteArrayView> headerName(QByteArrayView line);
    // The key of an entry line, or nothing for a line without "=".
    static std::optional<QByteArrayView> entryKey(QByteArrayView line);
    // Everything after the first "=" of an entry line.
    static QByteArrayView valueOf(QByteArrayView line);

    void append(QByteArray line);
    void insert(qsizetype at, QByteArray line);
    void replace(qsizetype at, QByteArray line);
    void remove(qsizetype at, qsizetype count = 1);

private:
    QByteArrayView keep(QByteArray line);

    QByteArray m_bytes;
    QList<QByteArrayView> m_lines;
    QList<QByteArray> m_owned;
};
