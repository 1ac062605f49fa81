#pragma once

#include <memory>

#include "messagedb/MessageDb.h"
#include "ui/BrivantelView.h"

class CReceivedListModel;
class CReportListCtrl;
class QPlainTextEdit;

// "Odebrane": the messages the phone received, from Brivantel.db beside the data file. The list
// reads them a page at a time; the selected message is shown whole below it and counts as read.
// Deleting moves a message to the deleted state in the database: the data file's own deleted
// folder is for the messages the data file holds.
class CReceivedView final : public CBrivantelView
{
    Q_OBJECT
public:
    CReceivedView(CBrivantelDoc& document, int kind, QWidget* parent = nullptr);
    ~CReceivedView() override;

    // Reads the list from the window's open database when given one (opening and checking the
    // file again at every showing would cost a read of all of it); otherwise from its own.
    void UseDatabase(CMessageDb* db) { m_db = db; }
    void OnInitialUpdate() override;
    // The column widths go to the settings store.
    void HandBackQuietly() override;
    bool OnCommand(CommandId command) override;
    std::optional<CCommandState> QueryCommand(CommandId command) const override;

    CReportListCtrl& GetList() const { return *m_list; }
    CReceivedListModel& GetModel() const { return *m_model; }
    CMessageDb& GetDatabase() { return *m_db; }
    // Reads the list afresh, keeping the selection on the messages still listed (a poll brought
    // new ones).
    void Reload();
    // The text searched for by "Znajdź", asked for in a dialog unless set (tests).
    void SetFindText(const QString& text) { m_findText = text; }

signals:
    // The count of unread messages may have changed (the folder's caption shows it).
    void unreadChanged();
    // "Odbierz wiadomości": the window reads the phone when its port is free.
    void receiveRequested();
    // A failure the user should see without a modal box (the status bar).
    void statusMessage(const QString& text);

private:
    void OnSelectionChanged();
    void OnReply();
    void OnCopyText();
    void OnFind();
    void OnDelete();
    void OpenDatabase();

    CMessageDb m_ownDb;
    CMessageDb* m_db = nullptr;
    CReceivedListModel* m_model = nullptr;
    CReportListCtrl* m_list = nullptr;
    QPlainTextEdit* m_reader = nullptr;
    QString m_findText;
};
