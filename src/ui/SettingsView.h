#pragma once

#include "ui/BrivantelView.h"

class CSettingsSheet;

// "Ustawienia": the settings sheet filling the view. There is no OK or Cancel: each page writes
// its values when it is left and when the view goes.
class CSettingsView final : public CBrivantelView
{
    Q_OBJECT
public:
    CSettingsView(CBrivantelDoc& document, int kind, QWidget* parent = nullptr);
    ~CSettingsView() override;

    void OnInitialUpdate() override;
    bool OnCommand(CommandId command) override;
    std::optional<CCommandState> QueryCommand(CommandId command) const override;
    void HandBackQuietly() override;

    CSettingsSheet* GetSheet() const { return m_sheet; }

private:
    QWidget* m_placeholder;
    CSettingsSheet* m_sheet = nullptr;
};
