#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: MIT

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: info
short_description: What a KX9 board says about itself, as facts
version_added: 1.1.0
description:
  - Asks the KX9 board at I(port) and I(address) for its identification (C(kx9ctl identify)),
    its status register (C(kx9ctl status)) and its clock (C(kx9ctl clock)), and returns them
    with the link settings used, as the fact C(kx9_board) and as C(board).
  - Reads only; nothing is written to the board.
  - Each run sets C(kx9_board) anew; with several boards on a host, C(register) the results
    of a loop.
extends_documentation_fragment:
  - kx9.board.link
attributes:
  check_mode:
    support: full
    description: Reads as in a normal run.
  diff_mode:
    support: none
    description: Nothing changes, so nothing differs.
  facts:
    support: full
    description: The board's answers as the fact C(kx9_board).
author:
  - KX9 Konfigurator developers (@kx9)
'''

EXAMPLES = r'''
- name: What the board at address 3 says
  kx9.board.info:
    port: /dev/ttyUSB0
    address: 3

- name: Its status bits
  ansible.builtin.debug:
    var: kx9_board.status.texts
'''

RETURN = r'''
ansible_facts:
  description: The board's answers.
  returned: success
  type: complex
  contains:
    kx9_board:
      description: The same as I(board).
      type: dict
board:
  description: The board's answers.
  returned: success
  type: dict
  contains:
    identification:
      description: The identification's text, whether a KX9 board answered, and its size in
        8x8 modules.
      type: dict
      sample: {text: "Uzyskano odpowiedź z KX9 ...", kx9: true, columns: 15, rows: 5}
    status:
      description: The status register, its error bits (15..10) that are set, and its six texts.
      type: dict
      sample: {value: 0, errors: [], texts: ["Pamięć SRAM....OK"]}
    clock:
      description: The board's time, C(YYYY-MM-DD HH:MM).
      type: str
      sample: "2026-12-09 18:12"
    link:
      description: The link settings used; those not given in the task come from C(def.cfg)
        in I(chdir), else from kx9ctl's defaults.
      type: dict
      sample: {port: /dev/ttyUSB0, address: 3, baud: 115200, frame: 8N2, timeout: 1000}
'''

import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kx9.board.plugins.module_utils.kx9ctl import Kx9ctl, board_name, link_argument_spec

# kx9ctl's own, without a def.cfg.
DEFAULT_LINK = dict(address=1, baud=115200, frame='8N2', timeout=1000)


def link_used(kx9, params):
    link = dict(DEFAULT_LINK)
    if os.path.exists(os.path.join(kx9.chdir, 'def.cfg')):
        kept = kx9.checked(['dump', 'def.cfg'], 'def.cfg in %s cannot be read' % kx9.chdir, board=False)
        settings = kept.get('link', {})
        link.update(address=settings.get('address'), baud=settings.get('baud'), frame=settings.get('frame'),
                    timeout=settings.get('timeoutMs'))
    for key in ('address', 'baud', 'frame', 'timeout'):
        if params[key] is not None:
            link[key] = params[key]
    link['port'] = params['port']
    return link


def main():
    module = AnsibleModule(argument_spec=link_argument_spec(), supports_check_mode=True)
    kx9 = Kx9ctl(module)
    board = board_name(module)

    identify = kx9.checked(['identify'], 'Identifying %s failed' % board)
    status = kx9.checked(['status'], 'Reading the status of %s failed' % board)
    clock = kx9.checked(['clock'], 'Reading the clock of %s failed' % board)
    value = status.get('status', 0)
    facts = dict(
        identification=dict(text=identify.get('identification'), kx9=identify.get('kx9'),
                            columns=identify.get('columns'), rows=identify.get('rows')),
        status=dict(value=value, errors=[bit for bit in range(15, 9, -1) if value & (1 << bit)],
                    texts=status.get('texts', [])),
        clock=clock.get('clock'),
        link=link_used(kx9, module.params))
    module.exit_json(changed=False, board=facts, ansible_facts=dict(kx9_board=facts))


if __name__ == '__main__':
    main()
