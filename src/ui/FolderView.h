#pragma once

#include <cstdint>
#include <vector>

#include "app/Document.h"
#include "ui/BrivantelView.h"

class CFolderViewData;
class CMessage;
class CMessageList;
class CMessageListModel;
class CRemovableMessageList;
class CReportListCtrl;

// A folder's window: one report list of the folder's messages filling the view, its column
// widths kept in the document's record, and a popup menu of the view's commands.
//
// The view follows its folder: whatever changes the folder (a send, a mail notice, the outbox
// question at closing) announces it, and the view refills, keeping the selection on the
// messages that are still there.
class CFolderView : public CBrivantelView, private CDocumentListener
{
    Q_OBJECT
public:
    ~CFolderView() override;
    void HandBackQuietly() override;

    CReportListCtrl& GetList() const { return *m_list; }
    CMessageListModel& GetModel() const { return *m_model; }

protected:
    CFolderView(CBrivantelDoc& document, int kind, QWidget* parent, CMessageList& folder,
                CFolderViewData& widths, std::int32_t* dateWidth);

    int SelectedCount() const;
    CMessage* FirstSelectedMessage() const;
    // Takes every selected message out of the folder and hands it to the document's discard.
    void DiscardSelected(CRemovableMessageList& folder);
    // Tells the document (and every view of the folder) that this view changed its folder.
    void FolderChanged();
    // Copies a message into the composing view's record.
    void CopyToCompose(const CMessage& message);
    void ShowComposeView();
    // Runs before the list reads its changed folder again.
    virtual void BeforeRefill() {}

private:
    void OnDocumentChanged(DocChange change) override;
    void Refill();
    void RememberSelection();

    CFolderViewData& m_widths;
    std::int32_t* m_dateWidth;
    CMessageListModel* m_model;
    CReportListCtrl* m_list;
    DocChange m_change;
    // The selected messages, by identity, so that a refill can select them again.
    std::vector<const CMessage*> m_selected;
    bool m_refilling = false;
};

// A folder of messages that go out (outbox, drafts): edit, send and delete, offered by what is
// selected.
class COutgoingFolderView : public CFolderView
{
    Q_OBJECT
public:
    bool OnCommand(CommandId command) override;
    std::optional<CCommandState> QueryCommand(CommandId command) const override;

protected:
    // sendsOne: send, like edit, wants exactly one selected message.
    COutgoingFolderView(CBrivantelDoc& document, int kind, QWidget* parent, CRemovableMessageList& folder,
                        CFolderViewData& widths, bool sendsOne);

private:
    virtual void OnEdit() = 0;
    virtual void OnSend() = 0;

    CRemovableMessageList& m_folder;
    bool m_sendsOne;
};
