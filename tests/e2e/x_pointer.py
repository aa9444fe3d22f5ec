#!/usr/bin/env python3
"""The mouse pointer as the X server has it, for the end-to-end driver under Wine.

  x_pointer.py move X Y DONE   moves the pointer as a mouse would (XTEST), then writes DONE
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
import socket
import struct
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


class XConnection:
    """Just enough of the X protocol to use XTEST, which libX11 alone does not offer."""

    def __init__(self):
        display = os.environ["DISPLAY"]
        number = display.split(":")[1].split(".")[0]
        self.socket = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.socket.connect(f"/tmp/.X11-unix/X{number}")
        # Little-endian, protocol 11.0, no authorisation (the test's Xvfb asks for none).
        self.socket.sendall(struct.pack("<BxHHHHxx", ord("l"), 11, 0, 0, 0))
        status, _, _, _, extra = struct.unpack("<BBHHH", self.receive(8))
        self.receive(extra * 4)
        if status != 1:
            sys.exit("x_pointer: the X server refused the connection")

    def receive(self, size):
        data = b""
        while len(data) < size:
            chunk = self.socket.recv(size - len(data))
            if not chunk:
                sys.exit("x_pointer: the X server closed the connection")
            data += chunk
        return data

    def reply(self):
        data = self.receive(32)
        if data[0] != 1:
            sys.exit(f"x_pointer: X error {data[1]}")
        extra = struct.unpack_from("<I", data, 4)[0]
        return data + self.receive(extra * 4)

    def extension_opcode(self, name):
        padded = name.encode() + b"\0" * (-len(name) % 4)
        self.socket.sendall(struct.pack("<BxHHxx", 98, 2 + len(padded) // 4, len(name)) + padded)
        data = self.reply()
        if not data[8]:
            sys.exit(f"x_pointer: the X server has no {name}")
        return data[9]

    def fake_motion(self, x, y):
        xtest = self.extension_opcode("XTEST")
        motion_notify = 6
        # FakeInput: type, detail (0: absolute), time (0: now), root (0: the pointer's screen).
        self.socket.sendall(struct.pack("<BBHBBxxIIxxxxxxxxhhxxxxxxxB", xtest, 2, 9, motion_notify, 0, 0, 0, x, y, 0))
        # GetInputFocus has a reply: when it comes, the motion has been done.
        self.socket.sendall(struct.pack("<BxH", 43, 1))
        self.reply()


class CursorImage(ctypes.Structure):
    _fields_ = [
        ("x", ctypes.c_short), ("y", ctypes.c_short),
        ("width", ctypes.c_ushort), ("height", ctypes.c_ushort),
        ("xhot", ctypes.c_ushort), ("yhot", ctypes.c_ushort),
        ("cursor_serial", ctypes.c_ulong),
        ("pixels", ctypes.POINTER(ctypes.c_ulong)),  # one ARGB value per long
        ("atom", ctypes.c_ulong), ("name", ctypes.c_char_p),
    ]


def cursor_image():
    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    xfixes = ctypes.CDLL(ctypes.util.find_library("Xfixes") or "libXfixes.so.3")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x11.XFree.argtypes = [ctypes.c_void_p]
    xfixes.XFixesQueryExtension.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int)]
    xfixes.XFixesGetCursorImage.restype = ctypes.POINTER(CursorImage)
    xfixes.XFixesGetCursorImage.argtypes = [ctypes.c_void_p]

    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("x_pointer: cannot open the display")
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
        XConnection().fake_motion(int(sys.argv[2]), int(sys.argv[3]))
        answer(sys.argv[4], "moved")
    elif command == "image" and len(sys.argv) == 3:
        answer(sys.argv[2], cursor_image())
    else:
        sys.exit(__doc__)


main()
