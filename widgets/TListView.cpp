#include "widgets/TListView.h"

#include "widgets/KeyboardMenu.h"
#include "widgets/TImageList.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QStyledItemDelegate>

namespace {

// More characters than the widest column can show. A value cell may hold
// megabytes of text; laying all of it out and eliding it on every paint would
// freeze the window, so only this prefix is painted (the model keeps the full text).
constexpr qsizetype kPaintedPrefix = 8192;

// Paints the image of a row's first cell and at most the painted prefix of a text.
class TListDelegate : public QStyledItemDelegate
{
public:
    TListDelegate(TListView *view) : QStyledItemDelegate(view), m_view(view) {}

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QVariant image = index.data(TListView::ImageRole);
        if (image.isValid() && m_view->imageList()) {
            option->icon = m_view->imageList()->icon(image.toInt());
            option->decorationSize = QSize(16, 16);
            option->features |= QStyleOptionViewItem::HasDecoration;
        }
        if (option->text.size() <= kPaintedPrefix) return;
        qsizetype cut = kPaintedPrefix;
        if (option->text.at(cut).isLowSurrogate()) --cut; // keep pairs whole
        option->text.truncate(cut);
        option->text += QChar(0x2026);
    }

private:
    TListView *m_view;
};

} // namespace

TListView::TListView(QWidget *parent) : QTreeView(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(ExtendedSelection);
    setSelectionBehavior(SelectRows);
    setEditTriggers(NoEditTriggers);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false); // the window sorts through its model
    setIconSize(QSize(16, 16));
    setItemDelegate(new TListDelegate(this));
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionClicked, this, &TListView::columnClicked);
}

QModelIndex TListView::rowIndex(int row) const
{
    return model() ? model()->index(row, 0) : QModelIndex();
}

int TListView::rowCount() const
{
    return model() ? model()->rowCount() : 0;
}

QString TListView::text(int row, int column) const
{
    return model() ? model()->index(row, column).data().toString() : QString();
}

int TListView::imageIndex(int row) const
{
    const QVariant index = rowIndex(row).data(ImageRole);
    return index.isValid() ? index.toInt() : -1;
}

bool TListView::isRowSelected(int row) const
{
    return selectionModel() && selectionModel()->isRowSelected(row, {});
}

void TListView::setRowSelected(int row, bool selected)
{
    const QModelIndex index = rowIndex(row);
    if (!index.isValid() || !selectionModel()) return;
    selectionModel()->select(
        index, (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                   QItemSelectionModel::Rows);
}

int TListView::firstSelectedRow() const
{
    if (!selectionModel()) return -1;
    int first = -1;
    for (const QItemSelectionRange &range : selectionModel()->selection())
        if (first < 0 || range.top() < first) first = range.top();
    return first;
}

int TListView::currentRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TListView::setCurrentRow(int row, QItemSelectionModel::SelectionFlags command)
{
    const QModelIndex index = rowIndex(row);
    if (index.isValid() && selectionModel()) selectionModel()->setCurrentIndex(index, command);
}

void TListView::keyPressEvent(QKeyEvent *event)
{
    if (!KeyboardMenu::open(this, event)) QTreeView::keyPressEvent(event);
}

void TListView::keyReleaseEvent(QKeyEvent *event)
{
    QTreeView::keyReleaseEvent(event);
    if (!event->isAutoRepeat()) emit keyUp(event->key(), event->modifiers());
}

void TListView::focusInEvent(QFocusEvent *event)
{
    emit entered();
    QTreeView::focusInEvent(event);
}
