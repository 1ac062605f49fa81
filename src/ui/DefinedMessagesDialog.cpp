#include "ui/DefinedMessagesDialog.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/qt/TextCodec.h"
#include "store/DefinedMessages.h"
#include "ui/Commands.h"
#include "ui/EditDefinedMessageDialog.h"
#include "ui/Icons.h"

namespace {

// The row keeps the stored bytes, so a text is written back exactly as it was read (also one
// longer than the text dialog allows, from an older file).
constexpr int kStoredRole = Qt::UserRole + 1;

std::string StoredText(const QListWidgetItem* item)
{
    return item->data(kStoredRole).toByteArray().toStdString();
}

} // namespace

CDefinedMessagesDialog::CDefinedMessagesDialog(CDefinedMessages& texts, std::string& result, QWidget* parent)
    : QDialog(parent), m_texts(texts), m_result(result), m_list(new QListWidget),
      m_add(new QPushButton(QStringLiteral("Dodaj..."))),
      m_change(new QPushButton(QStringLiteral("Zmień..."))),
      m_delete(new QPushButton(QStringLiteral("Usuń"))), m_insert(new QPushButton(QStringLiteral("Wstaw"))),
      m_close(new QPushButton(QStringLiteral("Zamknij")))
{
    setWindowTitle(QStringLiteral("Wiadomości"));
    m_list->setObjectName(QStringLiteral("Texts"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setTextElideMode(Qt::ElideRight);
    m_list->setWordWrap(false);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setUniformItemSizes(true);
    m_list->setIconSize(QSize(16, 16));
    m_list->setMinimumSize(340, 200);
    m_list->setToolTip(QString());
    for (const std::string& text : m_texts.GetTexts())
        m_list->addItem(MakeRow(text));

    m_insert->setDefault(true);
    for (QPushButton* b : {m_add, m_change, m_delete, m_close})
        b->setAutoDefault(false);
    auto* side = new QVBoxLayout;
    side->addWidget(m_insert);
    side->addWidget(m_close);
    side->addSpacing(12);
    side->addWidget(m_add);
    side->addWidget(m_change);
    side->addWidget(m_delete);
    side->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(side);

    connect(m_add, &QPushButton::clicked, this, &CDefinedMessagesDialog::OnAdd);
    connect(m_change, &QPushButton::clicked, this, &CDefinedMessagesDialog::OnChange);
    // A double-click on a text opens it as "Zmień..." does.
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] {
        if (m_change->isEnabled())
            m_change->click();
    });
    connect(m_delete, &QPushButton::clicked, this, &CDefinedMessagesDialog::OnDelete);
    connect(m_insert, &QPushButton::clicked, this, &CDefinedMessagesDialog::OnInsert);
    connect(m_close, &QPushButton::clicked, this, &CDefinedMessagesDialog::reject);
    // The buttons follow the selection, whether it moved by the mouse or the keyboard.
    connect(m_list, &QListWidget::itemSelectionChanged, this, &CDefinedMessagesDialog::UpdateButtons);
    UpdateButtons();
}

QListWidgetItem* CDefinedMessagesDialog::MakeRow(const std::string& text) const
{
    // One line per row: line breaks show as spaces, a long text ends in an ellipsis.
    QString shown = text_codec::ToEditText(text);
    shown.replace(QChar(u'\n'), QChar(u' '));
    auto* item = new QListWidgetItem(CommandIcon(CommandId::InsertMessage), shown);
    item->setData(kStoredRole, QByteArray::fromStdString(text));
    return item;
}

void CDefinedMessagesDialog::UpdateButtons()
{
    const bool selected = !m_list->selectedItems().isEmpty();
    m_insert->setEnabled(selected);
    m_change->setEnabled(selected);
    m_delete->setEnabled(selected);
}

void CDefinedMessagesDialog::OnAdd()
{
    CEditDefinedMessageDialog dialog(std::string(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_list->addItem(MakeRow(dialog.GetText()));
    UpdateButtons();
}

void CDefinedMessagesDialog::OnChange()
{
    const auto selected = m_list->selectedItems();
    if (selected.isEmpty())
        return;
    const int row = m_list->row(selected.front());
    CEditDefinedMessageDialog dialog(StoredText(selected.front()), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    delete m_list->takeItem(row);
    m_list->insertItem(row, MakeRow(dialog.GetText()));
    UpdateButtons();
}

void CDefinedMessagesDialog::OnDelete()
{
    const auto selected = m_list->selectedItems();
    if (selected.isEmpty())
        return;
    delete m_list->takeItem(m_list->row(selected.front()));
    m_list->clearSelection();
    UpdateButtons();
}

void CDefinedMessagesDialog::WriteBack()
{
    std::vector<std::string>& texts = m_texts.GetTexts();
    texts.clear();
    for (int row = 0; row < m_list->count(); ++row)
        texts.push_back(StoredText(m_list->item(row)));
}

void CDefinedMessagesDialog::OnInsert()
{
    WriteBack();
    const auto selected = m_list->selectedItems();
    if (selected.isEmpty())
        return;
    m_result = StoredText(selected.front());
    accept();
}

void CDefinedMessagesDialog::reject()
{
    // "Zamknij", Esc and the close box: what was added, changed or deleted is kept.
    WriteBack();
    QDialog::reject();
}
