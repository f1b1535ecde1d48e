// Drives the real main window in tests: a fresh in-memory registry, the window
// created on it, controls found by name, clicks, typing and keys through
// QTest, and every message box answered from a queue and recorded.
#pragma once

#include "app/Dialogs.h"
#include "app/TRegForm.h"

#include <QPoint>
#include <QTemporaryDir>
#include <deque>
#include <memory>
#include <string>
#include <vector>

class QAction;

namespace quarnel::platform {
class KeyStore;
}

struct RecordedBox
{
    Dialogs::TDialogKind kind = Dialogs::TDialogKind::Information;
    std::string caption;
    std::string text;
    std::vector<std::string> buttons;
    std::string informative, details; // a question's counts and its list of what it does
    std::string answer;               // the button the harness pressed
    bool windowVisible = false;       // whether RegForm was on screen when the box came
};

class WindowHarness
{
public:
    // Creates the application if needed, a fresh store, then the window; the
    // backup warning at start is answered "OK" and recorded like any box.
    WindowHarness();
    ~WindowHarness();
    WindowHarness(const WindowHarness &) = delete;
    WindowHarness &operator=(const WindowHarness &) = delete;

    // The application object (a QuarnelApplication), created once per process.
    static void ensureApplication();

    TRegForm &form() { return *m_form; }
    quarnel::platform::KeyStore &store() { return *m_store; }
    // Where edits keep their backups and undo files (a fresh folder per window).
    std::string safetyFolder() const { return m_safetyFolder.path().toStdString(); }

    // Any child of the window (control, action, image list) by object name, or null.
    template <typename T = QWidget> T *find(const char *name) const
    {
        return m_form->findChild<T *>(QString::fromLatin1(name));
    }

    // Mouse: at the widget's centre unless a point is given; item views get the
    // events on their viewport. These work on any widget, also without a window.
    static void click(QWidget *widget, QPoint at = QPoint());
    static void rightClick(QWidget *widget, QPoint at = QPoint());
    static void doubleClick(QWidget *widget, QPoint at = QPoint());
    void click(const char *name) { click(find(name)); }
    // Triggers a menu item as a click on it would.
    static void trigger(QAction *action);

    // Keyboard: to the widget itself (focus is given to it first).
    static void type(QWidget *widget, const std::string &text);
    static void key(QWidget *widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    static void keyDown(QWidget *widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    static void keyUp(QWidget *widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    // Boxes: the next box gets the oldest queued answer (a button text, or ""
    // for closing it another way); with none queued, its first button.
    void answer(const std::string &button) { m_answers.push_back(button); }
    const std::vector<RecordedBox> &boxes() const { return m_boxes; }
    void clearBoxes() { m_boxes.clear(); }

    // Lets queued events run (repaints, deferred deletes).
    static void processEvents();

    // Ctrl+Z as the user presses it, in the control that has the focus then.
    // Window shortcuts work only in the active window.
    static void pressUndo(QWidget *widget);
    // The whole registry as stored: every key (links marked) and every value's
    // type and bytes, one line each, for byte-exact comparisons.
    static std::string registryDump();

private:
    std::string onBox(const Dialogs::TDialogRecord &record);

    QTemporaryDir m_safetyFolder;
    // The settings file of this window alone: what one test chose never reaches
    // another, nor the user's own settings.
    QTemporaryDir m_configFolder;
    QByteArray m_configBefore;
    std::shared_ptr<quarnel::platform::KeyStore> m_store;
    std::unique_ptr<TRegForm> m_form;
    std::deque<std::string> m_answers;
    std::vector<RecordedBox> m_boxes;
};
