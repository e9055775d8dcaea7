#include "lines/wctpmessage.h"

#include <QStringList>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {

// An 8-bit text as XML can carry it.
QString xmlText(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        if (code == '\r')
            continue;
        if (code < 0x20 && code != '\t' && code != '\n')
            text.append(QLatin1Char(' '));
        else
            text.append(QLatin1Char(static_cast<char>(code)));
    }
    return text;
}

// What the carrier says, as one line of the system's 8-bit text.
QByteArray carrierText(const QString& text)
{
    QByteArray bytes;
    for (const QChar c : text.simplified()) {
        const char16_t code = c.unicode();
        bytes.append(code < 0x20 || code == 0x7F ? ' '
                     : code > 0xFF               ? '?'
                                                 : static_cast<char>(code));
    }
    return bytes.left(200);
}

} // namespace

namespace WctpMessage {

QByteArray submitRequest(const Submit& submit)
{
    QByteArray document;
    QXmlStreamWriter xml(&document);
    xml.writeStartDocument();
    xml.writeDTD(QStringLiteral(
        "<!DOCTYPE wctp-Operation SYSTEM \"http://dtd.wctp.org/wctp-dtd-v1r3.dtd\">"));
    xml.writeStartElement(QStringLiteral("wctp-Operation"));
    xml.writeAttribute(QStringLiteral("wctpVersion"), QStringLiteral("wctp-dtd-v1r3"));
    xml.writeStartElement(QStringLiteral("wctp-SubmitRequest"));
    xml.writeStartElement(QStringLiteral("wctp-SubmitHeader"));
    xml.writeAttribute(QStringLiteral("submitTimestamp"),
                       submit.submitted.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")));
    xml.writeEmptyElement(QStringLiteral("wctp-Originator"));
    xml.writeAttribute(QStringLiteral("senderID"), xmlText(submit.senderId));
    if (!submit.securityCode.isEmpty())
        xml.writeAttribute(QStringLiteral("securityCode"), xmlText(submit.securityCode));
    xml.writeEmptyElement(QStringLiteral("wctp-MessageControl"));
    xml.writeAttribute(QStringLiteral("messageID"), xmlText(submit.messageId));
    xml.writeAttribute(QStringLiteral("allowResponse"), QStringLiteral("false"));
    xml.writeEmptyElement(QStringLiteral("wctp-Recipient"));
    xml.writeAttribute(QStringLiteral("recipientID"), xmlText(submit.recipient));
    xml.writeEndElement(); // wctp-SubmitHeader
    xml.writeStartElement(QStringLiteral("wctp-Payload"));
    xml.writeTextElement(QStringLiteral("wctp-Alphanumeric"), xmlText(submit.text));
    xml.writeEndElement(); // wctp-Payload
    xml.writeEndDocument();
    return document;
}

Confirmation readConfirmation(QByteArrayView document)
{
    Confirmation result;
    QXmlStreamReader xml(document.toByteArray());
    // Elements from the root down to the one read: only wctp-Operation / wctp-Confirmation /
    // wctp-Success or wctp-Failure counts.
    QStringList path;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            path.removeLast();
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        path.append(xml.name().toString());
        if (path.size() == 1 && path.first() != QStringLiteral("wctp-Operation"))
            return {};
        if (path.size() != 3 || path.at(1) != QStringLiteral("wctp-Confirmation") ||
            result.outcome != Confirmation::Outcome::Unreadable)
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (path.last() == QStringLiteral("wctp-Success")) {
            result.outcome = Confirmation::Outcome::Success;
            result.code = attributes.value(QStringLiteral("successCode")).toInt();
            result.text = carrierText(attributes.value(QStringLiteral("successText")).toString());
        } else if (path.last() == QStringLiteral("wctp-Failure")) {
            result.outcome = Confirmation::Outcome::Failure;
            result.code = attributes.value(QStringLiteral("errorCode")).toInt();
            result.text = carrierText(attributes.value(QStringLiteral("errorText")).toString());
        }
    }
    // A document that breaks off or is not well-formed is not taken at its word.
    if (xml.hasError())
        return {};
    return result;
}

} // namespace WctpMessage
