#pragma once

#include <string>

#include <QDialog>

class CDefinedMessages;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// "Wiadomości": the list of ready-made texts, where texts are added, changed, deleted and one is
// chosen. Changes touch only the rows; the texts are rewritten from the rows when the dialog
// closes, by "Wstaw" and by "Zamknij" alike.
class CDefinedMessagesDialog final : public QDialog
{
    Q_OBJECT
public:
    // result: receives the chosen text when the dialog ends with "Wstaw" (Accepted).
    CDefinedMessagesDialog(CDefinedMessages& texts, std::string& result, QWidget* parent = nullptr);

    QListWidget& GetList() { return *m_list; }
    QPushButton& GetAddButton() { return *m_add; }
    QPushButton& GetChangeButton() { return *m_change; }
    QPushButton& GetDeleteButton() { return *m_delete; }
    QPushButton& GetInsertButton() { return *m_insert; }
    QPushButton& GetCloseButton() { return *m_close; }

    void reject() override;

private:
    void OnAdd();
    void OnChange();
    void OnDelete();
    void OnInsert();
    void UpdateButtons();
    void WriteBack();
    QListWidgetItem* MakeRow(const std::string& text) const;

    CDefinedMessages& m_texts;
    std::string& m_result;
    QListWidget* m_list;
    QPushButton* m_add;
    QPushButton* m_change;
    QPushButton* m_delete;
    QPushButton* m_insert;
    QPushButton* m_close;
};
