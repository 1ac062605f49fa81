#include <gtest/gtest.h>

#include "support/CliProcess.h"
#include "support/TempDir.h"

namespace {

using Result = CliResult;

std::string Slurp(const std::string& path)
{
    const auto bytes = ReadFileBytes(path);
    return {bytes.begin(), bytes.end()};
}

void Write(const std::string& path, const std::string& text)
{
    WriteFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

// brivantel-cli with its data and settings in a private directory.
class Cli
{
public:
    TempDir dir;

    Result Run(const std::vector<std::string>& args)
    {
        return RunCli(BRIVANTEL_CLI_PATH, dir, dir.file("data"), args);
    }
};

const std::string kPhone = "BEGIN:VCARD\r\n"
                           "VERSION:2.1\r\n"
                           "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C5=BBak;Zofia;;;\r\n"
                           "TEL;CELL:+48 602 123 456\r\n"
                           "TEL;HOME:+48 22 628 12 34\r\n"
                           "END:VCARD\r\n"
                           "BEGIN:VCARD\r\n"
                           "VERSION:3.0\r\n"
                           "N:Nowak;Jan;;;\r\n"
                           "FN:Jan Nowak\r\n"
                           "TEL;TYPE=CELL:0048501234567\r\n"
                           "END:VCARD\r\n";

} // namespace

TEST(ContactsCli, ImportPrintsTheSummaryAndExportWritesTheBook)
{
    Cli cli;
    Write(cli.dir.file("phone.vcf"), kPhone);
    const Result imported = cli.Run({"contacts", "import", cli.dir.file("phone.vcf")});
    EXPECT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.out, "Dodano 2 kontakty, pominięto 1 numer, 0 kontaktów było już w książce.\n");

    const Result again = cli.Run({"contacts", "import", cli.dir.file("phone.vcf")});
    EXPECT_EQ(again.out, "Dodano 0 kontaktów, pominięto 1 numer, 2 kontakty były już w książce.\n");

    const std::string expected = "BEGIN:VCARD\r\nVERSION:4.0\r\nN:Żak;Zofia;;;\r\nFN:Zofia Żak\r\n"
                                 "TEL;TYPE=cell:+48602123456\r\nEND:VCARD\r\n"
                                 "BEGIN:VCARD\r\nVERSION:4.0\r\nN:Nowak;Jan;;;\r\nFN:Jan Nowak\r\n"
                                 "TEL;TYPE=cell:+48501234567\r\nEND:VCARD\r\n";
    const Result toStdout = cli.Run({"contacts", "export"});
    EXPECT_EQ(toStdout.status, 0);
    EXPECT_EQ(toStdout.out, expected);
    const Result toFile = cli.Run({"contacts", "export", cli.dir.file("out.vcf")});
    EXPECT_EQ(toFile.status, 0);
    EXPECT_EQ(Slurp(cli.dir.file("out.vcf")), expected);
}

TEST(ContactsCli, RefusedFileLeavesTheDataFileAsItWas)
{
    Cli cli;
    Write(cli.dir.file("phone.vcf"), kPhone);
    ASSERT_EQ(cli.Run({"contacts", "import", cli.dir.file("phone.vcf")}).status, 0);
    const std::string before = Slurp(cli.dir.file("data/Brivantel.vs"));
    Write(cli.dir.file("cut.vcf"),
          kPhone + "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ewa\r\nTEL;TYPE=CELL:603123456\r\n");
    const Result r = cli.Run({"contacts", "import", cli.dir.file("cut.vcf")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(
        r.err,
        "Nie zaimportowano kontaktów: plik jest ucięty: karta nr 3 nie kończy się wierszem END:VCARD.\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Slurp(cli.dir.file("data/Brivantel.vs")), before);
}
