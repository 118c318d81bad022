#include "settings/PlacementSettings.h"

#include "base/Placement.h"
#include "platform/SettingsStore.h"

#include <cmath>
#include <limits>

namespace kestrane {

namespace {

constexpr const char* widthKey = "DefaultWidth";
constexpr const char* heightKey = "DefaultHeight";
constexpr const char* leftKey = "DefaultX";
constexpr const char* topKey = "DefaultY";

constexpr int defaultWidth = 612;
constexpr int defaultHeight = 792;
constexpr int defaultLeft = 55;
constexpr int defaultTop = -60;

} // namespace

short topEdgeFromText(const std::string& text)
{
    const auto number = parseNumber(text);
    if (!number)
        return defaultTop;
    // nearbyint follows the default rounding mode, round-half-to-even.
    const double rounded = std::nearbyint(*number);
    if (rounded < std::numeric_limits<short>::min() || rounded > std::numeric_limits<short>::max())
        return defaultTop;
    return static_cast<short>(rounded);
}

PlacementSettings::PlacementSettings(SettingsStore& store) : m_store(store)
{
}

std::string PlacementSettings::readAndWriteBack(const char* key, int defaultValue)
{
    std::string text = m_store.Read(application, section, key, defaultValue);
    m_store.Write(application, section, key, text);
    return text;
}

PlacementTexts PlacementSettings::load()
{
    PlacementTexts texts;
    texts.width = readAndWriteBack(widthKey, defaultWidth);
    texts.height = readAndWriteBack(heightKey, defaultHeight);
    texts.left = readAndWriteBack(leftKey, defaultLeft);
    const short top = topEdgeFromText(m_store.Read(application, section, topKey, defaultTop));
    texts.top = std::to_string(top);
    m_store.Write(application, section, topKey, texts.top);
    return texts;
}

void PlacementSettings::save(const PlacementTexts& texts)
{
    m_store.Write(application, section, widthKey, texts.width);
    m_store.Write(application, section, heightKey, texts.height);
    m_store.Write(application, section, leftKey, texts.left);
    m_store.Write(application, section, topKey, texts.top);
}

void PlacementSettings::saveValidPairs(const PlacementTexts& texts)
{
    if (ValidDimensions(texts.width, texts.height)) {
        m_store.Write(application, section, widthKey, texts.width);
        m_store.Write(application, section, heightKey, texts.height);
    }
    if (ValidPosition(texts.left, texts.top)) {
        m_store.Write(application, section, leftKey, texts.left);
        m_store.Write(application, section, topKey, texts.top);
    }
}

} // namespace kestrane
