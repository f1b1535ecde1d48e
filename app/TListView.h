// A report-style list (rows of text cells with a header) that sorts through a
// compare callback, and reports key-up, focus-in and header clicks.
#pragma once

#include <QTreeWidget>
#include <functional>

class TImageList;

class TListView : public QTreeWidget
{
    Q_OBJECT

public:
    // Negative, 0 or positive for the first row before, level with or after the second.
    using Compare = std::function<int(QTreeWidgetItem *, QTreeWidgetItem *)>;

    explicit TListView(QWidget *parent = nullptr);

    void setCompare(Compare compare) { m_compare = std::move(compare); }
    // Sorts every row with the compare callback (stable); selection and the
    // focused row are kept.
    void sortAll();

    // Appends a row with these cells.
    QTreeWidgetItem *addRow(const QStringList &cells);

    void setImageList(const TImageList *images) { m_images = images; }
    const TImageList *imageList() const { return m_images; }
    void setImageIndex(QTreeWidgetItem *row, int index);
    static int imageIndex(const QTreeWidgetItem *row);

signals:
    void keyUp(int key, Qt::KeyboardModifiers modifiers);
    // Runs before the list's own focus handling, which may set a focused row.
    void entered();
    void columnClicked(int column);

protected:
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    Compare m_compare;
    const TImageList *m_images = nullptr;
};
