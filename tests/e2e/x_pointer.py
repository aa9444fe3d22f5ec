#!/usr/bin/env python3
"""The mouse pointer as the X server has it, for the end-to-end driver under Wine.

  x_pointer.py move X Y DONE   moves the pointer as a mouse would (XTEST, libXtst), then writes DONE
  x_pointer.py image DONE      writes the pointer's size, hot spot and a CRC-32 of its
                               ARGB pixels (XFIXES) to DONE

Wine starts scripts with a #! line as Unix programs, but gives the driver no process to
wait for, so every answer is a file written whole (DONE: a Unix path or a Windows path
of the prefix in $WINEPREFIX). Why this is needed at all: a pointer move made with
SendInput makes Wine warp the X pointer, and the motion events that come back from the
X server can arrive after the next move and carry the pointer back; and Wine cannot
describe another process's cursor.
"""
import ctypes
import ctypes.util
import os
import sys
import zlib


def unix_path(path):
    if len(path) > 2 and path[1] == ":":
        drive = os.path.join(os.environ["WINEPREFIX"], "dosdevices", path[0].lower() + ":")
        return os.path.join(drive, path[3:].replace("\\", "/"))
    return path


def answer(path, line):
    path = unix_path(path)
    with open(path + ".part", "w") as file:
        file.write(line + "\n")
    os.replace(path + ".part", path)


class CursorImage(ctypes.Structure):
    _fields_ = [
        ("x", ctypes.c_short), ("y", ctypes.c_short),
        ("width", ctypes.c_ushort), ("height", ctypes.c_ushort),
        ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
        ("cursor_serial", ctypes.c_ulong),
        ("pixels", ctypes.POINTER(ctypes.c_ulong)),  # one ARGB value per long
        ("atom", ctypes.c_ulong), ("name", ctypes.c_char_p),
    ]


def library(name, soname):
    return ctypes.CDLL(ctypes.util.find_library(name) or soname)


def open_display(x11):
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("x_pointer: cannot open the display")
    return display


def fake_motion(x, y):
    x11, xtst = library("X11", "libX11.so.6"), library("Xtst", "libXtst.so.6")
    display = open_display(x11)
    xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    # Screen -1: the one the pointer is on; delay 0: now. XSync returns once the server has done it.
    if not xtst.XTestFakeMotionEvent(display, 0, x, y, 0):
        sys.exit("x_pointer: the X server has no XTEST")
    x11.XSync(display, 0)
    x11.XCloseDisplay(display)


def cursor_image():
    x11, xfixes = library("X11", "libX11.so.6"), library("Xfixes", "libXfixes.so.3")
    x11.XFree.argtypes = [ctypes.c_void_p]
    xfixes.XFixesQueryExtension.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int)]
    xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(CursorImage)
    xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]

    display = open_display(x11)
    event, error = ctypes.c_int(), ctypes.c_int()
    if not xfixes.XFixesQueryExtension(display, ctypes.byref(event), ctypes.byref(error)):
        sys.exit("x_pointer: the X server has no XFIXES")
    image_pointer = xfixes.XFixesGetCursorImage(display)
    if not image_pointer:
        sys.exit("x_pointer: no cursor image")
    image = image_pointer.contents
    pixels = b"".join((image.pixels[i] & 0xFFFFFFFF).to_bytes(4, "little")
                      for i in range(image.width * image.height))
    line = f"{image.width}x{image.height} hot {image.xhot},{image.yhot} crc {zlib.crc32(pixels):08x}"
    x11.XFree(image_pointer)
    x11.XCloseDisplay(display)
    return line


def main():
    command = sys.argv[1] if len(sys.argv) > 1 else ""
    if command == "move" and len(sys.argv) == 5:
        fake_motion(int(sys.argv[2]), int(sys.argv[3]))
        answer(sys.argv[4], "moved")
    elif command == "image" and len(sys.argv) == 3:
        answer(sys.argv[2], cursor_image())
    else:
        sys.exit(__doc__)


main()
