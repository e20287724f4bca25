"""Reading the program's windows on the accessibility bus, as a screen reader does."""

import pyatspi


def role(acc):
    try:
        return acc.getRoleName()
    except Exception:
        return "?"


def name(acc):
    try:
        return acc.name or ""
    except Exception:
        return ""


def children(acc):
    try:
        n = acc.childCount
    except Exception:
        return []
    out = []
    for i in range(n):
        try:
            c = acc.getChildAtIndex(i)
        except Exception:
            c = None
        if c is not None:
            out.append(c)
    return out


def walk(acc, depth=0, max_depth=40):
    yield acc, depth
    if depth < max_depth:
        for c in children(acc):
            yield from walk(c, depth + 1, max_depth)


def find(root, role_name=None, name_is=None, where=None):
    """The first object under `root` (depth first) with this role and name."""
    for acc, _ in walk(root):
        if role_name is not None and role(acc) != role_name:
            continue
        if name_is is not None and name(acc) != name_is:
            continue
        if where is not None and not where(acc):
            continue
        return acc
    return None


def showing(acc):
    try:
        return acc.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def has_state(acc, state):
    try:
        return acc.getState().contains(state)
    except Exception:
        return False


def windows(app):
    """The program's top-level windows that are on screen."""
    return [w for w in children(app) if showing(w)]


def extents(acc):
    """(x, y, width, height) on the screen."""
    e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return e.x, e.y, e.width, e.height


def centre(acc):
    x, y, w, h = extents(acc)
    return x + w // 2, y + h // 2


class TextView:
    """What the text interface of one object says now: the whole text, the caret, the
    selections."""

    def __init__(self, acc):
        try:
            t = acc.queryText()
        except NotImplementedError:
            raise NotImplementedError(f"{role(acc)} '{name(acc)}' publishes no text") from None
        self.text = t.getText(0, -1)
        self.caret = t.caretOffset
        self.selections = [tuple(t.getSelection(i)) for i in range(t.getNSelections())]
        self._t = t

    def char_extents(self, offset):
        return tuple(self._t.getCharacterExtents(offset, pyatspi.DESKTOP_COORDS))

    def line_of(self, offset):
        """The line (without its line end) that holds `offset`, and where it starts."""
        start = max(self.text.rfind("\n", 0, offset), self.text.rfind("\r", 0, offset)) + 1
        end = len(self.text)
        for sep in ("\r", "\n"):
            i = self.text.find(sep, offset)
            if i >= 0:
                end = min(end, i)
        return self.text[start:end], start


def describe(acc, max_depth=40, text_limit=160):
    """The tree under `acc` as lines of role, name, states and (for text) text, caret and
    selections: what a failed check prints."""
    lines = []
    for node, depth in walk(acc, max_depth=max_depth):
        parts = [role(node), repr(name(node))]
        try:
            states = node.getState().getStates()
            keep = [s for s in states if s in (pyatspi.STATE_FOCUSED, pyatspi.STATE_SHOWING,
                                               pyatspi.STATE_SELECTED, pyatspi.STATE_ENABLED,
                                               pyatspi.STATE_EDITABLE, pyatspi.STATE_CHECKED)]
            parts.append("[" + ",".join(pyatspi.stateToString(s).lower() for s in keep) + "]")
        except Exception:
            pass
        try:
            x, y, w, h = extents(node)
            parts.append(f"@{x},{y} {w}x{h}")
        except Exception:
            pass
        try:
            v = TextView(node)
            shown = v.text if len(v.text) <= text_limit else v.text[:text_limit] + "…"
            parts.append(f"text[{len(v.text)}]={shown!r} caret={v.caret} sel={v.selections}")
        except Exception:
            pass
        lines.append("  " * depth + " ".join(parts))
    return "\n".join(lines)
