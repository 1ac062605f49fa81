#pragma once

#include <future>
#include <string>
#include <vector>

#include <QDialog>

#include "phone/ModemService.h"
#include "phone/PortSearch.h"

class QLabel;
class QPushButton;
class QTimer;
class QTreeWidget;

// "Znajdź telefon...": every modem the system's modem service manages and every serial port under
// /dev/serial/by-id, each port asked briefly whether it speaks AT (on worker threads, so the
// window keeps painting; a port the service holds is not asked). The user picks one; the choice
// is a port and the backend that reaches it.
class CFindPhoneDialog final : public QDialog
{
    Q_OBJECT
public:
    CFindPhoneDialog(CModemService* service, QWidget* parent = nullptr,
                     std::string byIdDir = "/dev/serial/by-id", std::string sysRoot = "/sys");
    ~CFindPhoneDialog() override;

    // Lists the modems and starts asking the ports; the list fills in as the answers come.
    void Start();
    // Every port has answered or given up.
    bool IsComplete() const;

    // After the dialog was accepted: the port for "Port:" and "modemmanager" or "serial".
    const std::string& ChosenPort() const { return m_chosenPort; }
    const std::string& ChosenBackend() const { return m_chosenBackend; }

private:
    void Collect();
    void Choose();

    CModemService* m_service;
    std::string m_byIdDir;
    std::string m_sysRoot;
    QTreeWidget* m_list;
    QLabel* m_status;
    QPushButton* m_choose;
    QTimer* m_poll;
    struct Pending
    {
        int row;
        std::future<port_search::Probe> probe;
    };
    std::vector<Pending> m_pending;
    std::string m_chosenPort;
    std::string m_chosenBackend;
};
