#include "platform/IniSettingsStore.h"

#include "base/Error.h"

#include <QFile>
#include <QIODevice>
#include <QSettings>
#include <QStandardPaths>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane {

namespace {

// Reads "[section]" headers and "key=value" lines. The value is everything after the first '='
// up to the end of the line, trimmed of surrounding blanks as INI readers do, so a hand-edited
// "DefaultWidth = 500" reads as "500"; lines of any other shape are passed over, so a file edited
// into any bytes still loads. A line ends at LF, CR LF or a lone CR: a value read
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
        map.insert(fullKey, QString::fromUtf8(line.mid(equals + 1)).trimmed());
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

// QSettings tells only that a write failed, not why. So its steps that need permission are taken
// or checked first, with the system's reason for the one that fails: the folder is made, the user
// must be able to create files in it (the new file is written aside and renamed), and a file
// already there must be one the user may write, which QSettings requires too.
void prepareToWrite(const std::string& file)
{
    const std::string folder = file.substr(0, file.rfind('/'));
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        if (::mkdir(folder.substr(0, slash).c_str(), 0777) != 0 && errno != EEXIST)
            throw Error(ErrorCode::SettingsUnwritable, file, errno);
        if (slash == std::string::npos)
            break;
    }
    struct stat status;
    if (::stat(folder.c_str(), &status) != 0)
        throw Error(ErrorCode::SettingsUnwritable, file, errno);
    if (!S_ISDIR(status.st_mode))
        throw Error(ErrorCode::SettingsUnwritable, file, ENOTDIR);
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        throw Error(ErrorCode::SettingsUnwritable, file, errno);
    if (::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT)
        throw Error(ErrorCode::SettingsUnwritable, file, errno);
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
    const QString file = fileFor(application);
    prepareToWrite(QFile::encodeName(file).toStdString());
    QSettings settings(file, rawIniFormat());
    settings.setValue(QString::fromStdString(section + '/' + key), QString::fromStdString(text));
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw Error(ErrorCode::SettingsUnwritable, settings.fileName().toStdString());
}

} // namespace kestrane
