"""The scenarios: each starts quarnel, acts as a user, checks what the window shows
and, where a prefix is given, what Wine reads from the prefix afterwards."""

from xsession import wait_until

BACKUP_WARNING = "Make a backup of your registry, before changing anything!"
ROOTS = ["HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS",
         "HKEY_CURRENT_CONFIG", "HKEY_PERFORMANCE_DATA", "HKEY_DYN_DATA"]


def expect(actual, wanted, what):
    if actual != wanted:
        raise AssertionError(f"{what}: expected {wanted!r}, got {actual!r}")


def text_of(app, name, state=None):
    return app.widget(app.main_window(state), name)["text"]


def start_and_answer_warning(app):
    """Starts quarnel, checks the window and the backup warning above it, presses Enter."""
    app.start()
    state = app.wait_for(lambda s: app.message_box(s), "the backup warning")
    expect(app.message_box(state), ("Warnung", BACKUP_WARNING, ["OK"]), "backup warning")
    main = app.main_window(state)
    expect(main["title"], "Quarnel", "window title")
    expect(app.widget(main, "Button1")["text"], "&Search", "Button1")
    expect(app.widget(main, "lb6")["text"], "0 found", "counter")
    expect(app.widget(main, "lb2")["text"], "My Computer", "path line")
    for button in ("Button3", "Button4"):
        expect(app.widget(main, button)["enabled"], False, button + " enabled")
    tree = app.widget(main, "RegTV")["rows"]
    expect([r["cells"][0] for r in tree], ["My Computer"] + ROOTS, "key tree")
    app.screenshot("backup-warning")

    box = app.x_window("^Warnung")
    app.session.focus(box)
    app.session.key("Return")
    state = app.wait_for(lambda s: not app.message_box(s), "the warning to close")
    app.screenshot("window-ready")
    return state


def search(app, text):
    """Types text into "Search for:", presses Enter and waits for the run to end."""
    app.click("Edit1")
    app.session.key("ctrl+a", "BackSpace")
    app.session.type(text)
    app.wait_for(lambda s: text_of(app, "Edit1", s) == text, "the typed search text")
    app.session.key("Return")
    state = app.wait_for(
        lambda s: text_of(app, "Button1", s) == "&Search" and not s["busyCursor"],
        "the search run to end")
    app.screenshot("search-done")
    return state


def cut_off(window):
    """Texts that need more width than their control gives them, and controls that reach
    past the window's edge."""
    faults = []
    _, _, width, height = window["geometry"]
    for w in window["widgets"]:
        if not w["visible"]:
            continue
        label = w["name"] or w["class"]
        if w.get("textWidth", 0) > w.get("textRoom", 0):
            faults.append(f"{label} {w['text']!r} needs {w['textWidth']} of {w['textRoom']} px")
        x, y, w_, h = w["geometry"]
        if x + w_ > width or y + h > height:
            faults.append(f"{label} reaches past the window's edge")
    return faults


def check_looks(app, scale):
    """The window and a message box at this scale: nothing cut off; window screenshots."""
    app.start()
    state = app.wait_for(lambda s: app.message_box(s), "the backup warning")
    box = app.window(state, cls="QMessageBox")
    expect(cut_off(box), [], "cut off in the backup warning")
    app.screenshot(f"warning-{scale}x", app.x_window("^Warnung"))
    app.session.focus(app.x_window("^Warnung"))
    app.session.key("Return")
    state = app.wait_for(lambda s: not app.message_box(s), "the warning to close")
    expect(cut_off(app.main_window(state)), [], "cut off in the main window")
    app.screenshot(f"window-{scale}x", app.main_x_window())
    close_with_exit_button(app)


def looks_1x(app):
    check_looks(app, 1)


def looks_2x(app):
    check_looks(app, 2)


looks_2x.env = {"QT_SCALE_FACTOR": "2"}
looks_2x.screen = (2600, 2100)


def close_with_exit_button(app):
    app.click("Button2")
    expect(app.wait_exit(), 0, "exit status")


def start_search_close(app):
    start_and_answer_warning(app)
    search(app, "quarnel-e2e")
    expect(app.running(), True, "window stays up after the search")
    close_with_exit_button(app)


ALL = [start_search_close, looks_1x, looks_2x]
