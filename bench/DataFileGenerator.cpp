#include "DataFileGenerator.h"

#include <random>
#include <string>

#include "app/Document.h"

namespace {
const char* const kFirst[] = {"Jan", "Anna", "Piotr", "Katarzyna", "Tomasz", "Agnieszka", "Marek", "Ewa"};
const char* const kSurname[] = {"Kowalski", "Nowak", "Wi\x9Cniewski", "W\xF3jcik", "Kami\xF1ska", "Lewandowski"};
const char* const kOperators[] = {"501", "502", "503", "601", "602", "603", "604", "605", "606"};
const char* const kWords[] = {"dzi\x9C", "jutro", "spotkanie", "o", "godzinie", "prosz\xEA", "oddzwo\xF1",
                              "w", "biurze", "dzi\xEAkuj\xEA", "do", "zobaczenia", "kino", "obiad"};
} // namespace

void FillLargeDocument(CBrivantelDoc& doc, std::size_t entries, std::size_t sentMessages)
{
    std::mt19937 rng(42);
    auto pick = [&](const auto& array) { return array[rng() % std::size(array)]; };
    for (std::size_t i = 0; i < entries; ++i) {
        auto a = std::make_unique<CAddress>();
        a->SetFirstName(pick(kFirst));
        a->SetSurname(pick(kSurname));
        a->SetDisplayName(a->GetFirstName() + " " + a->GetSurname() + " " + std::to_string(i));
        a->SetCountryPrefix("+48");
        a->SetOperatorCode(pick(kOperators));
        a->SetSubscriberNumber(std::to_string(1000000 + rng() % 9000000));
        doc.GetAddressBook().AddAddress(a);
    }
    const auto& book = doc.GetAddressBook().GetEntries();
    for (std::size_t i = 0; i < sentMessages; ++i) {
        std::string text;
        while (text.size() < 95)
            text += std::string(pick(kWords)) + " ";
        const std::string to = book.empty() ? std::string() : book[rng() % book.size()]->GetDisplayName();
        auto m = std::make_unique<CMessage>(to, text, static_cast<TimeStamp>(1000000000u + i * 60u));
        doc.GetSent().AddMessage(m);
    }
}
