// The keys that open a list's or a tree's menu without the mouse: the Menu key and
// Shift+F10. The view gets the context menu event a right click gives, at its
// focused row, so each view opens its menu one way for the mouse and the keys.
#pragma once

class QAbstractItemView;
class QKeyEvent;

namespace KeyboardMenu {

// True when `event` is one of the keys; the view then had its context menu event.
bool open(QAbstractItemView *view, const QKeyEvent *event);

} // namespace KeyboardMenu
