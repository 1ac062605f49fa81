// Reading the worst vCard files the 20 MB limit lets in: line breaks only, one folded line without
// a colon or with an unclosed quote, a quoted-printable value over soft line breaks, and a card of
// tiny properties. Each case runs in a child process of its own, so its peak memory is its own.
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "contacts/ContactsImport.h"
#include "contacts/VCardReader.h"

namespace {

constexpr std::size_t kSize = contacts::kMaxFileSize;

std::string Repeat(std::string head, const std::string& unit, const std::string& tail)
{
    while (head.size() + unit.size() + tail.size() <= kSize)
        head += unit;
    return head + tail;
}

struct Case
{
    const char* name;
    std::function<std::string()> make;
};

} // namespace

int main()
{
    const std::vector<Case> cases = {
        {"line feeds only", [] { return std::string(kSize, '\n'); }},
        {"CR LF only", [] { return Repeat({}, "\r\n", {}); }},
        {"folded line without a colon",
         [] { return Repeat("BEGIN:VCARD\r\nVERSION:3.0\r\nNOCOLON", "\r\n x", "\r\nEND:VCARD\r\n"); }},
        {"folded head with an unclosed quote",
         [] { return Repeat("BEGIN:VCARD\r\nVERSION:3.0\r\nX;TYPE=\"a", "\r\n b", "\r\nEND:VCARD\r\n"); }},
        {"quoted-printable soft line breaks",
         [] {
             return Repeat("BEGIN:VCARD\r\nVERSION:2.1\r\nNOTE;QUOTED-PRINTABLE:", "=41=\r\n",
                           "\r\nEND:VCARD\r\n");
         }},
        {"card of tiny properties",
         [] { return Repeat("BEGIN:VCARD\r\nVERSION:3.0\r\n", "X:a\r\n", "END:VCARD\r\n"); }},
        {"card of tiny numbers",
         [] { return Repeat("BEGIN:VCARD\r\nVERSION:3.0\r\n", "TEL:1\r\n", "END:VCARD\r\n"); }},
    };
    std::printf("ReadVCards on %zu MB inputs (targets: under 2 s and under 200 MB each)\n", kSize >> 20);
    for (const Case& c : cases) {
        std::fflush(stdout);
        const pid_t child = ::fork();
        if (child == 0) {
            const std::string bytes = c.make();
            const auto start = std::chrono::steady_clock::now();
            // As the import reads: only the properties that become entries are kept.
            const auto result = contacts::ReadVCards(bytes, {}, {"N", "FN", "ORG", "TEL"});
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("  %-36s %6.2f s  error %d  cards %zu", c.name, seconds,
                        static_cast<int>(result.error), result.cards.size());
            std::fflush(stdout);
            ::_exit(0);
        }
        int status = 0;
        rusage usage{};
        ::wait4(child, &status, 0, &usage);
        std::printf("  peak %6ld MB\n", usage.ru_maxrss / 1024);
    }
    return 0;
}
