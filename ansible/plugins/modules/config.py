#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: MIT

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: config
short_description: A KX9 board holds a configuration file
version_added: 1.1.0
description:
  - Makes the KX9 board at I(port) and I(address) hold the configuration file I(src) (on the
    controller) or I(path) (on the managed host), a 27386-byte C(.cfg) file of the configurator.
  - The board is read back and compared first (C(kx9ctl verify)), and when it already holds what a
    whole write of the file puts there, nothing is written and the result is C(changed=false).
    Otherwise the file is written (C(kx9ctl write)) and the board verified again.
  - What is compared is what C(kx9ctl verify) compares, every register the whole write sends
    and the 115 text pages. The board's own link settings, the clock, the status register and
    the page names (kept only on the PC) are not.
  - Reading the board back selects each page in the page selector register 4162; that is the
    only register written when the board already holds the file.
extends_documentation_fragment:
  - kx9.board.link
options:
  src:
    description:
      - The configuration file on the controller, found as the C(copy) module finds its
        files; it is copied to the host for the run.
      - One of I(src) and I(path) is required.
    type: path
  path:
    description:
      - The configuration file on the managed host.
    type: path
attributes:
  check_mode:
    support: full
    description: The board is read and compared; nothing is written.
  diff_mode:
    support: full
    description: The registers and pages that differ, named as C(kx9ctl verify) names them.
author:
  - KX9 Konfigurator developers (@kx9)
'''

EXAMPLES = r'''
- name: The hall's boards hold the hall's configuration
  kx9.board.config:
    port: /dev/ttyUSB0
    address: "{{ item.address }}"
    src: files/hall.cfg
  loop: "{{ kx9_boards }}"

- name: A file already on the host, at 9600 bit/s
  kx9.board.config:
    port: /dev/serial/by-id/usb-FTDI_FT232R-if00-port0
    address: 12
    baud: 9600
    frame: 8E1
    path: /srv/kx9/gate.cfg
'''

RETURN = r'''
differences:
  description: What the board held that differs from the file, before any write.
  returned: always
  type: dict
  contains:
    registers:
      description: Each register that differed, with its meaning, the file's and the board's value.
      type: list
      elements: dict
      sample: [{register: 4011, meaning: "Początek dnia", file: 600, board: 730,
                fileText: "06:00 (600)", boardText: "07:30 (730)"}]
    pages:
      description: Each text page whose text differed, with the file's and the board's lines.
      type: list
      elements: dict
      sample: [{page: 7, name: "Kasa", file: ["Kasa"], board: ["Kasy"]}]
written:
  description: Whether the file was written to the board (never in check mode).
  returned: always
  type: bool
  sample: true
line:
  description: The last kx9ctl run's requests, bytes each way, pauses and seconds.
  returned: always
  type: dict
  sample: {requests: 235, bytesOut: 2225, bytesIn: 25834, pausesMs: 700, seconds: 3.7}
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kx9.board.plugins.module_utils.kx9ctl import (
    BAD_USAGE, DONE, Kx9ctl, board_name, differs, diff_text, link_argument_spec, page_text)


def diff_of(path, name, verify):
    """The board's and the file's side of each difference, as kx9ctl verify names them."""
    before, after = [], []
    for reg in verify.get('registers', []):
        label = '%d  %s: ' % (reg['register'], reg['meaning'])
        before.append(label + reg.get('boardText', str(reg['board'])))
        after.append(label + reg.get('fileText', str(reg['file'])))
    for page in verify.get('pages', []):
        heading = 'Strona %03d "%s"' % (page['page'], page.get('name', ''))
        before += page_text(heading, page['board'])
        after += page_text(heading, page['file'])
    return dict(before=diff_text(before), after=diff_text(after),
                before_header='board %s' % name, after_header=path)


def main():
    args = link_argument_spec()
    args.update(src=dict(type='path'), path=dict(type='path'))
    module = AnsibleModule(argument_spec=args, supports_check_mode=True,
                           mutually_exclusive=[('src', 'path')], required_one_of=[('src', 'path')])
    path = module.params['path']
    if path is None:
        # The action plugin copies src to the host and names the copy in path.
        module.fail_json(msg='src is copied from the controller by the kx9.board.config action; '
                             'give path for a file on the host')
    kx9 = Kx9ctl(module)
    name = board_name(module)

    rc, verify, err = kx9.run(['verify', path])
    if rc == BAD_USAGE:
        kx9.fail('The file cannot be used', rc, verify, err)
    if rc != DONE and not differs(rc, verify):
        kx9.fail('Reading back %s failed' % name, rc, verify, err)
    found = dict(registers=verify.get('registers', []), pages=verify.get('pages', []))
    result = dict(changed=rc != DONE, differences=found, written=False, line=verify.get('line'))
    if module._diff:
        result['diff'] = diff_of(path, name, verify)
    if not result['changed'] or module.check_mode:
        module.exit_json(**result)

    write = kx9.checked(['write', path], 'Writing %s to %s failed' % (path, name))
    result.update(written=True, line=write.get('line'))
    rc, after, err = kx9.run(['verify', path])
    if rc != DONE:
        kx9.fail('%s does not hold %s after the write' % (name, path), rc, after, err,
                 differences=dict(registers=after.get('registers', []), pages=after.get('pages', [])),
                 written=True)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
