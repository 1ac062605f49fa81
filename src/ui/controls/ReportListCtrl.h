#pragma once

#include <vector>

#include <QAbstractTableModel>
#include <QIcon>
#include <QStringList>
#include <QWidget>

class QAbstractItemView;
class QKeyEvent;
class QListView;
class QTableView;
class QItemSelectionModel;

// A table model over rows the caller owns elsewhere (a folder, the address book): it asks for
// each visible cell's text when it is painted and keeps no copy of the rows.
class CReportModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    CReportModel(QStringList headers, QIcon icon, QObject* parent = nullptr);

    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Tells the views that every row may have changed (after the rows were rebuilt).
    void Reset();
    // The picture at the start of every row; a null icon shows rows without one.
    void SetIcon(QIcon icon) { m_icon = std::move(icon); }

protected:
    virtual QString Text(int row, int column) const = 0;

private:
    QStringList m_headers;
    QIcon m_icon;
};

// The report list of the folders, the address book and its dialogs: full-row selection, the
// small icon, one-line texts cut with an ellipsis, headers that do not sort. The address lists
// also show the rows as large icons, small icons or a plain list.
class CReportListCtrl : public QWidget
{
    Q_OBJECT
public:
    // The list window's own layout codes, stored as they are in the address book's record.
    enum Mode
    {
        LargeIcons = 0,
        Details = 1,
        SmallIcons = 2,
        List = 3
    };

    explicit CReportListCtrl(QWidget* parent = nullptr);

    // The model is not owned; it must outlive the list.
    void SetModel(QAbstractItemModel* model);
    QAbstractItemModel* GetModel() const { return m_model; }
    void SetSingleSelection(bool single);
    // Selected rows keep the highlight colour when the list does not have the focus.
    void SetAlwaysShowSelection(bool on);

    void SetMode(int mode);
    int GetMode() const { return m_mode; }
    void SetColumnWidth(int column, int width);
    int GetColumnWidth(int column) const;
    // When the list is first shown, each of these columns that still has the width `untouched`
    // (a new record's width) takes the width of its contents, at most 40% of the list's. Widths
    // the user has set are kept.
    void FitUntouchedColumns(std::vector<int> columns, int untouched);
    // A key that the list hands to its owner (commandKeyPressed) instead of handling it.
    void AddCommandKey(QKeyCombination key) { m_commandKeys.push_back(key); }

    int GetRowCount() const;
    // Selected rows in ascending order.
    std::vector<int> GetSelectedRows() const;
    int GetSelectedCount() const;
    // The first selected row, -1 with none.
    int GetFirstSelected() const;
    void SelectRow(int row, bool keepOthers = false);
    void ClearSelection();

    QTableView& GetTable() const { return *m_table; }
    // The view that shows the rows in the current mode.
    QWidget& GetActiveView() const;

signals:
    void selectionChanged();
    // After a click the list has handled (the row under the pointer is selected).
    void clicked();
    // A right-button press at a screen position, after the list selected the row under it.
    void contextMenuRequested(const QPoint& globalPos);
    // The Delete key was pressed in the list.
    void deletePressed();
    // A double-click on a row (the list has selected it).
    void rowDoubleClicked();
    // A key given to AddCommandKey() was pressed in the list.
    void commandKeyPressed(QKeyCombination key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Typed characters that the list should not see; the default lets all through.
    virtual bool IgnoresKey(const QKeyEvent& /*event*/) const { return false; }

private:
    void EnsureIconView();
    void FitColumns();
    void Connect(QAbstractItemView& view);

    QAbstractItemModel* m_model = nullptr;
    QTableView* m_table;
    QListView* m_icons = nullptr;
    int m_mode = Details;
    bool m_single = false;
    bool m_alwaysShowSelection = false;
    std::vector<int> m_fitColumns;
    std::vector<QKeyCombination> m_commandKeys;
    int m_untouchedWidth = 0;
};
