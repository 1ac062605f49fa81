#include "ui/LayoutDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/SettingsKeys.h"

CBrivantelLayoutPage::CBrivantelLayoutPage(CSettingsStore& settings, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_folderList(settings.Get(settings_keys::kShowFolderList)),
      m_folderBar(settings.Get(settings_keys::kShowFolderBar)),
      m_toolBar(settings.Get(settings_keys::kShowToolBar)),
      m_folderListBox(new QCheckBox(QStringLiteral("Lista Fol&derów"))),
      m_folderBarBox(new QCheckBox(QStringLiteral("&Pasek Folderu"))),
      m_toolBarBox(new QCheckBox(QStringLiteral("Pasek narzędzi")))
{
    auto* group = new QGroupBox(QStringLiteral("Podstawowy"));
    auto* text =
        new QLabel(QStringLiteral("Możesz pokazywać lub ukrywać częsci programu Brivantel, tak aby to "
                                  "Tobie odpowiadało. \nZaznacz składniki poniżej, aby je włączyć lub "
                                  "wyłączyć."));
    text->setWordWrap(true);
    auto* boxes = new QVBoxLayout(group);
    boxes->addWidget(text);
    boxes->addSpacing(6);
    for (QCheckBox* box : {m_folderListBox, m_folderBarBox, m_toolBarBox}) {
        boxes->addWidget(box);
        connect(box, &QCheckBox::clicked, this, &CBrivantelLayoutPage::OnClicked);
    }
    boxes->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    m_folderListBox->setChecked(m_folderList);
    m_folderBarBox->setChecked(m_folderBar);
    m_toolBarBox->setChecked(m_toolBar);
}

void CBrivantelLayoutPage::OnClicked()
{
    m_folderList = m_folderListBox->isChecked();
    m_folderBar = m_folderBarBox->isChecked();
    m_toolBar = m_toolBarBox->isChecked();
    m_settings.Set(settings_keys::kShowFolderList, m_folderList);
    m_settings.Set(settings_keys::kShowFolderBar, m_folderBar);
    m_settings.Set(settings_keys::kShowToolBar, m_toolBar);
}

CBrivantelLayoutDialog::CBrivantelLayoutDialog(CSettingsStore& settings, QWidget* parent)
    : QDialog(parent), m_page(new CBrivantelLayoutPage(settings))
{
    setWindowTitle(QStringLiteral("Właściwości: Wygląd okna"));
    auto* tabs = new QTabWidget;
    tabs->addTab(m_page, QStringLiteral("Wygląd"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    resize(380, 300);
}
