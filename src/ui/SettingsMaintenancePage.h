#pragma once

#include "ui/SettingsPage.h"

class CBrivantelDoc;
class QCheckBox;

// "Zachowanie": what deleting does, emptying the deleted folder at every save, and the daily
// check for a new version ("Update"/"AutoUpdate" in the settings store, written when the page is
// left).
class CSettingsMaintenancePage final : public CSettingsPage
{
    Q_OBJECT
public:
    CSettingsMaintenancePage(CBrivantelDoc& document, QWidget* parent = nullptr);

    void OnSetActive() override;
    bool OnKillActive() override;

    QCheckBox* MoveBox() const { return m_move; }
    QCheckBox* EmptyBox() const { return m_empty; }
    QCheckBox* AutoUpdateBox() const { return m_autoUpdate; }

private:
    CBrivantelDoc& m_document;
    QCheckBox* m_move;
    QCheckBox* m_empty;
    QCheckBox* m_autoUpdate;
};
