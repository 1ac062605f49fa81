#pragma once

#include "ui/SettingsPage.h"

class CBrivantelDoc;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QRadioButton;
class QTreeWidget;

// "Wysyłanie wiadomości": the web gateways the Internet route uses, and the route itself with the
// phone's serial port. The route goes to the settings record, the port to "Settings"/"Port" and to
// the program, which holds it for the run; both when the page is left.
class CSettingsGatewayPage final : public CSettingsPage
{
    Q_OBJECT
public:
    CSettingsGatewayPage(CBrivantelDoc& document, QWidget* parent = nullptr);

    void OnSetActive() override;
    bool OnKillActive() override;

    QTreeWidget* MethodList() const { return m_methods; }
    QRadioButton* InternetButton() const { return m_internet; }
    QRadioButton* PhoneButton() const { return m_phone; }
    QComboBox* PortBox() const { return m_port; }
    QComboBox* EncodingBox() const { return m_encoding; }
    QCheckBox* DeliveryReportsBox() const { return m_deliveryReports; }
    QPushButton* CheckPhoneButton() const { return m_checkPhone; }
    QPushButton* FindPhoneButton() const { return m_findPhone; }
    QComboBox* BackendBox() const { return m_backend; }
    QLabel* PhoneCheckResult() const { return m_phoneResult; }

private:
    void FillMethodList();
    void FillPorts(const QString& current);
    // The phone's block (SettingsGatewayPagePhone.cpp): the encoding beside the port, the check.
    void BuildPhoneControls(QGridLayout* layout, int row);
    void LoadPhoneEncoding();
    void StorePhoneEncoding();
    void CheckPhone();
    void FindPhone();

    CBrivantelDoc& m_document;
    QTreeWidget* m_methods;
    QRadioButton* m_internet;
    QRadioButton* m_phone;
    QButtonGroup* m_routeGroup;
    QComboBox* m_port;
    QComboBox* m_encoding = nullptr;
    QCheckBox* m_deliveryReports = nullptr;
    QPushButton* m_checkPhone = nullptr;
    QPushButton* m_findPhone = nullptr;
    QComboBox* m_backend = nullptr;
    QLabel* m_phoneResult = nullptr;
};
