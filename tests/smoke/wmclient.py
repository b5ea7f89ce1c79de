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

from ctypes import c_int, c_long, c_ulong, c_void_p


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", c_int), ("serial", c_ulong), ("send_event", c_int),
                ("display", c_void_p), ("window", c_ulong), ("message_type", c_ulong),
                ("format", c_int), ("data", c_long * 5), ("pad", c_long * 12)]  # an XEvent


xlib = ctypes.CDLL("libX11.so.6")
xlib.XOpenDisplay.restype = c_void_p
xlib.XInternAtom.restype = c_ulong
xlib.XDefaultRootWindow.restype = c_ulong
display = c_void_p(xlib.XOpenDisplay(None)) or sys.exit("cannot open the display")
window, request = int(sys.argv[1], 0), sys.argv[2]
protocol = b"_NET_WM_PING" if request == "ping" else b"WM_DELETE_WINDOW"
message = ClientMessage(type=33, window=window, format=32,
                        message_type=xlib.XInternAtom(display, b"WM_PROTOCOLS", 0))
message.data[:3] = [xlib.XInternAtom(display, protocol, 0), int(time.time()) & 0xFFFFFFF, window]
# The answer goes to the root window, for those who watch it or its children
# (toolkits differ in which): StructureNotify and SubstructureNotify.
root = xlib.XDefaultRootWindow(display)
xlib.XSelectInput(display, c_ulong(root), c_long((1 << 17) | (1 << 19)))
xlib.XSendEvent(display, c_ulong(window), 0, c_long(0), ctypes.byref(message))
xlib.XFlush(display)
if request != "ping":
    sys.exit(0)
started = time.monotonic()
answer = ClientMessage()
while time.monotonic() < started + 1.5:
    while xlib.XPending(display):
        xlib.XNextEvent(display, ctypes.byref(answer))
        if answer.type == 33 and list(answer.data[:3]) == list(message.data[:3]):
            print("answered _NET_WM_PING in %d ms" % ((time.monotonic() - started) * 1000))
            sys.exit(0)
    select.select([xlib.XConnectionNumber(display)], [], [], 0.05)
sys.exit("no answer to _NET_WM_PING within 1.5 s")
