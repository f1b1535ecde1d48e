#include "app/TListView.h"

#include "app/TImageList.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {
constexpr int kImageRole = Qt::UserRole + 1;

// More characters than the widest column can show. A value cell may hold
// megabytes of text; laying all of it out and eliding it on every paint would
// freeze the window, so only this prefix is painted (the row keeps the full text).
constexpr qsizetype kPaintedPrefix = 8192;

class TPrefixDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->text.size() <= kPaintedPrefix) return;
        qsizetype cut = kPaintedPrefix;
        if (option->text.at(cut).isLowSurrogate()) --cut; // keep pairs whole
        option->text.truncate(cut);
        option->text += QChar(0x2026);
    }
};
} // namespace

TListView::TListView(QWidget *parent) : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(ExtendedSelection);
    setSelectionBehavior(SelectRows);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false); // order comes from sortAll() only
    setIconSize(QSize(16, 16));
    setItemDelegate(new TPrefixDelegate(this));
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionClicked, this, &TListView::columnClicked);
}

void TListView::sortAll()
{
    if (!m_compare || topLevelItemCount() < 2) return;
    QTreeWidgetItem *focused = currentItem();
    const QList<QTreeWidgetItem *> selected = selectedItems();
    QList<QTreeWidgetItem *> rows = invisibleRootItem()->takeChildren();
    std::stable_sort(rows.begin(), rows.end(), [this](QTreeWidgetItem *a, QTreeWidgetItem *b) {
        return m_compare(a, b) < 0;
    });
    addTopLevelItems(rows);
    if (focused)
        selectionModel()->setCurrentIndex(indexFromItem(focused), QItemSelectionModel::NoUpdate);
    for (QTreeWidgetItem *row : selected)
        row->setSelected(true);
}

QTreeWidgetItem *TListView::addRow(const QStringList &cells)
{
    auto *row = new QTreeWidgetItem(cells);
    addTopLevelItem(row);
    return row;
}

void TListView::setImageIndex(QTreeWidgetItem *row, int index)
{
    row->setData(0, kImageRole, index);
    row->setIcon(0, m_images ? m_images->icon(index) : QIcon());
}

int TListView::imageIndex(const QTreeWidgetItem *row)
{
    const QVariant index = row->data(0, kImageRole);
    return index.isValid() ? index.toInt() : -1;
}

void TListView::keyReleaseEvent(QKeyEvent *event)
{
    QTreeWidget::keyReleaseEvent(event);
    if (!event->isAutoRepeat()) emit keyUp(event->key(), event->modifiers());
}

void TListView::focusInEvent(QFocusEvent *event)
{
    emit entered();
    QTreeWidget::focusInEvent(event);
}
