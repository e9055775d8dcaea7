#pragma once

#include "foundation/linecodes.h"

#include <QByteArray>
#include <QList>

// A paging company of the directory Provider.dat: what a page to it needs. The line settings
// are the codes the queue and the serial port use (LineCodes).
struct PagingCompany
{
    QByteArray Name;
    QByteArray AccessNumber;
    QByteArray Password;
    // The maximum message length, as the text of one of lengths().
    QByteArray Length = "140";
    qint32 Parity = LineCodes::DefaultParity;
    qint32 DataBits = LineCodes::DefaultDataBits;
    qint32 StopBits = LineCodes::DefaultStopBits;

    // The entries of the company dialog's lists, in their order: a line setting is stored as
    // its entry's index, the length as its entry's text.
    static const QList<QByteArray>& lengths();
    static const QList<QByteArray>& parityNames();
    static const QList<QByteArray>& dataBitsNames();
    static const QList<QByteArray>& stopBitsNames();

    // The company as the dialog shows it: a length that is no entry of the list becomes "80",
    // and a line setting outside its list the setting of a new company (Even, Seven, One), so
    // a value no reader understands is never written back.
    PagingCompany normalised() const;

    // The index of the length entry equal to `length`, or 0 ("80") for any other text.
    static int lengthIndex(const QByteArray& length);

    bool operator==(const PagingCompany&) const = default;
};
