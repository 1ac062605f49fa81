#include "phone/MessageReceiver.h"

#include "phone/ModemService.h"
#include "phone/PhoneBackend.h"
#include "phone/SmsReceiver.h"

namespace phone_receiver {

ReceiverChoice Choose(const std::string& backendName, const std::string& device, CModemService* service,
                      CMessageDb& db, CMessageReceiver::WaitHook hook)
{
    ReceiverChoice choice;
    const PhoneBackend backend = phone_backend::FromSetting(backendName);
    std::vector<ModemInfo> modems;
    if (service && backend != PhoneBackend::Serial) {
        service->SetWaitHook(hook);
        modems = service->Modems();
        if (const ModemInfo* modem = phone_backend::ModemFor(modems, device)) {
            choice.receiver = service->Receiver(*modem, db);
            if (!choice.receiver)
                choice.problem = "ModemManager nie pozwala odbierać wiadomości.";
            return choice;
        }
    }
    if (backend == PhoneBackend::ModemManager) {
        if (!service || !service->IsRunning())
            choice.problem = "Usługa ModemManager nie działa.";
        else if (modems.empty())
            choice.problem = "ModemManager nie widzi żadnego modemu.";
        else if (device.empty())
            choice.problem = "ModemManager widzi kilka modemów; wybierz jeden (\"Znajdź telefon...\").";
        else
            choice.problem = "ModemManager nie obsługuje portu " + device + ".";
        return choice;
    }
    if (device.empty()) {
        choice.problem = "Nie wybrano portu telefonu.";
        choice.noPort = true;
        return choice;
    }
    choice.receiver = std::make_unique<CSmsReceiver>(device, db, std::move(hook));
    return choice;
}

} // namespace phone_receiver
