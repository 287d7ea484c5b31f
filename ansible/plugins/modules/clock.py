#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: MIT

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: clock
short_description: The clock of a KX9 board keeps the host's time
version_added: 1.1.0
description:
  - Reads the clock of the KX9 board at I(port) and I(address) (C(kx9ctl clock)) and sets it
    from the managed host's clock (C(kx9ctl clock --sync), or C(--minute)) when it is off by more
    than I(tolerance) seconds; otherwise the result is C(changed=false).
  - The board's clock counts minutes, so a board showing 10:15 is on time for any host time
    from 10:15:00 to 10:15:59; the offset is how far the host's time lies outside that minute.
    A board whose clock holds no valid time is always set.
  - The board's time is the host's local time, as the configurator sets it.
extends_documentation_fragment:
  - kx9.board.link
options:
  tolerance:
    description:
      - How many seconds the board may be off before it is set.
    type: int
    default: 60
  minute:
    description:
      - Set the board at the start of the next full minute (C(kx9ctl clock --minute)), so that
        its seconds start from zero; this waits up to a minute.
    type: bool
    default: false
attributes:
  check_mode:
    support: full
    description: The clock is read and compared; nothing is written.
  diff_mode:
    support: full
    description: The board's time and the host's.
author:
  - KX9 Konfigurator developers (@kx9)
'''

EXAMPLES = r'''
- name: The boards' clocks within two minutes of the host's
  kx9.board.clock:
    port: /dev/ttyUSB0
    address: "{{ item.address }}"
    tolerance: 120
  loop: "{{ kx9_boards }}"
'''

RETURN = r'''
board_clock:
  description: The board's time as read, before any setting.
  returned: success
  type: str
  sample: "2026-12-09 18:12"
host_clock:
  description: The host's time when the board was read.
  returned: success
  type: str
  sample: "2026-12-09 18:14:31"
offset:
  description: Seconds the board was off (none when its clock held no valid time).
  returned: success
  type: int
  sample: 91
clock:
  description: The board's time after it was set.
  returned: changed and not check mode
  type: str
'''

import datetime

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kx9.board.plugins.module_utils.kx9ctl import Kx9ctl, board_name, link_argument_spec

BOARD_TIME = '%Y-%m-%d %H:%M'


def offset_seconds(board_text, now):
    """How far `now` lies outside the board's minute; None for a time that is none."""
    try:
        board = datetime.datetime.strptime(board_text, BOARD_TIME)
    except (TypeError, ValueError):
        return None
    if now < board:
        return int((board - now).total_seconds())
    return max(0, int((now - board).total_seconds()) - 59)


def main():
    args = link_argument_spec()
    args.update(tolerance=dict(type='int', default=60), minute=dict(type='bool', default=False))
    module = AnsibleModule(argument_spec=args, supports_check_mode=True)
    if module.params['tolerance'] < 0:
        module.fail_json(msg='tolerance must be 0 or more seconds')
    kx9 = Kx9ctl(module)
    board = board_name(module)

    read = kx9.checked(['clock'], 'Reading the clock of %s failed' % board)
    now = datetime.datetime.now()
    board_clock = read.get('clock')
    offset = offset_seconds(board_clock, now)
    result = dict(changed=offset is None or offset > module.params['tolerance'], board_clock=board_clock,
                  host_clock=now.strftime('%Y-%m-%d %H:%M:%S'), offset=offset)
    if module._diff:
        result['diff'] = dict(before='%s\n' % board_clock, after='%s\n' % now.strftime(BOARD_TIME),
                              before_header='board %s' % board, after_header='host')
    if not result['changed'] or module.check_mode:
        module.exit_json(**result)

    mode = '--minute' if module.params['minute'] else '--sync'
    done = kx9.checked(['clock', mode], 'Setting the clock of %s failed' % board)
    result['clock'] = done.get('clock')
    module.exit_json(**result)


if __name__ == '__main__':
    main()
