#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: MIT

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: graphic
short_description: One graphic page of a KX9 board
version_added: 1.1.0
description:
  - Graphic page I(slot) of the KX9 board at I(port) and I(address) shows the picture I(src)
    (on the controller) or I(path) (on the managed host), drawn at the board's graphic size
    and sent as C(kx9ctl graphic) sends it.
  - The board cannot give its graphic pages back. What it holds is judged by a checksum
    (SHA-256 of the picture file's bytes) of what was last sent to that page of that board,
    kept on the host in I(state_file) under the board's port, address and page. When the
    checksum kept is the picture's, nothing is sent and the result is C(changed=false).
  - The checksum is kept only after a send that succeeded, and dropped when a send fails (the
    page may then hold part of a picture). A board replaced, or written by other means (the
    configurator, C(kx9ctl) by hand), is not noticed; use I(force) then.
extends_documentation_fragment:
  - kx9.board.link
options:
  slot:
    description:
      - The graphic page, 115..124, or its slot 0..9.
    type: int
    required: true
  src:
    description:
      - The picture on the controller (BMP, ICO, PNG, JPEG, GIF or SVG), found as the C(copy)
        module finds its files; it is copied to the host for the run.
      - One of I(src) and I(path) is required.
    type: path
  path:
    description:
      - The picture on the managed host.
    type: path
  state_file:
    description:
      - The file on the host that keeps the checksum of what was last sent to each graphic
        page of each board (JSON, written whole by rename). Its folder is made when missing.
    type: path
    default: ~/.local/state/kx9-board/graphics.json
  force:
    description:
      - Send the picture whatever the state file says.
    type: bool
    default: false
attributes:
  check_mode:
    support: full
    description: The state file is compared; nothing is sent or kept.
  diff_mode:
    support: full
    description: The checksum kept and the picture's.
author:
  - KX9 Konfigurator developers (@kx9)
'''

EXAMPLES = r'''
- name: The logo on graphic page 115
  kx9.board.graphic:
    port: /dev/ttyUSB0
    address: 3
    slot: 115
    src: files/logo.png
'''

RETURN = r'''
page:
  description: The graphic page, 115..124.
  returned: success
  type: int
  sample: 115
checksum:
  description: SHA-256 of the picture file.
  returned: success
  type: str
kept:
  description: The checksum the state file held for this page before the run (none when none).
  returned: success
  type: str
size:
  description: The board's graphic size the picture was drawn at, when it was sent.
  returned: changed and not check mode
  type: dict
  sample: {width: 120, height: 40}
'''

import json
import os
import tempfile

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kx9.board.plugins.module_utils.kx9ctl import Kx9ctl, board_name, link_argument_spec

FIRST_GRAPHIC_PAGE = 115


def state_key(params, page):
    address = params['address']
    return '%s|%s|%d' % (params['port'], '' if address is None else address, page)


def load_state(module, path):
    if not os.path.exists(path):
        return {}
    try:
        with open(path, 'r') as f:
            state = json.load(f)
    except (IOError, OSError, ValueError) as e:
        module.fail_json(msg='The state file %s cannot be read: %s' % (path, e))
    if not isinstance(state, dict):
        module.fail_json(msg='The state file %s holds no JSON object' % path)
    return state


def save_state(module, path, state):
    folder = os.path.dirname(path) or '.'
    try:
        if not os.path.isdir(folder):
            os.makedirs(folder)
        fd, temp = tempfile.mkstemp(prefix='.graphics-', dir=folder)
        with os.fdopen(fd, 'w') as f:
            json.dump(state, f, indent=1, sort_keys=True)
    except (IOError, OSError) as e:
        module.fail_json(msg='The state file %s cannot be written: %s' % (path, e))
    module.atomic_move(temp, path)


def main():
    args = link_argument_spec()
    args.update(slot=dict(type='int', required=True), src=dict(type='path'), path=dict(type='path'),
                state_file=dict(type='path', default='~/.local/state/kx9-board/graphics.json'),
                force=dict(type='bool', default=False))
    module = AnsibleModule(argument_spec=args, supports_check_mode=True,
                           mutually_exclusive=[('src', 'path')], required_one_of=[('src', 'path')])
    p = module.params
    slot = p['slot']
    if not (0 <= slot <= 9 or FIRST_GRAPHIC_PAGE <= slot <= FIRST_GRAPHIC_PAGE + 9):
        module.fail_json(msg='slot must be a graphic page 115..124 or a slot 0..9')
    page = slot if slot >= FIRST_GRAPHIC_PAGE else FIRST_GRAPHIC_PAGE + slot
    picture = p['path']
    if picture is None:
        module.fail_json(msg='src is copied from the controller by the kx9.board.graphic action; '
                             'give path for a picture on the host')
    if not os.path.isfile(picture):
        module.fail_json(msg='No picture at %s on the host' % picture)
    kx9 = Kx9ctl(module)
    board = board_name(module)
    state_file = p['state_file']
    checksum = module.sha256(picture)
    state = load_state(module, state_file)
    key = state_key(p, page)
    kept = (state.get(key) or {}).get('sha256')

    result = dict(changed=p['force'] or kept != checksum, page=page, checksum=checksum, kept=kept)
    if module._diff:
        result['diff'] = dict(before='%s\n' % (kept or '(nothing sent)'), after='%s\n' % checksum,
                              before_header='%s, page %d, as last sent' % (board, page),
                              after_header=picture)
    if not result['changed'] or module.check_mode:
        module.exit_json(**result)

    rc, sent, err = kx9.run(['graphic', str(page), picture])
    if rc != 0:
        # The page may hold part of the picture now: it holds nothing the state file knows.
        if state.pop(key, None) is not None:
            save_state(module, state_file, state)
        kx9.fail('Sending %s to page %d of %s failed' % (picture, page, board), rc, sent, err)
    state[key] = dict(sha256=checksum, width=sent.get('width'), height=sent.get('height'))
    save_state(module, state_file, state)
    result['size'] = dict(width=sent.get('width'), height=sent.get('height'))
    module.exit_json(**result)


if __name__ == '__main__':
    main()
