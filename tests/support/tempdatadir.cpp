#include "tests/support/tempdatadir.h"

#include <QFile>

TempDataDir::TempDataDir() = default;

QString TempDataDir::file(const QString& name) const
{
    return m_dir.path() + QLatin1Char('/') + name;
}

QByteArray TempDataDir::read(const QString& name) const
{
    QFile f(file(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void TempDataDir::write(const QString& name, const QByteArray& bytes) const
{
    QFile f(file(name));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

bool TempDataDir::exists(const QString& name) const
{
    return QFile::exists(file(name));
}
