#pragma once

#include "directories/pagingcompany.h"
#include "foundation/tinifile.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

class IniSnapshot;

// The paging company directory Provider.dat in the folder of the shared user file: one section
// per company holding "Access Number", "Password", "Length", "Parity", "DataBits" and
// "StopBits" in this order. Every call goes to the file.
class CompanyDirectory final
{
public:
    // The directory in `directory` (the folder of the shared user file).
    explicit CompanyDirectory(const QString& directory);

    const QString& filePath() const { return m_file.FileName(); }

    // The company names in file order, as the line scan finds them; none without a file.
    QList<QByteArray> names() const;
    bool contains(const QByteArray& name) const;

    // The company's stored values, with the values of a new company for missing keys. The
    // values come as stored: normalised() gives what the dialog shows.
    PagingCompany read(const QByteArray& name) const;
    // The company, or nothing when the directory does not list it.
    std::optional<PagingCompany> find(const QByteArray& name) const;
    // The same two from the file's content read once, for many lookups in a row.
    static PagingCompany readIn(const IniSnapshot& file, const QByteArray& name);
    static std::optional<PagingCompany> findIn(const IniSnapshot& file, const QByteArray& name);

    // Writes the six keys in their order with one write of the file: all of them or, when the
    // write fails (EIniFileError), none. A name that would not read back as itself or a value
    // that does not fit on its line raises EZelkorError and writes nothing.
    void write(const PagingCompany& company);
    void remove(const QByteArray& name);

private:
    TIniFile m_file;
};
