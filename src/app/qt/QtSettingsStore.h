#pragma once

#include <QDateTime>
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
    // The file changed on disk since we last looked (`brivantel-cli config set`, another copy):
    // read it again. Values we changed and have not written yet win over the file's.
    void Refresh() const;
    // A file that is to hold the own gateway's section is made the owner's alone before the
    // first byte of it is written.
    void Protect(const std::string& section);

    mutable QSettings m_settings;
    mutable QDateTime m_seenModified;
    mutable QDateTime m_seenChanged;
    mutable qint64 m_seenSize = -1;
};
