#include "tests/support/ZipReader.h"

#include <QFile>
#include <stdexcept>
#include <zip.h>
#include <zlib.h>

namespace kestrane::testing {

std::map<QString, ZipMember> readZip(const QByteArray& archive)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source =
        zip_source_buffer_create(archive.constData(), zip_uint64_t(archive.size()), 0, &error);
    zip_t* zip = source ? zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error) : nullptr;
    if (zip == nullptr) {
        const std::string message = zip_error_strerror(&error);
        if (source)
            zip_source_free(source);
        zip_error_fini(&error);
        throw std::runtime_error("not a readable zip archive: " + message);
    }
    zip_error_fini(&error);
    std::map<QString, ZipMember> members;
    const zip_int64_t count = zip_get_num_entries(zip, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        zip_stat_index(zip, zip_uint64_t(i), 0, &stat);
        ZipMember member;
        member.compressionMethod = stat.comp_method;
        zip_uint8_t madeOn = 0;
        zip_uint32_t attributes = 0;
        zip_file_get_external_attributes(zip, zip_uint64_t(i), 0, &madeOn, &attributes);
        member.madeOn = madeOn;
        member.attributes = attributes;
        member.data.resize(qsizetype(stat.size));
        zip_file_t* file = zip_fopen_index(zip, zip_uint64_t(i), 0);
        const zip_int64_t got = file ? zip_fread(file, member.data.data(), stat.size) : -1;
        if (file)
            zip_fclose(file);
        if (got != zip_int64_t(stat.size)) {
            zip_close(zip);
            throw std::runtime_error(std::string("cannot read zip member ") + stat.name);
        }
        // libzip reads the members here without checking their CRC-32.
        if (crc32_z(0, reinterpret_cast<const Bytef*>(member.data.constData()),
                    std::size_t(member.data.size())) != stat.crc) {
            zip_close(zip);
            throw std::runtime_error(std::string("wrong CRC-32 of zip member ") + stat.name);
        }
        members[QString::fromUtf8(stat.name)] = member;
    }
    zip_close(zip);
    return members;
}

std::map<QString, ZipMember> readZipFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot open " + path.toStdString());
    return readZip(file.readAll());
}

} // namespace kestrane::testing
