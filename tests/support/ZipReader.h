#pragma once

#include <QByteArray>
#include <QString>
#include <map>

namespace kestrane::testing {

struct ZipMember
{
    QByteArray data;
    int compressionMethod = 0;
};

// Every member of a zip archive, by name. Throws std::runtime_error when it is not a zip archive.
std::map<QString, ZipMember> readZip(const QByteArray& archive);
std::map<QString, ZipMember> readZipFile(const QString& path);

} // namespace kestrane::testing
