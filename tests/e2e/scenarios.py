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


def close_with_exit_button(app):
    app.click("Button2")
    expect(app.wait_exit(), 0, "exit status")


def start_search_close(app):
    start_and_answer_warning(app)
    search(app, "quarnel-e2e")
    expect(app.running(), True, "window stays up after the search")
    close_with_exit_button(app)


ALL = [start_search_close]
