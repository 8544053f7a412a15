"""Reads the main window as a screen reader does, through AT-SPI.

Usage: atspi_tree.py CAPTION PID. Waits for the application window named
CAPTION (at most 20 s, and only while process PID runs) and checks what
assistive technology learns from it: a dialog (or frame) named by the
caption, a text box named by its label and a push button named by its
caption. Prints the tree it read; exits 1 when a check fails."""
import sys
import time

import pyatspi

caption, pid = sys.argv[1], int(sys.argv[2])


def running():
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except FileNotFoundError:
        return False


window = None
deadline = time.time() + 20
while window is None and time.time() < deadline and running():
    for application in pyatspi.Registry.getDesktop(0):
        for child in application or []:
            if child is not None and child.name == caption:
                window = child
    if window is None:
        time.sleep(0.2)
if window is None:
    sys.exit(f"no window named {caption!r} on the accessibility bus"
             + ("" if running() else " (the program has ended)"))

controls = []


def walk(node, depth):
    print("  " * depth + f"{node.getRoleName()} {node.name!r}")
    controls.append((node.getRoleName(), node.name))
    for child in node:
        walk(child, depth + 1)


walk(window, 0)
failures = []
if window.getRoleName() not in ("dialog", "frame"):
    failures.append(f"window role {window.getRoleName()!r}")
for expected in (("text", "Número Exame:"), ("push button", "Remover")):
    if expected not in controls:
        failures.append(f"no {expected[0]} named {expected[1]!r}")
for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
