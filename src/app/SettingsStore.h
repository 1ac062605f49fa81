#pragma once

#include <map>
#include <string>
#include <utility>

// A value of the settings store: where it lives and what it reads as while unset. The program's
// values are declared once, in app/SettingsKeys.h. A flag is kept as the integer 1 or 0; with
// emptyIsUnset an empty string reads as the fallback too (an address or a field the user cleared).
template <typename T> struct Setting
{
    const char* section;
    const char* name;
    T fallback;
    bool emptyIsUnset = false;
};
using StringSetting = Setting<const char*>;
using IntSetting = Setting<int>;
using FlagSetting = Setting<bool>;

// The per-user settings store: values under a section and a name ("Settings"/"Sign").
// Strings are Windows-1250.
class CSettingsStore
{
public:
    virtual ~CSettingsStore() = default;

    std::string Get(const StringSetting& key) const
    {
        std::string value = GetString(key.section, key.name, key.fallback);
        return key.emptyIsUnset && value.empty() ? key.fallback : value;
    }
    int Get(const IntSetting& key) const { return GetInt(key.section, key.name, key.fallback); }
    bool Get(const FlagSetting& key) const
    {
        return GetInt(key.section, key.name, key.fallback ? 1 : 0) != 0;
    }
    void Set(const StringSetting& key, const std::string& value) { SetString(key.section, key.name, value); }
    void Set(const IntSetting& key, int value) { SetInt(key.section, key.name, value); }
    void Set(const FlagSetting& key, bool value) { SetInt(key.section, key.name, value ? 1 : 0); }

    virtual bool Contains(const std::string& section, const std::string& name) const = 0;
    virtual std::string GetString(const std::string& section, const std::string& name,
                                  const std::string& fallback = {}) const = 0;
    virtual void SetString(const std::string& section, const std::string& name, const std::string& value) = 0;
    virtual int GetInt(const std::string& section, const std::string& name, int fallback) const = 0;
    virtual void SetInt(const std::string& section, const std::string& name, int value) = 0;
};

// A store that lives only as long as the object: for tests and for runs that must not touch the
// user's own settings.
class CMemorySettingsStore final : public CSettingsStore
{
public:
    bool Contains(const std::string& section, const std::string& name) const override
    {
        return m_values.count({section, name}) != 0;
    }
    std::string GetString(const std::string& section, const std::string& name,
                          const std::string& fallback = {}) const override
    {
        const auto it = m_values.find({section, name});
        return it == m_values.end() ? fallback : it->second;
    }
    void SetString(const std::string& section, const std::string& name, const std::string& value) override
    {
        m_values[{section, name}] = value;
    }
    int GetInt(const std::string& section, const std::string& name, int fallback) const override
    {
        const auto it = m_values.find({section, name});
        if (it == m_values.end())
            return fallback;
        try {
            return std::stoi(it->second);
        } catch (...) {
            return fallback;
        }
    }
    void SetInt(const std::string& section, const std::string& name, int value) override
    {
        m_values[{section, name}] = std::to_string(value);
    }

private:
    std::map<std::pair<std::string, std::string>, std::string> m_values;
};
