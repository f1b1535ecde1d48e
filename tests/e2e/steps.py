"""What the scenarios do and check, in a user's terms: start and answer the backup warning,
search, walk the key tree, find cut-off texts, compare a prefix's files before and after."""

import os
import re

BACKUP_WARNING = "Make a backup of your registry, before changing anything!"
ROOTS = ["HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS",
         "HKEY_CURRENT_CONFIG", "HKEY_PERFORMANCE_DATA", "HKEY_DYN_DATA"]

TEST_KEY = r"HKEY_CURRENT_USER\Software\QuarnelE2E"
NEEDLE = "zebrafish"
# What a search for the needle finds in fixture.reg: (Branch ending, Name, Type, Value).
FIXTURE_HITS = {
    ("QuarnelE2E\\", "Colour", "REG_SZ", "zebrafish blue"),
    ("QuarnelE2E\\", "zebrafishName", "", ""),
    ("QuarnelE2E\\ZebraFish Tank\\", "", "", ""),
    ("QuarnelE2E\\ZebraFish Tank\\", "(Standard)", "REG_SZ", "the zebrafish home"),
    ("QuarnelE2E\\Other\\", "Note", "REG_SZ", "a zebrafish in other"),
    ("QuarnelE2E\\Other\\", "Path", "REG_EXPAND_SZ", "%SystemRoot%\\zebrafish"),
}


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
    # A run clears lb1 when it starts and ends with its statistics there.
    state = app.wait_for(
        lambda s: text_of(app, "Button1", s) == "&Search" and not s["busyCursor"]
        and text_of(app, "lb1", s).endswith(" bytes searched."), "the search run to end")
    expect(re.fullmatch(r"\d+ Keys - \d+ Values", text_of(app, "lb2", state)) is not None, True,
           "statistics line " + text_of(app, "lb2", state))
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


def close_with_exit_button(app):
    app.click("Button2")
    expect(app.wait_exit(), 0, "exit status")


def hit_of(row):
    root, branch, name, kind, value = (row["cells"] + [""] * 5)[:5]
    return (branch[branch.find("QuarnelE2E"):], name, kind, value)


def reg_sections(path):
    """A .reg file as its header and {section line without time stamp: section text}."""
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        text = f.read()
    header, _, rest = text.partition("\n[")
    sections = {}
    for chunk in ("[" + rest).split("\n[") if rest else []:
        chunk = chunk if chunk.startswith("[") else "[" + chunk
        sections[chunk.split("]", 1)[0] + "]"] = chunk
    return header, sections


def snapshot_files(prefix):
    return {name: reg_sections(os.path.join(prefix, name))
            for name in ("system.reg", "user.reg", "userdef.reg")}


def expect_files_unchanged_outside_test_key(before, after):
    """Every hive's header and every key outside the test key, time stamps included, is as
    it was: the program changed nothing it was not asked to."""
    for name in before:
        expect(after[name][0], before[name][0], f"header of {name}")
        outside = lambda sections: {k: v for k, v in sections.items()
                                    if not k.startswith("[Software\\\\QuarnelE2E")}
        b, a = outside(before[name][1]), outside(after[name][1])
        changed = sorted(k for k in set(a) | set(b) if a.get(k) != b.get(k))
        expect(changed, [], f"keys changed in {name} outside the test key")


def start_on_prefix(app):
    before = snapshot_files(app.prefix)
    start_and_answer_warning(app)
    return before


def open_in_tree(app, names):
    """Walks the key tree to the key with this path (root name first) with the keyboard,
    as a user would: Down to each node, Right to unfold it. Returns the dump then."""
    # A click on a node on screen gives the tree the focus; Home goes to "My Computer".
    visible = next(i for i, r in enumerate(app.rows("RegTV")) if "rect" in r)
    app.click_row("RegTV", visible)
    app.session.key("Home")
    app.wait_for(lambda s: app.rows("RegTV", s)[0].get("current"), "the top node selected")
    for depth, name in enumerate(names, start=1):
        state = app.wait_for(lambda s: any(r.get("current") for r in app.rows("RegTV", s)),
                             "a current node")
        rows = app.rows("RegTV", state)
        current = next(i for i, r in enumerate(rows) if r.get("current"))
        target = next(i for i, r in enumerate(rows)
                      if i > current and r["depth"] == depth and r["cells"][0] == name)
        app.session.key(*["Down"] * (target - current))
        state = app.wait_for(lambda s: app.rows("RegTV", s)[target].get("current"),
                             f"node {name} selected")
        if depth < len(names) and not rows[target].get("expanded"):
            app.session.key("Right")
            state = app.wait_for(lambda s: app.rows("RegTV", s)[target].get("expanded"),
                                 f"node {name} unfolded")
    return state
