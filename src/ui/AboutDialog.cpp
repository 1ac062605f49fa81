#include "ui/AboutDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/Icons.h"
#include "ui/controls/LinkLabel.h"

CAboutDialog::CAboutDialog(const QString& homePage, QWidget* parent)
    : QDialog(parent), m_link(new CLinkLabel(homePage))
{
    setWindowTitle(QStringLiteral("O programie Brivantel"));
    auto* icon = new QLabel;
    icon->setPixmap(icons::AppPixmap(48));
    icon->setAlignment(Qt::AlignTop);

    auto* name = new QLabel(QStringLiteral("<b>Brivantel</b> wersja 1.0"));
    auto* maker = new QLabel(QStringLiteral("Copyright © Orvella Systems\n"
                                            "Program do wysyłania krótkich wiadomości tekstowych (SMS)\n"
                                            "przez bramki internetowe operatorów i telefon GSM."));
    auto* mail = new QLabel(QStringLiteral("E-mail: brivantel@orvella-systems.example"));
    mail->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addSpacing(4);
    texts->addWidget(maker);
    texts->addSpacing(8);
    auto* linkRow = new QHBoxLayout;
    linkRow->addWidget(new QLabel(QStringLiteral("Strona internetowa:")));
    linkRow->addWidget(m_link);
    linkRow->addStretch();
    texts->addLayout(linkRow);
    texts->addWidget(mail);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(12);
    top->addLayout(texts, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    // OK has the focus, as in every message box; Tab reaches the link.
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setDefault(true);
    m_ok = ok;

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CAboutDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_ok->setFocus(Qt::OtherFocusReason);
}
