#pragma once

#include <vector>

#include "ui/ResizePropSheet.h"

class CBrivantelDoc;
class CSettingsConnectionPage;
class CSettingsGatewayPage;
class CSettingsMaintenancePage;
class CSettingsPage;

// The three settings pages in their order, "Zachowanie" shown first. A page that refuses to be
// left (a port that is no number) stays the visible one; the visible page writes its values back
// when the sheet goes.
class CSettingsSheet final : public CResizePropSheet
{
    Q_OBJECT
public:
    static constexpr int kMaintenance = 0;
    static constexpr int kGateway = 1;
    static constexpr int kConnection = 2;

    CSettingsSheet(CBrivantelDoc& document, QWidget* parent);
    ~CSettingsSheet() override;

    // Shows a page, as the user's choice of its tab would; false when the visible page refused.
    bool SetActivePage(int index);
    // The run ends: the visible page writes back without a question; the sheet writes nothing more.
    void WriteBackQuietly();
    int GetActiveIndex() const { return m_active; }

    CSettingsMaintenancePage& GetMaintenancePage() { return *m_maintenance; }
    CSettingsGatewayPage& GetGatewayPage() { return *m_gateway; }
    CSettingsConnectionPage& GetConnectionPage() { return *m_connection; }

private:
    void OnCurrentChanged(int index);
    CSettingsPage* PageAt(int index) const;

    CBrivantelDoc& m_document;
    CSettingsMaintenancePage* m_maintenance;
    CSettingsGatewayPage* m_gateway;
    CSettingsConnectionPage* m_connection;
    int m_active = 0;
    bool m_reverting = false;
};
