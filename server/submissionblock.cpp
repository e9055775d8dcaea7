#include "server/submissionblock.h"

QList<QByteArray> SubmissionBlock::splitLines(const QByteArray& text)
{
    QList<QByteArray> lines;
    const qsizetype zero = text.indexOf('\0');
    const qsizetype end = zero < 0 ? text.size() : zero;
    qsizetype pos = 0;
    while (pos < end) {
        qsizetype stop = pos;
        while (stop < end && text[stop] != '\r' && text[stop] != '\n')
            ++stop;
        lines.append(text.mid(pos, stop - pos));
        pos = stop;
        if (pos < end && text[pos] == '\r')
            ++pos;
        if (pos < end && text[pos] == '\n')
            ++pos;
    }
    return lines;
}

QByteArray SubmissionBlock::fieldValue(const QList<QByteArray>& lines, const QByteArray& key)
{
    for (const QByteArray& line : lines) {
        if (line.contains(key))
            return line.mid(key.size() + 1);
    }
    return {};
}

SubmissionBlock SubmissionBlock::fromLines(const QList<QByteArray>& lines)
{
    SubmissionBlock block;
    block.message = fieldValue(lines, "MSG:");
    block.signature = fieldValue(lines, "SIG:");
    block.pin = fieldValue(lines, "PIN:");
    block.id = fieldValue(lines, "ID:");
    block.accessNumber = fieldValue(lines, "AN:");
    block.password = fieldValue(lines, "PW:");
    block.length = fieldValue(lines, "LENGTH:");
    block.parity = fieldValue(lines, "PARITY:");
    block.dataBits = fieldValue(lines, "DATA:");
    block.stopBits = fieldValue(lines, "STOP:");
    return block;
}

SubmissionBlock SubmissionBlock::fromText(const QByteArray& decoded)
{
    return fromLines(splitLines(decoded));
}
