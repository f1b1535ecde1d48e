"""The scenarios: each starts quarnel, acts as a user, checks what the window shows and,
on a scratch copy of a Wine prefix with the keys of fixture.reg, what Wine reads from the
prefix afterwards. Attributes say what a scenario needs: needs_prefix (the Wine prefix),
needs_demo (a large generated registry), env and screen (the X screen's size)."""

import os

import wine
from steps import (
    expect, text_of, start_and_answer_warning, search, cut_off, close_with_exit_button,
    hit_of, snapshot_files, expect_files_unchanged_outside_test_key, start_on_prefix,
    open_in_tree, TEST_KEY, NEEDLE, FIXTURE_HITS)


def check_looks(app, scale):
    """The window and its message boxes at this scale: nothing cut off; window screenshots.
    On a prefix the window shows a search with results and a located value, and the German
    buttons of a confirmation are checked too."""
    app.start()
    state = app.wait_for(lambda s: app.message_box(s), "the backup warning")
    expect(cut_off(app.window(state, cls="QMessageBox")), [], "cut off in the backup warning")
    app.screenshot(f"warning-{scale}x", app.x_window("^Warnung"))
    app.session.focus(app.x_window("^Warnung"))
    app.session.key("Return")
    state = app.wait_for(lambda s: not app.message_box(s), "the warning to close")
    if app.prefix:
        search(app, NEEDLE)
        rows = app.rows("FoundLV")
        note = next(i for i, r in enumerate(rows) if hit_of(r)[1] == "Note")
        app.click_row("FoundLV", note, repeat=2)
        state = app.wait_for(
            lambda s: any(r["cells"][0] == "Note" and r.get("selected")
                          for r in app.rows("RegLV", s)), "the located value")
    expect(cut_off(app.main_window(state)), [], "cut off in the main window")
    app.screenshot(f"window-{scale}x", app.main_x_window())
    if app.prefix:
        app.click("Button3")
        expect(app.wait_for_box("the delete question"),
               ("Bestätigung", "Delete selected Keys?", ["OK", "Abbrechen"]), "delete question")
        box = app.window(app.state(), cls="QMessageBox")
        expect(cut_off(box), [], "cut off in the confirmation")
        app.screenshot(f"question-{scale}x", app.x_window("^Bestätigung"))
        app.press_box_button("Abbrechen")
    close_with_exit_button(app)


def looks_1x(app):
    check_looks(app, 1)


def looks_2x(app):
    check_looks(app, 2)


def looks_search_1x(app):
    check_looks(app, 1)


def looks_search_2x(app):
    check_looks(app, 2)


def start_search_close(app):
    start_and_answer_warning(app)
    search(app, "quarnel-e2e")
    expect(app.running(), True, "window stays up after the search")
    close_with_exit_button(app)


