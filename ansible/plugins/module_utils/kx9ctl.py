# -*- coding: utf-8 -*-
# SPDX-License-Identifier: MIT
# What every module of the collection shares: the link options, running kx9ctl --json on the
# host, and a failure told with the program's own message and details.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json
import os

# kx9ctl's exit codes.
DONE = 0
BOARD_FAILED = 1  # the board or the line failed, or the board differs from what was asked
BAD_USAGE = 2     # a bad file or bad settings, found before anything was sent

BAUD_RATES = [2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200]
FRAMES = ['8N1', '8N2', '8E1', '8O1']


def link_argument_spec():
    """The options of the board's line, as kx9ctl takes them."""
    return dict(
        port=dict(type='str', required=True),
        address=dict(type='int'),
        baud=dict(type='int', choices=BAUD_RATES),
        frame=dict(type='str', choices=FRAMES),
        timeout=dict(type='int'),
        fast=dict(type='bool', default=False),
        chdir=dict(type='path', default='~'),
        executable=dict(type='path'),
    )


def board_name(module):
    address = module.params['address']
    return module.params['port'] + ('' if address is None else ' @%d' % address)


class Kx9ctl:
    """kx9ctl on the managed host, with the link options of the task."""

    def __init__(self, module):
        self.module = module
        p = module.params
        if p['address'] is not None and not 1 <= p['address'] <= 247:
            module.fail_json(msg='address must be 1..247 (0 would reach every board on the line)')
        if p['timeout'] is not None and not 100 <= p['timeout'] <= 20000:
            module.fail_json(msg='timeout must be 100..20000 ms')
        self.program = p['executable'] or module.get_bin_path('kx9ctl', required=True)
        self.chdir = p['chdir']
        if not os.path.isdir(self.chdir):
            module.fail_json(msg='chdir %s is no folder on the host' % self.chdir)
        self.commands = []

    def link_args(self):
        p = self.module.params
        args = ['--port', p['port']]
        if p['address'] is not None:
            args += ['--address', str(p['address'])]
        if p['baud'] is not None:
            args += ['--baud', str(p['baud'])]
        if p['frame'] is not None:
            args += ['--frame', p['frame']]
        if p['timeout'] is not None:
            args += ['--timeout', str(p['timeout'])]
        if p['fast']:
            args.append('--fast')
        return args

    def run(self, command, board=True):
        """kx9ctl --json COMMAND; returns (exit code, its JSON result, its stderr). A result that
        is no JSON fails the task at once."""
        cmd = [self.program, '--json'] + (self.link_args() if board else []) + command
        self.commands.append(cmd)
        rc, out, err = self.module.run_command(cmd, cwd=self.chdir)
        try:
            result = json.loads(out)
        except ValueError:
            result = None
        if not isinstance(result, dict):
            self.module.fail_json(msg='kx9ctl gave no result: %s' % (err.strip() or out.strip() or 'exit %d' % rc),
                                  rc=rc, stdout=out, stderr=err, cmd=cmd)
        return rc, result, err

    def fail(self, what, rc, result, err, **extra):
        """Fails the task with kx9ctl's messages, each with its details."""
        self.module.fail_json(msg=failure_text(what, result, err), rc=rc, errors=result.get('errors', []),
                              stderr=err, cmd=self.commands[-1], **extra)

    def checked(self, command, what, board=True):
        """kx9ctl COMMAND that must succeed; its JSON result."""
        rc, result, err = self.run(command, board)
        if rc != DONE:
            self.fail(what, rc, result, err)
        return result


def failure_text(what, result, err):
    """'what: title: text' with the details, for each of kx9ctl's failures."""
    parts = []
    for error in result.get('errors') or []:
        head = ': '.join(x for x in (error.get('title'), error.get('text')) if x)
        details = error.get('details')
        parts.append(head + ('\n' + details if details else ''))
    if not parts:
        parts.append(err.strip() or 'kx9ctl ended with exit %s' % result.get('exitCode'))
    return what + ': ' + '\n'.join(parts)


def differs(rc, result):
    """A comparison's run found a difference (exit 1 with a count and no failure)."""
    return rc == BOARD_FAILED and not result.get('errors') and result.get('differences', 0) > 0


def page_text(heading, lines):
    """A page as the diff shows it: its heading, then each line."""
    return [heading] + ['  | ' + line for line in lines] if lines else [heading + ' (pusta)']


def diff_text(lines):
    return '\n'.join(lines) + '\n' if lines else ''
