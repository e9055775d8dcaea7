#include "directories/pagingcompany.h"

namespace {

qint32 withinList(qint32 value, const QList<QByteArray>& list, qint32 fallback)
{
    return value >= 0 && value < list.size() ? value : fallback;
}

} // namespace

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
    shown.Parity = withinList(Parity, parityNames(), fresh.Parity);
    shown.DataBits = withinList(DataBits, dataBitsNames(), fresh.DataBits);
    shown.StopBits = withinList(StopBits, stopBitsNames(), fresh.StopBits);
    return shown;
}
