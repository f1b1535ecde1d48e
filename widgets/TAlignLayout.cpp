#include "widgets/TAlignLayout.h"

#include <QWidget>
#include <algorithm>

TAlignLayout::TAlignLayout(QWidget *parent, QSize designSize, int inset)
    : QLayout(parent), m_designSize(designSize), m_lastSize(designSize), m_inset(inset)
{
    setContentsMargins(0, 0, 0, 0);
    setSizeConstraint(SetNoConstraint);
}

TAlignLayout::~TAlignLayout()
{
    for (Entry &entry : m_entries)
        delete entry.item;
}

void TAlignLayout::add(QWidget *child, TAlign align, int anchors)
{
    addChildWidget(child);
    m_entries.push_back({new QWidgetItem(child), align, anchors, child->geometry()});
    invalidate();
}

void TAlignLayout::addItem(QLayoutItem *item)
{
    m_entries.push_back({item, alNone, akLeft | akTop, item->geometry()});
}

int TAlignLayout::count() const
{
    return static_cast<int>(m_entries.size());
}

QLayoutItem *TAlignLayout::itemAt(int index) const
{
    if (index < 0 || index >= count()) return nullptr;
    return m_entries[static_cast<std::size_t>(index)].item;
}

QLayoutItem *TAlignLayout::takeAt(int index)
{
    if (index < 0 || index >= count()) return nullptr;
    QLayoutItem *item = m_entries[static_cast<std::size_t>(index)].item;
    m_entries.erase(m_entries.begin() + index);
    return item;
}

QSize TAlignLayout::sizeHint() const
{
    return m_designSize;
}

QSize TAlignLayout::minimumSize() const
{
    return {0, 0};
}

void TAlignLayout::realign()
{
    // The parent's rectangle, not geometry(): Qt may not have laid out this layout yet.
    if (QWidget *parent = parentWidget()) placeAligned(parent->contentsRect(), 0, 0);
}

void TAlignLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    const int dw = rect.width() - m_lastSize.width();
    const int dh = rect.height() - m_lastSize.height();
    m_lastSize = rect.size();
    placeAligned(rect, dh, dw);

    for (Entry &entry : m_entries) {
        QWidget *child = entry.item->widget();
        if (entry.align != alNone || !child) continue;
        // Sizes are kept unclamped here, so that a child squeezed to nothing gets
        // its size back when the parent grows again; a place somebody else gave
        // the child becomes the new base.
        if (child->geometry() != shown(entry.unclamped)) entry.unclamped = child->geometry();
        QRect &g = entry.unclamped;
        if (entry.anchors & akRight) {
            if (entry.anchors & akLeft)
                g.setWidth(g.width() + dw);
            else
                g.moveLeft(g.left() + dw);
        }
        if (entry.anchors & akBottom) {
            if (entry.anchors & akTop)
                g.setHeight(g.height() + dh);
            else
                g.moveTop(g.top() + dh);
        }
        child->setGeometry(shown(g));
    }
}

QRect TAlignLayout::shown(const QRect &unclamped)
{
    return {unclamped.topLeft(), unclamped.size().expandedTo(QSize(0, 0))};
}

void TAlignLayout::placeAligned(QRect room, int dh, int dw)
{
    room.adjust(m_inset, m_inset, -m_inset, -m_inset);
    // Edges first (an edge child keeps its size even where the room runs out, so
    // that it has it again when the parent grows), in the order the children were added, then the
    // client child.
    for (TAlign pass : {alTop, alBottom, alLeft, alRight, alClient}) {
        for (Entry &entry : m_entries) {
            QWidget *child = entry.item->widget();
            if (entry.align != pass || !child || child->isHidden()) continue;
            int h = child->height();
            int w = child->width();
            if ((pass == alTop && (entry.anchors & akBottom)) ||
                (pass == alBottom && (entry.anchors & akTop)))
                h = std::max(0, h + dh);
            if ((pass == alLeft && (entry.anchors & akRight)) ||
                (pass == alRight && (entry.anchors & akLeft)))
                w = std::max(0, w + dw);
            switch (pass) {
            case alTop:
                child->setGeometry(room.left(), room.top(), std::max(0, room.width()), h);
                room.setTop(room.top() + h);
                break;
            case alBottom:
                child->setGeometry(room.left(), room.bottom() + 1 - h, std::max(0, room.width()),
                                   h);
                room.setBottom(room.bottom() - h);
                break;
            case alLeft:
                child->setGeometry(room.left(), room.top(), w, std::max(0, room.height()));
                room.setLeft(room.left() + w);
                break;
            case alRight:
                child->setGeometry(room.right() + 1 - w, room.top(), w, std::max(0, room.height()));
                room.setRight(room.right() - w);
                break;
            default:
                child->setGeometry(room.left(), room.top(), std::max(0, room.width()),
                                   std::max(0, room.height()));
                break;
            }
        }
    }
}