def search_replace_locate_delete(app):
    """Search, replace in two selected rows, locate a hit, delete a hit from the result list;
    Wine must then read exactly these changes from the prefix."""
    wanted = wine.reg_query(app.prefix, TEST_KEY)
    before = start_on_prefix(app)

    state = search(app, NEEDLE)
    rows = app.rows("FoundLV", state)
    hits = len(FIXTURE_HITS)
    expect({hit_of(r) for r in rows}, FIXTURE_HITS, "rows found")
    expect(text_of(app, "lb6", state), f"{hits} selected / {hits} found", "counter")
    expect(all(r["cells"][0] == "HKEY_USERS" for r in rows), True, "all hits below HKEY_USERS")

    # Select two rows: a data row by a click, a value-name row by a Ctrl+click.
    index = {hit_of(r): i for i, r in enumerate(rows)}
    colour = index[("QuarnelE2E\\", "Colour", "REG_SZ", "zebrafish blue")]
    name_row = index[("QuarnelE2E\\", "zebrafishName", "", "")]
    app.click_row("FoundLV", colour)
    app.click_row("FoundLV", name_row, modifiers=["ctrl"])
    state = app.wait_for(lambda s: text_of(app, "lb6", s) == f"2 selected / {hits} found",
                         "two selected rows")
    expect(sorted(i for i, r in enumerate(app.rows("FoundLV", state)) if r.get("selected")),
           sorted([colour, name_row]), "the selected rows")
    app.screenshot("two-rows-selected")

    app.click("Edit2")
    app.session.type("guppy")
    app.click("Button4")
    expect(app.wait_for_box("the replace question"),
           ("Bestätigung",
            'Replace \n\r"zebrafish" with \n\r"guppy" in selected Keys/Names/Values?',
            ["OK", "Abbrechen"]), "replace question")
    app.screenshot("replace-question")
    app.press_box_button("OK")
    state = app.wait_for(lambda s: text_of(app, "lb1", s) == "2 items replaced",
                         "the replace to end")
    left = FIXTURE_HITS - {hit_of(rows[colour]), hit_of(rows[name_row])}
    expect({hit_of(r) for r in app.rows("FoundLV", state)}, left, "rows left")
    expect(text_of(app, "lb6", state), f"0 selected / {hits - 2} found", "counter")
    app.screenshot("replaced")
    wanted[TEST_KEY]["Colour"] = ("REG_SZ", "guppy blue")
    wanted[TEST_KEY]["guppyName"] = wanted[TEST_KEY].pop("zebrafishName")

    # Locate: a double click on the Note row opens the browser at its key and value.
    note = next(i for i, r in enumerate(app.rows("FoundLV", state)) if hit_of(r)[1] == "Note")
    app.click_row("FoundLV", note, repeat=2)
    state = app.wait_for(
        lambda s: any(r["cells"][0] == "Note" and r.get("selected")
                      for r in app.rows("RegLV", s)), "the located value")
    expect([r["cells"][0] for r in app.rows("RegTV", state) if r.get("current")], ["Other"],
           "located key")
    expect(text_of(app, "lb2", state).endswith("\\Software\\QuarnelE2E\\Other"), True,
           "path display of the located key")
    app.screenshot("located")

    # Delete the Path hit from the result list: select its row alone, "Delete", "OK".
    rows = app.rows("FoundLV", state)
    path = next(i for i, r in enumerate(rows) if hit_of(r)[1] == "Path")
    app.click_row("FoundLV", path)
    app.wait_for(lambda s: text_of(app, "lb6", s) == f"1 selected / {hits - 2} found",
                 "the Path row selected")
    app.click("Button3")
    expect(app.wait_for_box("the delete question"),
           ("Bestätigung", "Delete selected Keys?", ["OK", "Abbrechen"]), "delete question")
    app.screenshot("delete-question")
    app.press_box_button("OK")
    state = app.wait_for(
        lambda s: text_of(app, "lb1", s) == "1 items deleted (maybe with subkeys)",
        "the delete to end")
    expect({hit_of(r) for r in app.rows("FoundLV", state)}, left - {hit_of(rows[path])},
           "rows left after the delete")
    app.screenshot("deleted")
    del wanted[TEST_KEY + "\\Other"]["Path"]

    # Close as the title bar's close button does; the changes must be in the files then.
    app.session.request_close(app.main_x_window())
    expect(app.wait_exit(), 0, "exit status")
    expect_files_unchanged_outside_test_key(before, snapshot_files(app.prefix))
    expect(wine.reg_query(app.prefix, TEST_KEY), wanted, "what Wine reads")


def browser_delete(app):
    """Deletes a value and a key in the browser; Wine must then read exactly that."""
    wanted = wine.reg_query(app.prefix, TEST_KEY)
    before = start_on_prefix(app)

    state = open_in_tree(app, ["HKEY_CURRENT_USER", "Software", "QuarnelE2E", "Other"])
    expect(text_of(app, "lb2", state),
           "My Computer\\HKEY_CURRENT_USER\\Software\\QuarnelE2E\\Other", "path display")
    names = [r["cells"][0] for r in app.rows("RegLV", state)]
    expect(set(names) >= {"Keep", "Note", "Path"}, True, f"values listed: {names}")
    app.screenshot("key-open")

    app.click_row("RegLV", names.index("Keep"))
    app.session.key("Delete")
    expect(app.wait_for_box("the value question"),
           ("Bestätigung", "Delete Value Keep?", ["OK", "Abbrechen"]), "value question")
    app.screenshot("value-question")
    app.press_box_button("OK")
    app.wait_for(lambda s: "Keep" not in [r["cells"][0] for r in app.rows("RegLV", s)],
                 "the value to leave the list")
    app.screenshot("value-deleted")
    del wanted[TEST_KEY + "\\Other"]["Keep"]

    # "Abbrechen" leaves the key; "OK" deletes it with what is below it.
    state = open_in_tree(app, ["HKEY_CURRENT_USER", "Software", "QuarnelE2E", "ZebraFish Tank"])
    question = ("Delete Key \n\rHKEY_CURRENT_USER\\Software\\QuarnelE2E\\ZebraFish Tank"
                "\n\rand all its SubKeys?")
    for answer in ("Abbrechen", "OK"):
        app.session.key("Delete")
        expect(app.wait_for_box("the key question"),
               ("Bestätigung", question, ["OK", "Abbrechen"]), "key question")
        app.screenshot(f"key-question-{answer}")
        app.press_box_button(answer)
    app.wait_for(lambda s: "ZebraFish Tank" not in [r["cells"][0] for r in app.rows("RegTV", s)],
                 "the key to leave the tree")
    app.screenshot("key-deleted")
    del wanted[TEST_KEY + "\\ZebraFish Tank"]

    app.session.request_close(app.main_x_window())
    expect(app.wait_exit(), 0, "exit status")
    expect_files_unchanged_outside_test_key(before, snapshot_files(app.prefix))
    expect(wine.reg_query(app.prefix, TEST_KEY), wanted, "what Wine reads")


