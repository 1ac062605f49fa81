#pragma once

#include <QDialog>

class CLinkLabel;

// "O programie Brivantel": the program's name and version, a word about the maker, the home page as
// a link and the maker's e-mail address.
class CAboutDialog final : public QDialog
{
    Q_OBJECT
public:
    explicit CAboutDialog(const QString& homePage, QWidget* parent = nullptr);

    CLinkLabel& GetLink() { return *m_link; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    CLinkLabel* m_link;
    QWidget* m_ok = nullptr;
};
