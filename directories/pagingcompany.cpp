#include "directories/pagingcompany.h"

const QList<QByteArray>& PagingCompany::lengths()
{
    static const QList<QByteArray> list{"80", "140", "160", "240"};
    return list;
}

const QList<QByteArray>& PagingCompany::parityNames()
{
    static const QList<QByteArray> list{"None", "Odd", "Even", "Mark", "Space"};
    return list;
}

const QList<QByteArray>& PagingCompany::dataBitsNames()
{
    static const QList<QByteArray> list{"Five", "Six", "Seven", "Eight"};
    return list;
}

const QList<QByteArray>& PagingCompany::stopBitsNames()
{
    static const QList<QByteArray> list{"One", "Half", "Two"};
    return list;
}

int PagingCompany::lengthIndex(const QByteArray& length)
{
    const qsizetype index = lengths().indexOf(length);
    return index < 0 ? 0 : static_cast<int>(index);
}

PagingCompany PagingCompany::normalised() const
{
    const PagingCompany fresh;
    PagingCompany shown = *this;
    shown.Length = lengths().at(lengthIndex(Length));
    // The lists hold one entry per code.
    shown.Parity = LineCodes::isParity(Parity) ? Parity : fresh.Parity;
    shown.DataBits = LineCodes::isDataBits(DataBits) ? DataBits : fresh.DataBits;
    shown.StopBits = LineCodes::isStopBits(StopBits) ? StopBits : fresh.StopBits;
    return shown;
}
