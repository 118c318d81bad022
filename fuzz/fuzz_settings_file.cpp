// The settings file edited into any bytes: the load at start-up must finish, keep width, height
// and left as the store reads them, turn the top edge into a 16-bit whole number, and leave the
// file so that the next start loads the same values.

#include "platform/IniSettingsStore.h"
#include "settings/PlacementSettings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <charconv>
#include <cstdlib>
#include <string>

using namespace kestrane;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool isShortDecimal(const std::string& text)
{
    short value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && std::to_string(value) == text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir root;
    const QString folder = root.path();
    const QString path = folder + "/Kestrane/Kestrane.ini";
    require(QDir().mkpath(folder + "/Kestrane"));
    QFile file(path);
    require(file.open(QIODevice::WriteOnly));
    require(file.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size));
    file.close();

    IniSettingsStore store(folder);
    const char* app = PlacementSettings::application;
    const char* section = PlacementSettings::section;
    const std::string width = store.Read(app, section, "DefaultWidth", 612);
    const std::string height = store.Read(app, section, "DefaultHeight", 792);
    const std::string left = store.Read(app, section, "DefaultX", 55);
    const std::string top = store.Read(app, section, "DefaultY", -60);

    const PlacementTexts loaded = PlacementSettings(store).load();
    require(loaded.width == width && loaded.height == height && loaded.left == left);
    require(isShortDecimal(loaded.top) && loaded.top == std::to_string(topEdgeFromText(top)));
    require(PlacementSettings(store).load() == loaded);

    return 0;
}
