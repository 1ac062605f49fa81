#pragma once

#include <QSettings>

#include "app/SettingsStore.h"

// The settings store on QSettings: organization "Orvella Systems", application "Brivantel". On
// Windows that is the program's registry key; elsewhere a file with the same sections and names.
class CQtSettingsStore final : public CSettingsStore
{
public:
    CQtSettingsStore();
    ~CQtSettingsStore() override;
    CQtSettingsStore(const CQtSettingsStore&) = delete;
    CQtSettingsStore& operator=(const CQtSettingsStore&) = delete;

    bool Contains(const std::string& section, const std::string& name) const override;
    std::string GetString(const std::string& section, const std::string& name,
                          const std::string& fallback = {}) const override;
    void SetString(const std::string& section, const std::string& name, const std::string& value) override;
    int GetInt(const std::string& section, const std::string& name, int fallback) const override;
    void SetInt(const std::string& section, const std::string& name, int value) override;

    // Writes pending changes to disk; false when the store could not be written. Once the file
    // holds the own gateway's section (its token), only its owner may read it.
    bool Sync();

private:
    mutable QSettings m_settings;
};
