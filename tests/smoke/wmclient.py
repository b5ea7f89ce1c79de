#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright 2026 The Vrillo developers
"""Asks a window what a window manager would, through libX11 itself.

usage: wmclient.py WINDOW ping   sends _NET_WM_PING and waits up to 1.5 s for
                                 the answer on the root window; exits 1 if none
       wmclient.py WINDOW close  sends WM_DELETE_WINDOW, as a frame's close box
"""
import ctypes
import select
import sys
import time

STRUCTURE_NOTIFY_MASK = 1 << 17
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
CLIENT_MESSAGE = 33


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class Event(ctypes.Union):
    # XEvent is 24 longs, whatever kind it holds.
    _fields_ = [("message", ClientMessage), ("pad", ctypes.c_long * 24)]


xlib = ctypes.CDLL("libX11.so.6")
xlib.XOpenDisplay.restype = ctypes.c_void_p
xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
xlib.XDefaultRootWindow.restype = ctypes.c_ulong
xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
xlib.XInternAtom.restype = ctypes.c_ulong
xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
xlib.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                            ctypes.POINTER(Event)]
xlib.XFlush.argtypes = [ctypes.c_void_p]
xlib.XPending.argtypes = [ctypes.c_void_p]
xlib.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(Event)]
xlib.XConnectionNumber.argtypes = [ctypes.c_void_p]


def send(display, window, protocol, stamp):
    event = Event()
    event.message.type = CLIENT_MESSAGE
    event.message.window = window
    event.message.message_type = xlib.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.message.format = 32
    event.message.data[0] = protocol
    event.message.data[1] = stamp
    event.message.data[2] = window
    xlib.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    xlib.XFlush(display)


def answered(display, ping, stamp, window, seconds):
    deadline = time.monotonic() + seconds
    event = Event()
    while True:
        while xlib.XPending(display):
            xlib.XNextEvent(display, ctypes.byref(event))
            message = event.message
            if (message.type == CLIENT_MESSAGE and message.data[0] == ping
                    and message.data[1] == stamp and message.data[2] == window):
                return True
        left = deadline - time.monotonic()
        if left <= 0:
            return False
        select.select([xlib.XConnectionNumber(display)], [], [], left)


def main():
    window, request = int(sys.argv[1], 0), sys.argv[2]
    display = xlib.XOpenDisplay(None)
    if not display:
        sys.exit("cannot open the display")
    if request == "close":
        send(display, window, xlib.XInternAtom(display, b"WM_DELETE_WINDOW", 0), 0)
        return
    ping = xlib.XInternAtom(display, b"_NET_WM_PING", 0)
    # The answer goes to the root window, for those who watch it or its
    # children (toolkits differ in which).
    xlib.XSelectInput(display, xlib.XDefaultRootWindow(display),
                      STRUCTURE_NOTIFY_MASK | SUBSTRUCTURE_NOTIFY_MASK)
    stamp = int(time.monotonic() * 1000) & 0xFFFFFFFF
    started = time.monotonic()
    send(display, window, ping, stamp)
    if not answered(display, ping, stamp, window, 1.5):
        sys.exit("no answer to _NET_WM_PING within 1.5 s")
    print("answered _NET_WM_PING in %d ms" % ((time.monotonic() - started) * 1000))


main()
