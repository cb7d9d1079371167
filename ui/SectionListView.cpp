#include "ui/SectionListView.h"

#include "ui/SectionListModel.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QStackedLayout>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeView>

namespace {

constexpr int kSmallIcon = 16;
constexpr int kLargeIcon = 32;
constexpr int kIconCellWidth = 96;

// Counts the open caption editors, so the list knows when an in-place edit is going on.
class TCaptionDelegate : public QStyledItemDelegate
{
public:
    TCaptionDelegate(int& openEditors, QObject* parent) : QStyledItemDelegate(parent), m_openEditors(openEditors) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        ++m_openEditors;
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override
    {
        --m_openEditors;
        QStyledItemDelegate::destroyEditor(editor, index);
    }
    // A list of tens of thousands of sections is laid out in one go, and the style's own measure
    // lays out each name as a paragraph. A one-line name beside its icon is as wide as its text
    // plus what the style adds around any text, measured once per font and icon size.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        if ((item.features & QStyleOptionViewItem::WrapText) != 0 ||
            item.decorationPosition != QStyleOptionViewItem::Left || item.text.contains(QChar::LineSeparator) ||
            item.text.contains(QLatin1Char('\n'))) {
            return QStyledItemDelegate::sizeHint(option, index);
        }
        if (!m_frame.isValid() || item.font != m_font || item.decorationSize != m_decorationSize ||
            item.features != m_features) {
            QStyleOptionViewItem sample = item;
            sample.text = QStringLiteral("M");
            const QStyle* style = item.widget != nullptr ? item.widget->style() : nullptr;
            if (style == nullptr) {
                return QStyledItemDelegate::sizeHint(option, index);
            }
            const QSize size = style->sizeFromContents(QStyle::CT_ItemViewItem, &sample, QSize(), item.widget);
            // Two pixels more than measured: the style rounds a whole name's width up, the font's advance
            // to the nearest pixel.
            m_frame = QSize(size.width() - item.fontMetrics.horizontalAdvance(sample.text) + 2, size.height());
            m_font = item.font;
            m_decorationSize = item.decorationSize;
            m_features = item.features;
        }
        return {m_frame.width() + item.fontMetrics.horizontalAdvance(item.text), m_frame.height()};
    }

private:
    int& m_openEditors;
    mutable QSize m_frame;
    mutable QFont m_font;
    mutable QSize m_decorationSize;
    mutable QStyleOptionViewItem::ViewItemFeatures m_features;
};

void SetUpView(QAbstractItemView* view, QItemSelectionModel* selection)
{
    view->setSelectionModel(selection);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
}

} // namespace

TSectionListView::TSectionListView(TSectionListModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("lbBatchList"));
    m_listView = new QListView(this);
    m_listView->setObjectName(QStringLiteral("lbBatchListItems"));
    m_listView->setModel(&m_model);
    // Every entry is as wide as its own name: a uniform size taken from one entry cuts the longer
    // names, also after a rename.
    m_listView->setUniformItemSizes(false);
    m_listView->setMovement(QListView::Static);
    m_listView->setResizeMode(QListView::Adjust);
    m_reportView = new QTreeView(this);
    m_reportView->setObjectName(QStringLiteral("lbBatchListReport"));
    m_reportView->setModel(&m_model);
    m_reportView->setRootIsDecorated(false);
    m_reportView->setUniformRowHeights(true);
    m_reportView->setItemsExpandable(false);
    m_reportView->setIconSize(QSize(kSmallIcon, kSmallIcon));
    m_reportView->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_reportView->header()->setStretchLastSection(true);
    auto* selection = new QItemSelectionModel(&m_model, this);
    SetUpView(m_listView, selection);
    SetUpView(m_reportView, selection);
    m_listView->setItemDelegate(new TCaptionDelegate(m_openEditors, this));
    m_reportView->setItemDelegate(new TCaptionDelegate(m_openEditors, this));
    setFocusProxy(m_listView);

    m_stack = new QStackedLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->addWidget(m_listView);
    m_stack->addWidget(m_reportView);

    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(m_listView), static_cast<QAbstractItemView*>(m_reportView)}) {
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
    }
    connect(selection, &QItemSelectionModel::selectionChanged, this, &TSectionListView::SelectionChanged);
    SetViewStyle(2);
}

int TSectionListView::ItemIndex() const
{
    const QModelIndexList rows = m_listView->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.constFirst().row();
}

void TSectionListView::SetItemIndex(int row)
{
    QItemSelectionModel* selection = m_listView->selectionModel();
    if (row < 0 || row >= m_model.rowCount()) {
        selection->clearSelection();
        selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        return;
    }
    const QModelIndex index = m_model.index(row);
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ActiveView()->scrollTo(index);
}

void TSectionListView::StartRename(int row)
{
    if (row < 0 || row >= m_model.rowCount())
        return;
    QAbstractItemView* view = ActiveView();
    view->setFocus();
    view->edit(m_model.index(row));
}

bool TSectionListView::IsEditing() const
{
    return m_openEditors > 0;
}

QAbstractItemView* TSectionListView::ActiveView() const
{
    return m_viewStyle == 3 ? static_cast<QAbstractItemView*>(m_reportView) : m_listView;
}

void TSectionListView::SetListName(const QString& name)
{
    setAccessibleName(name);
    m_listView->setAccessibleName(name);
    m_reportView->setAccessibleName(name);
}

void TSectionListView::SetViewStyle(int style)
{
    if (style < 0 || style > 3)
        style = 2;
    m_viewStyle = style;
    switch (style) {
    case 0:
        m_listView->setViewMode(QListView::IconMode);
        m_listView->setIconSize(QSize(kLargeIcon, kLargeIcon));
        m_listView->setFlow(QListView::LeftToRight);
        m_listView->setGridSize(QSize(kIconCellWidth, kLargeIcon + 2 * fontMetrics().height() + 8));
        m_listView->setWordWrap(true);
        break;
    case 1:
    case 2:
        m_listView->setViewMode(QListView::ListMode);
        m_listView->setIconSize(QSize(kSmallIcon, kSmallIcon));
        m_listView->setGridSize(QSize());
        m_listView->setWordWrap(false);
        m_listView->setFlow(style == 1 ? QListView::LeftToRight : QListView::TopToBottom);
        m_listView->setWrapping(true);
        break;
    default:
        break;
    }
    if (style == 0)
        m_listView->setWrapping(true);
    // The view is editable only once: leaving it for the other one closes an open editor.
    QAbstractItemView* view = ActiveView();
    const bool hadFocus = m_stack->currentWidget() != nullptr && m_stack->currentWidget()->hasFocus();
    m_stack->setCurrentWidget(view);
    setFocusProxy(view);
    if (hadFocus)
        view->setFocus();
    if (const QModelIndex current = view->selectionModel()->currentIndex(); current.isValid())
        view->scrollTo(current);
}

bool TSectionListView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && !IsEditing()) {
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete &&
            static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
            emit DeleteRequested();
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonDblClick && watched != m_listView && watched != m_reportView) {
        // After the view has handled the click: the wizard's modal loop must not run inside it. The
        // view must see the double click: it cancels the rename that the first click on the selected
        // entry has scheduled, which would otherwise open behind the wizard.
        QMetaObject::invokeMethod(this, &TSectionListView::WizardRequested, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}
