#pragma once

#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

// A phone with message storages on the far side of a pseudo-terminal, answering the commands of
// TS 27.005 that reading messages needs: AT+CMGF, AT+CGSN, AT+CPMS, AT+CNMI, AT+CMGL, AT+CMGR,
// AT+CMGD. Slots count from 1. The network can deliver a message at any moment: it lands in the
// receiving storage and is announced by "+CMTI" once notices are asked for; when the storage is
// full it waits in the network until a slot frees.
class FakeSmsPhone
{
public:
    struct Options
    {
        bool echo = true;
        bool hasPhoneMemory = true; // "ME"; the SIM ("SM") is always there
        std::size_t capacity = 20;  // slots of each storage
        std::set<int> refuseDelete; // slots AT+CMGD refuses
        int cutListingAfter = -1;   // the listing stops inside the entry after this many
        // Delivered by the network once the listing's first entry has gone out.
        std::vector<std::string> deliverDuringListing;
        int silentAfter = -1; // after this many commands the phone answers nothing
        // A line of its own (a call's "RING") between the first entry's header and its PDU.
        std::string lineInListing;
        // Some phones tell of a full storage only by refusing a command: the answer to AT+CNMI
        // instead of "OK" when not empty.
        std::string cnmiAnswer;
    };

    explicit FakeSmsPhone(Options options);
    ~FakeSmsPhone();
    FakeSmsPhone(const FakeSmsPhone&) = delete;
    FakeSmsPhone& operator=(const FakeSmsPhone&) = delete;

    bool IsReady() const { return m_master >= 0; }
    const std::string& DevicePath() const { return m_path; }

    // A message already in a slot before the program looks (slot 0: the first free one).
    void Put(const std::string& storage, const std::string& pdu, int slot = 0);
    // A message from the network, now.
    void Deliver(const std::string& pdu);
    int Used(const std::string& storage);
    std::vector<std::string> Commands();
    void SetOptions(const Options& options);
    // What the last close of a real port does: a program killed while holding it exclusively
    // leaves the pseudo-terminal closed to everyone else.
    void ReleaseExclusive();

private:
    void Loop();
    std::string Command(const std::string& command);
    // Both with the lock held.
    void DeliverLocked(const std::string& pdu);
    void Write(const std::string& bytes);

    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
    std::thread m_thread;
    std::mutex m_mutex;
    bool m_stop = false;
    Options m_options;
    std::map<std::string, std::vector<std::string>> m_storage;
    std::deque<std::string> m_network;
    std::string m_read = "SM";
    std::string m_receive = "SM";
    bool m_notices = false;
    bool m_pdu = false;
    std::vector<std::string> m_commands;
};
