#include "platform/IniSettingsStore.h"

#include "base/Error.h"

#include <QIODevice>
#include <QSettings>
#include <QStandardPaths>

namespace kestrane {

namespace {

// Reads "[section]" headers and "key=value" lines. The value is everything after the first '='
// up to the end of the line, blanks included; lines of any other shape are passed over, so a
// file edited into any bytes still loads. A line ends at LF, CR LF or a lone CR: a value read
// never holds a line break, so it can always be written back.
bool readRawIni(QIODevice& device, QSettings::SettingsMap& map)
{
    QString section;
    const QList<QByteArray> lines = device.readAll().replace('\r', '\n').split('\n');
    for (const QByteArray& line : lines) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('[') && trimmed.endsWith(']')) {
            section = QString::fromUtf8(trimmed.mid(1, trimmed.size() - 2)).trimmed();
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0 || trimmed.startsWith(';') || trimmed.startsWith('#'))
            continue;
        const QString key = QString::fromUtf8(line.left(equals)).trimmed();
        if (key.isEmpty())
            continue;
        const QString fullKey = section.isEmpty() ? key : section + '/' + key;
        map.insert(fullKey, QString::fromUtf8(line.mid(equals + 1)));
    }
    return true;
}

bool writeRawIni(QIODevice& device, const QSettings::SettingsMap& map)
{
    QString currentSection;
    bool first = true;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const qsizetype slash = it.key().lastIndexOf('/');
        const QString section = slash < 0 ? QString() : it.key().left(slash);
        const QString key = it.key().mid(slash + 1);
        QByteArray out;
        if (first || section != currentSection) {
            if (!first)
                out += '\n';
            out += '[' + section.toUtf8() + "]\n";
            currentSection = section;
            first = false;
        }
        out += key.toUtf8() + '=' + it.value().toString().toUtf8() + '\n';
        if (device.write(out) != out.size())
            return false;
    }
    return true;
}

QSettings::Format rawIniFormat()
{
    static const QSettings::Format format = QSettings::registerFormat("ini", readRawIni, writeRawIni);
    return format;
}

} // namespace

IniSettingsStore::IniSettingsStore(QString folder) : m_folder(std::move(folder))
{
}

QString IniSettingsStore::userFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString IniSettingsStore::fileFor(const std::string& application) const
{
    const QString name = QString::fromStdString(application);
    return m_folder + '/' + name + '/' + name + ".ini";
}

std::string IniSettingsStore::Read(const std::string& application, const std::string& section,
                                   const std::string& key, int defaultValue)
{
    QSettings settings(fileFor(application), rawIniFormat());
    const QVariant value = settings.value(QString::fromStdString(section + '/' + key));
    if (settings.status() == QSettings::AccessError)
        throw Error(ErrorCode::SettingsUnreadable, settings.fileName().toStdString());
    if (!value.isValid())
        return std::to_string(defaultValue);
    return value.toString().toStdString();
}

void IniSettingsStore::Write(const std::string& application, const std::string& section,
                             const std::string& key, const std::string& text)
{
    // A line break would split the value into lines that read back as something else.
    if (text.find_first_of("\r\n") != std::string::npos)
        throw Error(ErrorCode::SettingsUnwritable, key + " holds a line break");
    QSettings settings(fileFor(application), rawIniFormat());
    settings.setValue(QString::fromStdString(section + '/' + key), QString::fromStdString(text));
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw Error(ErrorCode::SettingsUnwritable, settings.fileName().toStdString());
}

} // namespace kestrane
