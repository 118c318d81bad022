#pragma once

#include "base/Placement.h"

#include <string>

namespace kestrane {

class SettingsStore;

// Where the placement values live between runs, and the three moments the program touches them.
class PlacementSettings
{
public:
    static constexpr const char* application = "Kestrane";
    static constexpr const char* section = "Settings";

    explicit PlacementSettings(SettingsStore& store);

    // Reads each value with its default and writes it straight back; the top edge is held as a
    // 16-bit whole number, so what comes back for it is that number's decimal form.
    PlacementTexts load();

    // All four texts exactly as typed.
    void save(const PlacementTexts& texts);

    // Each pair only when its check passes; a failing pair keeps what the store had.
    void saveValidPairs(const PlacementTexts& texts);

private:
    std::string readAndWriteBack(const char* key, int defaultValue);

    SettingsStore& m_store;
};

// The stored top edge as a 16-bit whole number: halves go to the even neighbour. A text that
// is not a number, or rounds outside -32768..32767, gives the default instead of stopping every
// start of the program.
short topEdgeFromText(const std::string& text);

} // namespace kestrane
