#pragma once
// The section list `lbBatchList`: the sections of the batch in four view styles (0 icon, 1 small
// icon, 2 list, 3 report), one selected entry at most, captions edited in place (F2, or a click on
// the selected entry). Delete asks for the entry's deletion, a double-click for the wizard.

#include <QWidget>

class QAbstractItemView;
class QListView;
class QStackedLayout;
class QTreeView;
class TSectionListModel;

class TSectionListView : public QWidget
{
    Q_OBJECT
public:
    TSectionListView(TSectionListModel& model, QWidget* parent = nullptr);

    // The selected row, -1 for none (the list's item index).
    int ItemIndex() const;
    // Selects the row and makes it current; -1 selects nothing.
    void SetItemIndex(int row);
    // Opens the row's caption for editing (after giving the list the focus).
    void StartRename(int row);
    // Whether an in-place edit is open.
    bool IsEditing() const;

    int ViewStyle() const { return m_viewStyle; }
    // Changes the style; values outside 0 to 3 give the list style.
    void SetViewStyle(int style);
    QAbstractItemView* ActiveView() const;
    // The name assistive technology gives the list (both of its views).
    void SetListName(const QString& name);

signals:
    void SelectionChanged();
    void DeleteRequested();
    void WizardRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TSectionListModel& m_model;
    QStackedLayout* m_stack = nullptr;
    QListView* m_listView = nullptr;
    QTreeView* m_reportView = nullptr;
    int m_viewStyle = 2;
    int m_openEditors = 0;
};
