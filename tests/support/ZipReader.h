#pragma once

#include <QByteArray>
#include <QString>
#include <map>

namespace kestrane::testing {

struct ZipMember
{
    QByteArray data;
    int compressionMethod = 0;
    // The system the entry says it was made on (0 MS-DOS, 3 Unix) and its external attributes.
    int madeOn = 0;
    quint32 attributes = 0;
};

// Every member of a zip archive, by name. Throws std::runtime_error when it is not a zip archive
// or a member's CRC-32 is wrong.
std::map<QString, ZipMember> readZip(const QByteArray& archive);
std::map<QString, ZipMember> readZipFile(const QString& path);

} // namespace kestrane::testing
