// The History window (Ctrl+H): every undo file of the open registry, newest
// first, with its time, what its edit was and whether it was taken back; and
// every backup with its time and size. It only lists and asks: "Undo" and
// "Restore…" go to the main window's handlers (app/FormHistory.cpp), which
// refresh it afterwards. Not modal: it lists afresh whenever it is activated.
#pragma once

#include <QDialog>

#include <functional>
#include <string>

class QLabel;
class QPushButton;
class QTreeWidget;

class HistoryWindow : public QDialog
{
    Q_OBJECT

public:
    using Handler = std::function<void(const std::string &)>;
    // `onUndo` gets an undo file's path, `onRestore` a backup folder.
    HistoryWindow(QWidget *parent, Handler onUndo, Handler onRestore);

    // Lists the undo files and backups as they are now, keeping the selection.
    void refresh();

    QTreeWidget *changes() const { return m_changes; }
    QTreeWidget *backups() const { return m_backups; }
    QPushButton *undoButton() const { return m_undo; }
    QPushButton *restoreButton() const { return m_restore; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void updateButtons();

    Handler m_onUndo;
    Handler m_onRestore;
    QTreeWidget *m_changes = nullptr;
    QTreeWidget *m_backups = nullptr;
    QPushButton *m_undo = nullptr;
    QPushButton *m_restore = nullptr;
    QLabel *m_folder = nullptr;
};
