#!/usr/bin/python3
"""Quelvra from the outside: a search, a hit opened in the viewer, a correction saved.

The program is started on a desktop of its own (session.py) from a scratch copy of its program
folder, with two notes added. The test reads the windows on the accessibility bus, as a screen
reader does, and uses them with real pointer clicks and key presses:

  choose the notes' folder, type two keywords, search, read the result pane;
  click on a hit line, press the open button;
  find the viewer, read its document and selection: the hit line is selected and on screen;
  Escape does not close the viewer;
  click into the search field, type another text, press "↓": that text is selected and shown;
  click after it in the document, type a correction, save: the note's bytes are the old ones
  with exactly the typed characters added;
  close the viewer: the hit line is selected again in the result pane.

usage: open_hit_e2e.py PROGRAM_DIR OUTPUT_DIR
A failure prints what was on the bus and leaves screenshots in OUTPUT_DIR.
"""

import os
import sys
import time
import traceback

# The modules beside this file, without leaving compiled copies in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from session import Failure, Session  # noqa: E402

# The reader of the accessibility bus: imported once the session's buses are up, since it
# finds them through the environment when it is first loaded.
bus = None

FOLDER = "試験メモ"
SHORT_NOTE = "予定.txt"
LONG_NOTE = "長い記録.txt"
KEYWORDS = ("東京", "会議")
# The hit in the long note, far below the first screen of the viewer; its characters include
# two-byte codes whose second byte is "\" (ソ, 表, 能) or "|" (ポ).
HIT_LINE_NO = 200
HIT_LINE = "東京の本社で会議を開く（表示ソ能力ポ）"
SEARCH_TEXT = "予定表"
SEARCH_BEFORE, SEARCH_AFTER = 40, 250  # lines holding SEARCH_TEXT, around the hit
CORRECTION = "（表示ソ）"


def long_note_lines():
    lines = []
    for n in range(1, 301):
        if n == HIT_LINE_NO:
            lines.append(HIT_LINE)
        elif n in (SEARCH_BEFORE, SEARCH_AFTER):
            lines.append(f"{n:03d}行目　来週の{SEARCH_TEXT}を作る。")
        else:
            lines.append(f"{n:03d}行目　今日は晴れ。ソフトの表示と能力を確かめる。")
    return lines


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def note_bytes(lines):
    return "".join(line + "\r\n" for line in lines).encode("cp932")


def prepare(copy):
    folder = os.path.join(copy, FOLDER)
    os.makedirs(folder)
    with open(os.path.join(folder, SHORT_NOTE), "wb") as f:
        f.write(note_bytes(["来月の計画", "東京で会議の予定を立てる。", "以上"]))
    with open(os.path.join(folder, LONG_NOTE), "wb") as f:
        f.write(note_bytes(long_note_lines()))


