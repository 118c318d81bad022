#include "settings/TolerantSettingsStore.h"

#include "base/Error.h"
#include "platform/MessageBox.h"

namespace kestrane {

TolerantSettingsStore::TolerantSettingsStore(SettingsStore& store, MessageBox& messageBox)
    : m_store(store), m_messageBox(messageBox)
{
}

std::string TolerantSettingsStore::Read(const std::string& application, const std::string& section,
                                        const std::string& key, int defaultValue)
{
    if (m_readable) {
        try {
            return m_store.Read(application, section, key, defaultValue);
        } catch (const Error& error) {
            m_readable = false;
            giveUp(error);
        }
    }
    return std::to_string(defaultValue);
}

void TolerantSettingsStore::Write(const std::string& application, const std::string& section,
                                  const std::string& key, const std::string& text)
{
    if (!m_readable || !m_writable)
        return;
    try {
        m_store.Write(application, section, key, text);
    } catch (const Error& error) {
        giveUp(error);
    }
}

void TolerantSettingsStore::giveUp(const Error& error)
{
    if (!m_writable)
        return; // told already
    m_writable = false;
    m_messageBox.show("The placement values cannot be saved; Kestrane goes on without saving them.\n\n" +
                      reportText(error));
}

} // namespace kestrane
