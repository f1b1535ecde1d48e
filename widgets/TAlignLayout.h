// Classic form layout: children aligned to an edge (top, bottom, left, right)
// or filling the rest (client), and free children that keep their distance to
// the edges they are anchored to. Sizes change by the parent's size change, so
// a size a handler or a splitter gave a child is kept.
#pragma once

#include <QLayout>
#include <vector>

class TAlignLayout : public QLayout
{
    Q_OBJECT

public:
    enum TAlign
    {
        alNone,
        alTop,
        alBottom,
        alLeft,
        alRight,
        alClient
    };
    enum TAnchor
    {
        akLeft = 1,
        akTop = 2,
        akRight = 4,
        akBottom = 8
    };

    // `designSize` is the parent's client size the children's geometry was given for;
    // aligned children keep `inset` pixels from the edges (a panel's bevel).
    TAlignLayout(QWidget *parent, QSize designSize, int inset = 0);
    ~TAlignLayout() override;

    // Adds a child that already has its design geometry. Aligned children use
    // their height (top, bottom) or width (left, right) and grow with the parent
    // when anchored to the opposite edge.
    void add(QWidget *child, TAlign align, int anchors = akLeft | akTop);
    // Places the aligned children again, for instance after a splitter changed one.
    void realign();

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect &rect) override;

private:
    struct Entry
    {
        QLayoutItem *item;
        TAlign align;
        int anchors;
        QRect unclamped; // free children: the place before sizes are cut at 0
    };
    static QRect shown(const QRect &unclamped);
    void placeAligned(QRect room, int dh, int dw);

    std::vector<Entry> m_entries;
    QSize m_designSize;
    QSize m_lastSize;
    int m_inset;
};
