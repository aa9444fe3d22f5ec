#!/usr/bin/env python3
# The mouse pointer as the X server has it, for the end-to-end driver under Wine.
#
#   x_pointer.py move X Y DONE   moves the pointer as a mouse would (XTEST, libXtst), then writes DONE
#   x_pointer.py image DONE      writes the pointer's size, hot spot and a CRC-32 of its
#                                ARGB pixels (XFIXES) to DONE
#
# Wine starts scripts with a #! line as Unix programs, but gives the driver no process to
# wait for, so every answer is a file written whole (DONE: a Unix path or a Windows path
# of the prefix in $WINEPREFIX). Why this is needed at all: a pointer move made with
# SendInput makes Wine warp the X pointer, and the motion events that come back from the
# X server can arrive after the next move and carry the pointer back; and Wine cannot
# describe another process's cursor.
import ctypes
import os
import sys
import zlib
from ctypes import POINTER, byref, c_char_p, c_int, c_short, c_ulong, c_ushort, c_void_p


class CursorImage(ctypes.Structure):
    _fields_ = [("x", c_short), ("y", c_short), ("width", c_ushort), ("height", c_ushort),
                ("xhot", c_ushort), ("yhot", c_ushort), ("cursor_serial", c_ulong),
                ("pixels", POINTER(c_ulong)),  # one ARGB value per long
                ("atom", c_ulong), ("name", c_char_p)]


# Every pointer goes to the libraries as a c_void_p, every other argument fits an int.
x11 = ctypes.CDLL("libX11.so.6")
x11.XOpenDisplay.restype = c_void_p


def fake_motion(display, x, y):
    # Screen 0, the display's only one; delay 0: now. XSync returns once the server has done it.
    if not ctypes.CDLL("libXtst.so.6").XTestFakeMotionEvent(display, 0, x, y, c_ulong(0)):
        sys.exit("x_pointer: the X server has no XTEST")
    x11.XSync(display, 0)
    return "moved"


def cursor_image(display):
    xfixes = ctypes.CDLL("libXfixes.so.3")
    xfixes.XFixesGetCursorImage.restype = POINTER(CursorImage)
    if not xfixes.XFixesQueryExtension(display, byref(c_int()), byref(c_int())):
        sys.exit("x_pointer: the X server has no XFIXES")
    image_pointer = xfixes.XFixesGetCursorImage(display) or sys.exit("x_pointer: no cursor image")
    image = image_pointer.contents
    pixels = b"".join((image.pixels[i] & 0xFFFFFFFF).to_bytes(4, "little") for i in range(image.width * image.height))
    line = f"{image.width}x{image.height} hot {image.xhot},{image.yhot} crc {zlib.crc32(pixels):08x}"
    x11.XFree(image_pointer)
    return line


def answer(path, line):
    if len(path) > 2 and path[1] == ":":
        drive = os.path.join(os.environ["WINEPREFIX"], "dosdevices", path[0].lower() + ":")
        path = os.path.join(drive, path[3:].replace("\\", "/"))
    with open(path + ".part", "w") as file:
        file.write(line + "\n")
    os.replace(path + ".part", path)


commands = {("move", 5): lambda display: fake_motion(display, int(sys.argv[2]), int(sys.argv[3])),
            ("image", 3): cursor_image}
usage = "usage: x_pointer.py move X Y DONE | image DONE"
work = commands.get((sys.argv[1] if len(sys.argv) > 1 else "", len(sys.argv))) or sys.exit(usage)
display = c_void_p(x11.XOpenDisplay(None) or sys.exit("x_pointer: cannot open the display"))
answer(sys.argv[-1], work(display))
x11.XCloseDisplay(display)
