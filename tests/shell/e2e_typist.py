#!/usr/bin/env python3
"""Types capital letters into the focused window of the X display, each in a line of its own,
and writes when each key went down: "LETTER BEFORE AFTER", seconds since the epoch, one a line.

  e2e_typist.py OUT SECONDS WELL LETTER...

BEFORE is read just before the key is sent and AFTER once the X server has taken it (a round
trip), both in this one process: no program is started between them, so on a busy machine the
moment of a key is known within a millisecond or two instead of the tens of milliseconds that
starting a key-sending program takes. A key whose two moments lie more than 45 ms apart was
typed while the machine stalled; typing goes on until WELL keys were well timed, the letters run
out or SECONDS have passed. Talks to libX11 and libXtst through ctypes (both come with xdotool).
"""

import ctypes
import random
import sys
import time


def main():
    out, seconds, well_wanted, letters = sys.argv[1], float(sys.argv[2]), int(sys.argv[3]), sys.argv[4:]
    x11 = ctypes.CDLL("libX11.so.6")
    xtst = ctypes.CDLL("libXtst.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XStringToKeysym.restype = ctypes.c_ulong
    x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
    x11.XKeysymToKeycode.restype = ctypes.c_ubyte
    x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("e2e_typist: cannot open the X display")

    def code(name):
        keycode = x11.XKeysymToKeycode(display, x11.XStringToKeysym(name.encode()))
        if not keycode:
            sys.exit("e2e_typist: no key for " + name)
        return keycode

    def tap(keycode, shift=False):
        if shift:
            xtst.XTestFakeKeyEvent(display, shift_code, 1, 0)
        xtst.XTestFakeKeyEvent(display, keycode, 1, 0)
        xtst.XTestFakeKeyEvent(display, keycode, 0, 0)
        if shift:
            xtst.XTestFakeKeyEvent(display, shift_code, 0, 0)
        x11.XSync(display, 0)

    shift_code = code("Shift_L")
    enter = code("Return")
    started = time.monotonic()
    well = 0
    with open(out, "a") as keys:
        for letter in letters:
            if well >= well_wanted or time.monotonic() - started >= seconds:
                break
            tap(enter)
            # The new line settles first; then a random wait puts the key anywhere between clicks.
            time.sleep(0.4 + 0.1 * random.randrange(5))
            letter_code = code(letter.lower())
            before = time.time()
            tap(letter_code, shift=True)
            after = time.time()
            keys.write("%s %.6f %.6f\n" % (letter, before, after))
            keys.flush()
            if after - before <= 0.045:
                well += 1
            time.sleep(0.2)
    x11.XCloseDisplay(display)


if __name__ == "__main__":
    main()
