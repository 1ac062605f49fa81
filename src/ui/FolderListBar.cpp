#include "ui/FolderListBar.h"

#include <QVBoxLayout>

#include <algorithm>

#include "ui/Commands.h"
#include "ui/Icons.h"
#include "ui/controls/FolderListCtrl.h"

CFolderListBar::CFolderListBar(QWidget* parent)
    : QDockWidget(parent), m_list(new CFolderListCtrl(nullptr, CFolderListCtrl::kStyleAnimation))
{
    setObjectName(QStringLiteral("FolderListBar"));
    setWindowTitle(QStringLiteral("Lista Folderów"));
    setFeatures(QDockWidget::NoDockWidgetFeatures);
    setTitleBarWidget(new QWidget(this)); // a plain panel: no caption, no float or close buttons
    auto* holder = new QWidget(this);
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 3);
    layout->addWidget(m_list);
    setWidget(holder);
    m_list->SetSlideDelay(10);
    m_list->SetLargeImages(icons::ViewPixmaps(32));
    connect(this, &QDockWidget::dockLocationChanged, this, [this](Qt::DockWidgetArea area) {
        if (area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea)
            resize(width(), kHeight);
        else
            resize(PreferredWidth(), height());
    });
    Fill();
}

void CFolderListBar::Fill()
{
    struct Entry
    {
        int folder;
        int view; // index into the view table
    };
    const QString folders[] = {QStringLiteral("Wiadomości"), QStringLiteral("Książka adresowa"),
                               QStringLiteral("Usługi"), QStringLiteral("Narzędzia")};
    for (int f = 0; f < 4; ++f)
        m_list->AddFolder(folders[f], f);
    const auto& views = ViewTable();
    const Entry entries[] = {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 8}, {1, 5}, {2, 6}, {3, 7}};
    for (const Entry& e : entries) {
        const CViewInfo& v = views[e.view];
        // The address book's only entry is its basic book, not the view's name.
        const QString text = e.view == 5 ? QStringLiteral("Podstawowa") : QString::fromUtf8(v.name);
        m_list->InsertItem(e.folder, -1, text, v.kind - kFirstViewKind, static_cast<int>(v.command));
    }
    // "Rozmowy" closes the messages' group, after "Odebrane".
    if (const CViewInfo* conversations = ViewForCommand(CommandId::ViewConversations))
        m_list->InsertItem(0, -1, QString::fromUtf8(conversations->name),
                           conversations->kind - kFirstViewKind, static_cast<int>(conversations->command));
}

int CFolderListBar::PreferredWidth() const
{
    QFont bold = m_list->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    int widest = 0;
    for (int folder = 0; folder < m_list->GetFolderCount(); ++folder)
        widest = std::max(widest, metrics.horizontalAdvance(m_list->GetFolderName(folder)));
    // The button's text margins, the list's frame and the panel's own edges.
    const int around = 8 + 2 * m_list->frameWidth() + 12;
    return std::max(kWidth, widest + around);
}

CommandId CFolderListBar::GetItemCommand(int index) const
{
    return CommandId(m_list->GetItemData(index));
}

void CFolderListBar::SelectCommand(CommandId command)
{
    for (int f = 0; f < m_list->GetFolderCount(); ++f) {
        for (int i = 0; i < m_list->GetItemCount(f); ++i) {
            if (CommandId(m_list->GetItemDataOf(f, i)) == command) {
                m_list->SetSelectedItem(f, i);
                return;
            }
        }
    }
    m_list->SetSelectedItem(-1, -1);
}

void CFolderListBar::SetCommandText(CommandId command, const QString& text)
{
    for (int f = 0; f < m_list->GetFolderCount(); ++f) {
        for (int i = 0; i < m_list->GetItemCount(f); ++i) {
            if (CommandId(m_list->GetItemDataOf(f, i)) == command)
                m_list->SetItemText(f, i, text);
        }
    }
}