class Scenario:
    def __init__(self, session):
        self.s = session
        self.steps = []

    def step(self, text):
        self.steps.append(text)
        print(f"-- {text}", flush=True)

    def check(self, condition, message):
        if not condition:
            raise Failure(message)

    # ---- finding things --------------------------------------------------------------

    def window(self, title_test, what):
        def probe():
            for w in bus.windows(self.s.app()):
                if title_test(bus.name(w)):
                    return w
            return None
        return self.s.wait_for(probe, what)

    def main_window(self):
        return self.window(lambda t: t.startswith("Quelvra"), "the main window")

    def control(self, parent, role, name, what=None):
        return self.s.wait_for(lambda: bus.find(parent, role, name),
                               what or f"{role} '{name}'")

    def click(self, acc):
        x, y = bus.centre(acc)
        self.s.click_at(x, y)

    def no_message_box(self):
        """A message box over the windows means a step went wrong: say what it said."""
        for w in bus.windows(self.s.app()):
            if bus.role(w) in ("dialog", "alert"):
                texts = [bus.name(a) for a, _ in bus.walk(w) if bus.role(a) == "label"]
                if any(texts):
                    raise Failure(f"a message box says: {' / '.join(t for t in texts if t)}")

    # ---- the scenario ------------------------------------------------------------------

    def run(self):
        s = self.s
        main = self.main_window()
        s.listen("object:text-caret-moved", "object:text-changed")
        s.screenshot("started")

        self.step(f"choose the folder {FOLDER} from the folder list")
        folders = self.control(main, "combo box", "フォルダー名が表示されます")
        # The field that shows a picked folder lies over the list's text: its arrow is what
        # shows.
        x, y, w, h = bus.extents(folders)
        s.click_at(x + w - 10, y + h // 2)
        item = s.wait_for(lambda: bus.find(folders, "list item", FOLDER,
                                           where=lambda a: bus.extents(a)[2] > 0 and
                                           bus.extents(a)[1] > 0),
                          f"'{FOLDER}' in the opened folder list")
        self.click(item)
        files = self.control(main, "list", "ファイル名のダブルクリックでファイルが開きます")
        s.wait_for(lambda: len(bus.children(files)) == 2, "the two notes in the file list")
        listed = sorted(bus.name(c) for c in bus.children(files))
        self.check(listed == sorted([SHORT_NOTE, LONG_NOTE]), f"file list shows {listed}")

        self.step(f"type {KEYWORDS[0]} and {KEYWORDS[1]} into the first two keyword fields")
        for label, word in zip(("キーワード１", "キーワード２"), KEYWORDS):
            field = self.control(main, "text", label)
            self.click(field)
            s.wait_for(lambda: bus.has_state(field, bus.pyatspi.STATE_FOCUSED),
                       f"the focus in {label}")
            s.type_text(word, lambda n: bus.TextView(field).text == word[:n])

        self.step("press 検索 and read the result pane")
        self.click(self.control(main, "push button", "検索"))
        pane = self.control(main, "text", "検索結果")
        hit_in_pane = "    " + HIT_LINE
        s.wait_for(lambda: hit_in_pane in bus.TextView(pane).text, "the hit line in the pane")
        text = bus.TextView(pane).text
        lines = text.split("\n")
        for expected in (SHORT_NOTE, "    東京で会議の予定を立てる。", LONG_NOTE, hit_in_pane):
            self.check(expected in lines, f"the pane lacks the line {expected!r}:\n{text}")
        self.check("2個マッチしました" in lines[0], f"the summary does not count 2 hits:\n{text}")
        s.screenshot("searched")

        self.step("click on the long note's hit line: the pane's caret is there, and is told")
        line_start = text.index(hit_in_pane)
        on = line_start + 4 + 3  # on 本
        x, y, w, h = bus.TextView(pane).char_extents(on)
        self.check(w > 0 and h > 0, f"no extents for the hit line's characters: {(x, y, w, h)}")
        s.click_at(x + max(1, w // 4), y + h // 2)
        s.wait_for(lambda: bus.TextView(pane).caret == on,
                   lambda: f"the pane's caret at {on} on the hit line (it is at "
                   f"{bus.TextView(pane).caret})")
        s.wait_for(lambda: s.heard("object:text-caret-moved", "検索結果",
                                   lambda e: e.detail1 == on),
                   "the pane's caret move to be told on the bus")

        self.step("press the open button")
        opener = self.control(main, "push button", "ヒット行のファイルを開きます")
        s.wait_for(lambda: bus.has_state(opener, bus.pyatspi.STATE_ENABLED),
                   "the open button enabled")
        self.click(opener)

        self.step("find the viewer: its document is the note, the hit line selected and shown")
        viewer = self.window(lambda t: t.endswith("/" + LONG_NOTE), f"the viewer of {LONG_NOTE}")
        doc = self.control(viewer, None, "本文", "the viewer's document")
        note_path = os.path.join(s.copy, FOLDER, LONG_NOTE)
        original = read_bytes(note_path)
        s.wait_for(lambda: same_text(bus.TextView(doc).text, original.decode("cp932")),
                   "the viewer's document to read as the note")
        self.no_message_box()
        s.wait_for(lambda: self.selected(doc) == HIT_LINE,
                   lambda: f"the hit line selected in the document (selected: "
                   f"{self.selected(doc)!r})")
        self.visible(doc, "the selected hit line")
        s.screenshot("viewer-opened")

        self.step("Escape in the document and in the search field does not close the viewer")
        # Each Escape is followed by an action whose effect shows that the program has taken
        # the key before the viewer is looked for.
        field = self.control(viewer, "text", "検索文字列")
        field_at = bus.centre(field)
        end = bus.TextView(doc).selections[0][1]
        self.click_into_document(doc, end - 1)
        s.key("Escape")
        s.click_at(*field_at)
        s.wait_for(lambda: self.open(viewer, "Escape in the document") and
                   bus.has_state(field, bus.pyatspi.STATE_FOCUSED),
                   "the focus in the search field")
        s.key("Escape")

        self.step(f"type {SEARCH_TEXT} into the search field, press ↓")
        s.key("ctrl+a")
        s.type_text(SEARCH_TEXT, lambda n: self.open(viewer, "Escape in the search field") and
                    bus.TextView(field).text == SEARCH_TEXT[:n])
        self.click(self.control(viewer, "push button", "↓"))
        dtext = bus.TextView(doc).text
        found = line_offset(dtext, SEARCH_AFTER - 1) + \
            long_note_lines()[SEARCH_AFTER - 1].index(SEARCH_TEXT)
        want = [(found, found + len(SEARCH_TEXT))]
        s.wait_for(lambda: self.message_or(lambda: bus.TextView(doc).selections == want),
                   lambda: f"{SEARCH_TEXT} on line {SEARCH_AFTER} selected, {want} "
                   f"(selections: {bus.TextView(doc).selections})")
        self.visible(doc, f"the found {SEARCH_TEXT}")
        s.screenshot("searched-in-viewer")

        self.step(f"click after it in the document, type {CORRECTION}, press 訂正保存")
        at = found + len(SEARCH_TEXT)
        self.click_into_document(doc, at)
        s.type_text(CORRECTION, lambda n: bus.TextView(doc).text[at:at + n] == CORRECTION[:n])
        s.wait_for(lambda: s.heard("object:text-changed:insert", "本文",
                                   lambda e: e.detail1 >= at and e.data in CORRECTION),
                   "the typing to be told on the bus")
        save = self.control(viewer, "push button", "訂正保存")
        s.wait_for(lambda: bus.has_state(save, bus.pyatspi.STATE_ENABLED), "訂正保存 enabled")
        self.click(save)
        lines = long_note_lines()
        i = SEARCH_AFTER - 1
        k = lines[i].index(SEARCH_TEXT) + len(SEARCH_TEXT)
        lines[i] = lines[i][:k] + CORRECTION + lines[i][k:]
        expected = note_bytes(lines)
        s.wait_for(lambda: self.message_or(lambda: not bus.has_state(
                       save, bus.pyatspi.STATE_ENABLED)), "訂正保存 disabled by the save")
        saved = read_bytes(note_path)
        self.check(saved == expected, "the saved note differs from the note with the "
                   "correction:\n" + first_difference(saved, expected))
        s.screenshot("saved")

        self.step("close the viewer: the hit line is selected again in the result pane")
        self.click(self.control(viewer, "push button", "閉じる"))
        s.wait_for(lambda: not any(bus.name(w).endswith("/" + LONG_NOTE)
                                   for w in bus.windows(s.app())), "the viewer to close")
        s.wait_for(lambda: self.selected(pane) == HIT_LINE,
                   lambda: f"the hit line selected in the pane (selected: "
                   f"{self.selected(pane)!r})")
        self.check(b"[form4]" in read_bytes(os.path.join(s.copy, "Quelvra.ini")),
                   "the viewer's placement was not written on closing")
        s.screenshot("closed")

        self.step("close the program")
        code = s.stop_program()
        self.check(code == 0, f"the program ended with exit code {code}")

    # ---- helpers of the steps ----------------------------------------------------------

    def selected(self, acc):
        v = bus.TextView(acc)
        if not v.selections:
            return ""
        a, b = v.selections[0]
        return v.text[a:b]

    def visible(self, doc, what):
        """The selection's first character lies inside the document's area on the screen."""
        v = bus.TextView(doc)
        self.check(v.selections, f"{what}: nothing selected")
        start = v.selections[0][0]
        x, y, w, h = v.char_extents(start)
        dx, dy, dw, dh = bus.extents(doc)
        self.check(h > 0 and dy <= y and y + h <= dy + dh and dx <= x < dx + dw,
                   f"{what} is not on screen: its first character at {(x, y, w, h)}, "
                   f"the document at {(dx, dy, dw, dh)}")

    def click_into_document(self, doc, offset):
        """A click on the left part of the document's character at `offset`: the caret goes
        before it, and the document has the focus."""
        x, y, w, h = bus.TextView(doc).char_extents(offset)
        self.check(w > 0 and h > 0, f"no extents for the document's character {offset}")
        self.s.click_at(x + max(1, w // 4), y + h // 2)
        self.s.wait_for(lambda: bus.has_state(doc, bus.pyatspi.STATE_FOCUSED),
                        "the focus in the document")
        self.s.wait_for(lambda: bus.TextView(doc).caret == offset,
                        lambda: f"the caret at {offset} (it is at {bus.TextView(doc).caret})")
        self.s.wait_for(lambda: self.s.heard("object:text-caret-moved", "本文",
                                             lambda e: e.detail1 == offset),
                        f"the caret's move to {offset} to be told on the bus")

    def open(self, viewer, what):
        """Fails at once when the viewer is no longer on screen: `what` closed it."""
        self.check(any(bus.name(w) == bus.name(viewer) for w in bus.windows(self.s.app())),
                   f"{what} closed the viewer")
        return True

    def message_or(self, probe):
        self.no_message_box()
        return probe()


def same_text(bus_text, note_text):
    """The document's text on the bus against the note's: the same characters, whatever line
    ends each uses."""
    def norm(t):
        return t.replace("\r\n", "\n").replace("\r", "\n").rstrip("\n")
    return norm(bus_text) == norm(note_text)


def line_offset(text, index):
    """Where line `index` (0-based) starts in `text`, whatever its line ends."""
    offset = 0
    for _ in range(index):
        offset = text.index("\n", offset) + 1
    return offset


def first_difference(got, want):
    """Where two notes' bytes part: the byte, and the line on each side as text."""
    i = next((k for k in range(min(len(got), len(want))) if got[k] != want[k]),
             min(len(got), len(want)))
    line = got.count(b"\n", 0, i)

    def text(note):
        lines = note.split(b"\n")
        return lines[line].decode("cp932", errors="replace") if line < len(lines) else "(none)"
    return (f"{len(got)} bytes against {len(want)}; they part at byte {i}, on line {line + 1}:\n"
            f"  saved:    {text(got)!r}\n"
            f"  expected: {text(want)!r}")


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    program_dir, out_dir = sys.argv[1:]
    started = time.monotonic()
    session = Session(program_dir, out_dir)
    scenario = Scenario(session)
    ok = False
    try:
        session.start(prepare, typed="".join(KEYWORDS) + SEARCH_TEXT + CORRECTION)
        global bus
        import bus
        scenario.run()
        ok = True
    except Exception as e:
        print(f"\nFAILED at step: {scenario.steps[-1] if scenario.steps else 'start'}",
              flush=True)
        print(f"{type(e).__name__}: {e}" if not isinstance(e, Failure) else str(e))
        if not isinstance(e, Failure):
            traceback.print_exc()
        report(session)
    finally:
        session.close(keep_folder=not ok)
    took = time.monotonic() - started
    print(f"\n{'1 passed, 0 failed' if ok else '0 passed, 1 failed'} ({took:.1f} s)")
    return 0 if ok else 1


def report(session):
    """What was on the bus and on the screen when a check failed."""
    try:
        shot = session.screenshot("failure")
        if shot:
            print(f"screenshot: {shot}")
    except Exception as e:
        print(f"(no screenshot: {e})")
    try:
        if bus and session.program is not None and session.program.poll() is None:
            print("\nthe program on the accessibility bus:")
            print(bus.describe(session.app()))
    except Exception as e:
        print(f"(could not read the bus: {e})")
    log = session.program_log()
    if log.strip():
        print("\nthe program's output (last lines):")
        print(log[-4000:])
    print(f"\nscreenshots and logs: {session.out_dir}")
    print(f"the program's folder as the test left it: {session.left_folder()}")


if __name__ == "__main__":
    sys.exit(main())
