#pragma once

#include "ui/SettingsPage.h"

class CBrivantelDoc;
class QCheckBox;
class QLineEdit;

// "Połączenie Internetowe": the HTTP proxy of the web gateways and the maker's server. A port that
// is no decimal number is refused when the page is left; the flag and the address are written
// all the same.
class CSettingsConnectionPage final : public CSettingsPage
{
    Q_OBJECT
public:
    CSettingsConnectionPage(CBrivantelDoc& document, QWidget* parent = nullptr);

    void OnSetActive() override;
    bool OnKillActive() override;
    void WriteBackQuietly() override;

    QCheckBox* ProxyBox() const { return m_useProxy; }
    QLineEdit* AddressEdit() const { return m_address; }
    QLineEdit* PortEdit() const { return m_port; }

private:
    CBrivantelDoc& m_document;
    QCheckBox* m_useProxy;
    QLineEdit* m_address;
    QLineEdit* m_port;
};