def delete_and_undo(app):
    """Deletes a key in the browser, then Ctrl+Z and "OK": Wine reads the key back as it was,
    and the backup and the undo file are beside the registry files."""
    wanted = wine.reg_query(app.prefix, TEST_KEY)
    before = start_on_prefix(app)

    key = TEST_KEY + "\\ZebraFish Tank"
    open_in_tree(app, ["HKEY_CURRENT_USER", "Software", "QuarnelE2E", "ZebraFish Tank"])
    app.session.key("Delete")
    app.wait_for_box("the key question")
    app.press_box_button("OK")
    app.wait_for(lambda s: "ZebraFish Tank" not in [r["cells"][0] for r in app.rows("RegTV", s)],
                 "the key to leave the tree")
    app.screenshot("key-deleted")

    # Window shortcuts act only in the active window; with no window manager to give
    # it the input focus back after the box, that is done here.
    app.session.focus(app.main_x_window())
    app.session.key("ctrl+z")
    expect(app.wait_for_box("the undo question"),
           ("Bestätigung", f"Undo the last change?\n\rKey {key} deleted", ["OK", "Abbrechen"]),
           "undo question")
    app.screenshot("undo-question")
    app.press_box_button("OK")
    app.wait_for(lambda s: text_of(app, "lb1", s) == f"Undone: Key {key} deleted",
                 "the undo to end")
    app.screenshot("undone")

    backups = os.path.join(app.prefix, "quarnel-backups")
    made = sorted(os.listdir(backups))
    expect(len(made), 2, f"one backup and the undo folder: {made}")
    expect(sorted(os.listdir(os.path.join(backups, made[0]))),
           ["system.reg", "user.reg", "userdef.reg"], "the backup's files")
    # The delete's undo file, and the undo's own (what a redo applies).
    undo_files = sorted(os.listdir(os.path.join(backups, "undo")),
                        key=lambda f: f.endswith("-undo.reg"))
    expect([f.rsplit("-", 1)[-1] for f in undo_files], ["delete.reg", "undo.reg"],
           f"undo files {undo_files}")

    app.session.request_close(app.main_x_window())
    expect(app.wait_exit(), 0, "exit status")
    expect_files_unchanged_outside_test_key(before, snapshot_files(app.prefix))
    expect(wine.reg_query(app.prefix, TEST_KEY), wanted, "what Wine reads after the undo")


def close_during_run(app):
    """Closing the window while a search runs stops the run and ends the program;
    nothing in the registry files changes."""
    files = {}
    for name in ("system.reg", "user.reg", "userdef.reg"):
        with open(os.path.join(app.prefix, name), "rb") as f:
            files[name] = f.read()
    start_and_answer_warning(app)
    app.click("Edit1")
    app.session.type(NEEDLE)
    app.session.key("Return")
    state = app.wait_for(lambda s: text_of(app, "Button1", s) == "St&op", "the run to start")
    app.screenshot("running")
    app.session.request_close(app.main_x_window())
    expect(app.wait_exit(), 0, "exit status")
    for name, content in files.items():
        with open(os.path.join(app.prefix, name), "rb") as f:
            expect(f.read() == content, True, f"{name} unchanged")


def refusal_while_wine_runs(app):
    """With Wine's server up on the prefix, Quarnel says so, naming the prefix, and the
    prefix's files stay as they were."""
    before = snapshot_files(app.prefix)
    wine.start_server(app.prefix)
    try:
        app.start()
        boxes = []
        # Two boxes at start, in whichever order: the backup warning and the refusal.
        for number in (1, 2):
            boxes.append(app.wait_for_box(f"box {number} at start"))
            app.screenshot(f"box-{number}")
            app.press_box_button("OK")
        app.settle()
        expect(app.message_box(), None, "no further box")
        refusals = [b for b in boxes if "Wine is running" in b[1]]
        expect(len(refusals), 1, f"one refusal among {boxes}")
        expect(app.prefix in refusals[0][1], True, "the refusal names the prefix")
        close_with_exit_button(app)
    finally:
        wine.stop_server(app.prefix)
    expect_files_unchanged_outside_test_key(before, snapshot_files(app.prefix))


looks_2x.env = {"QT_SCALE_FACTOR": "2"}
looks_2x.screen = (2600, 2100)
looks_search_2x.env = looks_2x.env
looks_search_2x.screen = looks_2x.screen
looks_search_1x.needs_prefix = looks_search_2x.needs_prefix = True
search_replace_locate_delete.needs_prefix = True
browser_delete.needs_prefix = True
delete_and_undo.needs_prefix = True
refusal_while_wine_runs.needs_prefix = True
close_during_run.needs_demo = True

ALL = [start_search_close, looks_1x, looks_2x, search_replace_locate_delete, browser_delete,
       delete_and_undo, close_during_run, refusal_while_wine_runs, looks_search_1x, looks_search_2x]
