#pragma once

#include <QDialog>
#include <QWidget>

class CSettingsStore;
class QCheckBox;
class QTabWidget;

// The "Wygląd" page: shows or hides the folder list, the folder bar and the per-view toolbars.
// Every click writes all three choices to the settings store at once, so they hold from the next
// start even when the dialog is cancelled.
class CBrivantelLayoutPage final : public QWidget
{
    Q_OBJECT
public:
    CBrivantelLayoutPage(CSettingsStore& settings, QWidget* parent = nullptr);

    bool GetFolderList() const { return m_folderList; }
    bool GetFolderBar() const { return m_folderBar; }
    bool GetToolBar() const { return m_toolBar; }

    QCheckBox* FolderListBox() const { return m_folderListBox; }
    QCheckBox* FolderBarBox() const { return m_folderBarBox; }
    QCheckBox* ToolBarBox() const { return m_toolBarBox; }

private:
    void OnClicked();

    CSettingsStore& m_settings;
    bool m_folderList;
    bool m_folderBar;
    bool m_toolBar;
    QCheckBox* m_folderListBox;
    QCheckBox* m_folderBarBox;
    QCheckBox* m_toolBarBox;
};

// "Właściwości: Wygląd okna": the layout page in a sheet with OK and Cancel.
class CBrivantelLayoutDialog final : public QDialog
{
    Q_OBJECT
public:
    CBrivantelLayoutDialog(CSettingsStore& settings, QWidget* parent = nullptr);

    CBrivantelLayoutPage& GetPage() { return *m_page; }

private:
    CBrivantelLayoutPage* m_page;
};
