// A report-style list (rows of text cells with a header) over a model that holds
// the rows, and reports key-up, focus-in and header clicks; the Menu key and
// Shift+F10 give it a context menu event (app/KeyboardMenu). A model gives a
// row's image index in ImageRole of its first cell; the list draws it from its
// image list.
#pragma once

#include <QItemSelectionModel>
#include <QTreeView>

class TImageList;

class TListView : public QTreeView
{
    Q_OBJECT

public:
    static constexpr int ImageRole = Qt::UserRole + 1;

    explicit TListView(QWidget *parent = nullptr);

    void setImageList(const TImageList *images) { m_images = images; }
    const TImageList *imageList() const { return m_images; }

    // Rows by their position in the list.
    int rowCount() const;
    QString text(int row, int column) const;
    // -1 for a row without an image.
    int imageIndex(int row) const;
    bool isRowSelected(int row) const;
    void setRowSelected(int row, bool selected);
    // The first selected row in list order, or -1.
    int firstSelectedRow() const;
    // The focused row (where keyboard navigation starts), or -1.
    int currentRow() const;
    // Makes the row the focused one and changes the selection as `command` says.
    void setCurrentRow(int row, QItemSelectionModel::SelectionFlags command);

signals:
    void keyUp(int key, Qt::KeyboardModifiers modifiers);
    // Runs before the list's own focus handling, which may set a focused row.
    void entered();
    void columnClicked(int column);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    QModelIndex rowIndex(int row) const;

    const TImageList *m_images = nullptr;
};
