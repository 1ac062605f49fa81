#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/qt/TextCodec.h"
#include "ui/EditDefinedMessageDialog.h"
#include "ui/Win1250Edit.h"
#include "ui/Windows1250Validator.h"

namespace {

// Every byte once between two letters, and all 256 of them in one text.
std::vector<std::string> EveryByte()
{
    std::vector<std::string> texts;
    std::string all;
    for (int b = 0; b < 256; ++b) {
        texts.push_back(std::string("a") + static_cast<char>(b) + "z");
        all += static_cast<char>(b);
    }
    texts.push_back(all);
    texts.push_back("\r\n\r\r\n\n\r"); // pairs and lone halves of a line break
    return texts;
}

std::string Hex(const std::string& text)
{
    std::string out;
    for (const char c : text)
        out += QString::asprintf("%02X ", static_cast<unsigned char>(c)).toStdString();
    return out;
}

} // namespace

TEST(LosslessText, EveryStoredByteSurvivesTheEdits)
{
    for (const std::string& text : EveryByte()) {
        CWin1250TextEdit multi(1000);
        multi.SetStoredText(text);
        EXPECT_EQ(Hex(multi.GetStoredText().value_or("(none)")), Hex(text));
        // An edit somewhere else in the text changes only what was typed.
        multi.moveCursor(QTextCursor::End);
        QTest::keyClicks(&multi, QStringLiteral("!"));
        EXPECT_EQ(Hex(multi.GetStoredText().value_or("(none)")), Hex(text + "!"));

        CWin1250LineEdit line;
        line.SetStoredText(text);
        EXPECT_EQ(Hex(line.GetStoredText()), Hex(text));

        // The validator of the settings pages takes every stored text as it is.
        QLineEdit plain;
        CWindows1250Validator validator;
        QString shown = text_codec::ToQString(text);
        int pos = 0;
        EXPECT_EQ(validator.validate(shown, pos), QValidator::Acceptable);
        EXPECT_EQ(text_codec::FromQString(shown), text);

        // "Zmień" and OK on a ready-made text keep it as it was.
        if (text.size() <= CEditDefinedMessageDialog::kLimit && !text.empty()) {
            CEditDefinedMessageDialog dialog(text);
            ASSERT_TRUE(dialog.GetOkButton().isEnabled()) << Hex(text);
            dialog.GetOkButton().click();
            EXPECT_EQ(Hex(dialog.GetText()), Hex(text));
        }
    }
}
