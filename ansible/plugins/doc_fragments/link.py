# -*- coding: utf-8 -*-
# SPDX-License-Identifier: MIT
# The options of the board's line, shared by every module of the collection.

from __future__ import absolute_import, division, print_function
__metaclass__ = type


class ModuleDocFragment(object):

    DOCUMENTATION = r'''
options:
  port:
    description:
      - The board's line on the managed host, as C(kx9ctl --port) takes it.
      - C(COM1)..C(COM8) (the file C(COMn) in I(chdir) when there, else the device chosen
        for it in the configurator, else C(/dev/ttyS<n-1>)), any device path, or a name in
        C(/dev/serial/by-id).
    type: str
    required: true
  address:
    description:
      - The board's address, 1..247.
      - When not given, the address of the configuration file (M(kx9.board.config)) or of
        C(def.cfg) in I(chdir) (the other modules), else 1, as C(kx9ctl) takes it.
    type: int
  baud:
    description:
      - Rate in bit/s; when not given, as for I(address).
    type: int
    choices: [2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200]
  frame:
    description:
      - Character frame; when not given, as for I(address).
    type: str
    choices: [8N1, 8N2, 8E1, 8O1]
  timeout:
    description:
      - Reply time-out in milliseconds, 100..20000; when not given, as for I(address).
    type: int
  fast:
    description:
      - The same requests and pauses the board needs, but each reply is taken the moment it is
        in (C(kx9ctl --fast)).
    type: bool
    default: false
  chdir:
    description:
      - The working folder of C(kx9ctl) on the host, where its C(def.cfg) (the link settings
        it starts from, and the page names it keeps) and its C(COMn) links are.
    type: path
    default: '~'
  executable:
    description:
      - The C(kx9ctl) program on the host; by default the one found on the search path.
    type: path
notes:
  - Runs C(kx9ctl --json) on the managed host; the host needs the kx9-konfigurator package.
  - A board that fails fails its task with kx9ctl's message and details in C(msg); other hosts
    go on.
'''
