#!/usr/bin/python3
"""Prints what a screen reader learns of an application's windows over AT-SPI, one line per
accessible object: its role, its name, its text (for objects with a text interface) and whether
it is focused or selected, separated by tabs and indented by depth. Controls without a name are
listed again at the end, after a line "unnamed:".

Usage: accessible-tree.py APPLICATION_NAME
Exits 1 when no application of that name is registered with the accessibility bus."""

import sys

import pyatspi

# Controls a screen reader announces by their name; scroll bars it announces by their role alone.
NAMED_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY,
    pyatspi.ROLE_PASSWORD_TEXT, pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_TABLE,
    pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_LIST, pyatspi.ROLE_PAGE_TAB_LIST, pyatspi.ROLE_PAGE_TAB,
    pyatspi.ROLE_PROGRESS_BAR, pyatspi.ROLE_SLIDER, pyatspi.ROLE_IMAGE, pyatspi.ROLE_ICON,
}
TEXT_ROLES = {pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_PASSWORD_TEXT}


def text_of(node):
    try:
        text = node.queryText()
    except NotImplementedError:
        return ""
    return text.getText(0, -1)


def describe(node):
    states = node.getState()
    marks = [name for state, name in ((pyatspi.STATE_FOCUSED, "focused"),
                                      (pyatspi.STATE_SELECTED, "selected")) if states.contains(state)]
    text = text_of(node) if node.getRole() in TEXT_ROLES else ""
    return "\t".join([node.getRoleName(), node.name or "", text, ",".join(marks)])


def walk(node, depth, unnamed, path):
    print("  " * depth + describe(node))
    if node.getRole() in NAMED_ROLES and not node.name:
        unnamed.append(f"{node.getRoleName()} at {'/'.join(path)}")
    # Table cells can be many; the rows on screen are all the test needs.
    for index in range(min(node.childCount, 200)):
        child = node.getChildAtIndex(index)
        if child is not None:
            walk(child, depth + 1, unnamed, path + [child.name or child.getRoleName()])


def main():
    wanted = sys.argv[1]
    desktop = pyatspi.Registry.getDesktop(0)
    applications = [app for app in desktop if app is not None and app.name == wanted]
    if not applications:
        found = [app.name for app in desktop if app is not None]
        print(f"no application named {wanted!r} on the accessibility bus, only {found}", file=sys.stderr)
        return 1
    unnamed = []
    for application in applications:
        walk(application, 0, unnamed, [application.name])
    print("unnamed:")
    for line in unnamed:
        print(line)
    return 0


if __name__ == "__main__":
    sys.exit(main())
