#pragma once

#include <QValidator>

// Refuses at the edit any character the program's Windows-1250 texts cannot hold, so nothing the
// user typed is changed behind their back.
class CWindows1250Validator final : public QValidator
{
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};
