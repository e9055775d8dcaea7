#include "workstation/submissionblock.h"

#include "foundation/convert.h"
#include "net/base64.h"
#include "queue/queuesubmission.h"

namespace {

// Decimal digits only, at most nine of them; 0 for any other text.
qint32 plainNumber(const QByteArray& text)
{
    if (text.isEmpty() || text.size() > 9)
        return 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return 0;
    }
    return text.toInt();
}

// A whole number as the server's texts write one; -1, which is no line code, for any other text.
qint32 code(const QByteArray& text)
{
    return tryStrToInt(text).value_or(-1);
}

} // namespace

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

QueueSubmission SubmissionBlock::toSubmission(const QByteArray& sender) const
{
    QueueSubmission submission;
    submission.accessNumber = accessNumber;
    submission.settings.password = password;
    submission.settings.length = plainNumber(length);
    submission.settings.parity = code(parity);
    submission.settings.dataBits = code(dataBits);
    submission.settings.stopBits = code(stopBits);
    submission.entry = QueueEntry{message, signature, pin, sender, id};
    return submission;
}

bool SubmissionBlock::mayBeWhole(const QByteArray& encoded)
{
    qsizetype significant = 0;
    for (const char c : encoded) {
        const bool base64 = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '+' || c == '/' || c == '=';
        significant += base64 ? 1 : 0;
    }
    if (significant == 0 || significant % 4 != 0)
        return false;
    const SubmissionBlock block = fromText(Base64Decode(encoded));
    for (const QByteArray* needed : {&block.pin, &block.accessNumber, &block.length, &block.parity,
                                     &block.dataBits, &block.stopBits}) {
        if (needed->isEmpty())
            return false;
    }
    return true;
}
