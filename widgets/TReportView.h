// The view of a report-style list backed by a model: whole-row selection, no
// editing, and the key, mouse and header events the window binds handlers to.
// Mouse positions are in the view's own coordinates (header included).
#pragma once

#include <QTreeView>

class TReportView : public QTreeView
{
    Q_OBJECT

public:
    explicit TReportView(QWidget *parent = nullptr);

signals:
    void keyDown(int key, Qt::KeyboardModifiers modifiers);
    // Not repeated while a key is held.
    void keyUp(int key, Qt::KeyboardModifiers modifiers);
    // After the view has updated its selection.
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
    // A left click anywhere in the rows area, once the selection is final.
    void mouseClicked();
    void mouseDoubleClicked();
    void columnClicked(int column);
    // The Menu key or Shift+F10 (app/KeyboardMenu), at `pos`; a right click comes as mouseDown.
    void menuKeyPressed(QPoint pos);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    // No tooltips, whatever the model offers.
    bool viewportEvent(QEvent *event) override;
};
