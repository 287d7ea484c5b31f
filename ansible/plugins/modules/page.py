#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: MIT

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: page
short_description: One text page of a KX9 board
version_added: 1.1.0
description:
  - Text page I(number) of the KX9 board at I(port) and I(address) shows I(lines), laid out for
    the board's geometry as C(kx9ctl page) lays them out.
  - The board's page is read back and compared first (C(kx9ctl page --verify)), and when it already
    shows the lines (a blank and an empty place count alike) and the name is the one kept,
    nothing is written and the result is C(changed=false). Otherwise the page is written and
    read back again.
  - Reading the page back selects it in the page selector register 4162; nothing else is
    written then.
  - The board keeps no page names; C(kx9ctl) keeps the page and its I(name) in C(def.cfg) in
    I(chdir), as the configurator does.
extends_documentation_fragment:
  - kx9.board.link
options:
  number:
    description:
      - The text page, 0..114.
    type: int
    required: true
  lines:
    description:
      - The page's lines, at most as many as the board shows (five at most); none is an
        empty page.
      - Each line holds characters the board can show (Polish letters included) and at most
        as many as a line of the board holds.
    type: list
    elements: str
    default: []
  name:
    description:
      - The page's name, at most 32 characters, kept in C(def.cfg); when not given the name
        is not compared and stays as it is.
    type: str
attributes:
  check_mode:
    support: full
    description: The page is read and compared; nothing is written.
  diff_mode:
    support: full
    description: The page's lines on the board and as wanted.
author:
  - KX9 Konfigurator developers (@kx9)
'''

EXAMPLES = r'''
- name: Page 5 greets the visitors
  kx9.board.page:
    port: /dev/ttyUSB0
    address: 3
    number: 5
    name: Witamy
    lines:
      - Witamy
      - w hali
'''

RETURN = r'''
board:
  description: The page's lines as the board showed them before any write.
  returned: success
  type: list
  elements: str
  sample: ["Witamy", "w sali"]
name_changed:
  description: The name kept in C(def.cfg) was another one.
  returned: success
  type: bool
written:
  description: Whether the page was written to the board (never in check mode).
  returned: always
  type: bool
'''

import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kx9.board.plugins.module_utils.kx9ctl import (
    DONE, BAD_USAGE, Kx9ctl, board_name, differs, diff_text, link_argument_spec, page_text)


def kept_name(kx9, number):
    """The name C(def.cfg) keeps for the page; None without a C(def.cfg)."""
    if not os.path.exists(os.path.join(kx9.chdir, 'def.cfg')):
        return None
    dump = kx9.checked(['dump', 'def.cfg'], 'def.cfg in %s cannot be read' % kx9.chdir, board=False)
    for page in dump.get('pages', []):
        if page.get('page') == number:
            return page.get('name')
    return None


def main():
    args = link_argument_spec()
    args.update(number=dict(type='int', required=True), lines=dict(type='list', elements='str', default=[]),
                name=dict(type='str'))
    module = AnsibleModule(argument_spec=args, supports_check_mode=True)
    number, lines, name = module.params['number'], module.params['lines'], module.params['name']
    if not 0 <= number <= 114:
        module.fail_json(msg='number must be a text page 0..114')
    if len(lines) > 5:
        module.fail_json(msg='a page has at most five lines')
    kx9 = Kx9ctl(module)
    board = board_name(module)
    # "--" keeps a line that starts with a dash a line.
    text = ['--'] + lines

    rc, check, err = kx9.run(['page', str(number), '--verify'] + text)
    if rc == BAD_USAGE:
        kx9.fail('Page %d cannot be set' % number, rc, check, err)
    if rc != DONE and not differs(rc, check):
        kx9.fail('Reading page %d of %s failed' % (number, board), rc, check, err)
    name_changed = name is not None and kept_name(kx9, number) != name
    result = dict(changed=rc != DONE or name_changed, board=check.get('board', []), name_changed=name_changed,
                  written=False)
    if module._diff:
        heading = 'Strona %03d' % number
        result['diff'] = dict(before=diff_text(page_text(heading, check.get('board', []))),
                              after=diff_text(page_text(heading, lines)),
                              before_header='board %s' % board, after_header='page %d' % number)
    if not result['changed'] or module.check_mode:
        module.exit_json(**result)

    named = ['--name', name] if name is not None else []
    kx9.checked(['page', str(number)] + named + text, 'Writing page %d to %s failed' % (number, board))
    result['written'] = True
    rc, after, err = kx9.run(['page', str(number), '--verify'] + text)
    if rc != DONE:
        kx9.fail('%s does not show page %d after the write' % (board, number), rc, after, err,
                 board=after.get('board', []), written=True)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
