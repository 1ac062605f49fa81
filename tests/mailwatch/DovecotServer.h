#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

#include "support/TempDir.h"

// A real dovecot POP3 server on 127.0.0.1, private to one test: its own configuration, a
// passwd-file user, a maildir, a plain listener and a TLS listener whose certificate (for the name
// "localhost" only) is signed by a CA the test makes. Stopped when the object goes.
class DovecotServer
{
public:
    static constexpr const char* kUser = "jan";
    static constexpr const char* kPassword = "Tajne-Haslo1";

    DovecotServer();
    ~DovecotServer();
    DovecotServer(const DovecotServer&) = delete;
    DovecotServer& operator=(const DovecotServer&) = delete;

    // False with the reason (naming the Debian package when something is not installed).
    bool Start(std::string& why);

    std::uint16_t Port() const { return m_port; }
    std::uint16_t TlsPort() const { return m_tlsPort; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(m_port); }
    // The CA that signed the server's certificate, and one that signed nothing here.
    std::string CaFile() const { return m_dir.file("ca.pem"); }
    std::string OtherCaFile() const { return m_dir.file("other-ca.pem"); }

    // Replaces the mailbox's contents with count small messages.
    void PutMessages(int count);

private:
    bool MakeCertificates(std::string& why);
    void WriteConfiguration();
    bool WaitUntilServing(std::string& why);

    TempDir m_dir;
    std::string m_maildir;
    std::uint16_t m_port = 0;
    std::uint16_t m_tlsPort = 0;
    pid_t m_pid = -1;
    int m_serial = 0;
};
