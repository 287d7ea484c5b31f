#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The kx9.board collection in plays over two inventory hosts (local connection), each with its
own kx9-sim line of two boards in a folder of its own.

usage: integration.py KX9CTL KX9_SIM COLLECTION_DIR
Exit 77 (a skip for ctest) when ansible-playbook is not installed."""

import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SITES = ('site-a', 'site-b')
ADDRESSES = (1, 2)
REG_DAY_START = 4011
MAIN_OFFSET = 10  # the file's first register, 4000, two bytes each, high byte first
PAGES_OFFSET = 699
PAGE_SIZE = 200
RUN_SECONDS = 420
# The modules run with the Python ansible-core is installed for.
PYTHON = '/usr/bin/python3' if os.path.exists('/usr/bin/python3') else sys.executable

PLAY = '''
- hosts: sites
  gather_facts: false
  vars:
    link: &link
      port: "{{ kx9_dir }}/COM1"
      chdir: "{{ kx9_dir }}"
      fast: true
      timeout: 10000
      executable: "{{ kx9ctl }}"
  tasks:
    - name: Clocks within two minutes
      kx9.board.clock:
        <<: *link
        address: "{{ item.address }}"
        tolerance: 120
      loop: "{{ kx9_boards }}"
      tags: clock
    - name: The cash desk page
      kx9.board.page:
        <<: *link
        address: "{{ item.address }}"
        number: 7
        name: Kasa
        lines: ["{{ desk }}"]
      loop: "{{ kx9_boards }}"
      tags: page
    - name: The site's configuration
      kx9.board.config:
        <<: *link
        address: "{{ item.address }}"
        src: "{{ files }}/hall.cfg"
      loop: "{{ kx9_boards }}"
      tags: config
    - name: The logo
      kx9.board.graphic:
        <<: *link
        address: "{{ item.address }}"
        slot: 115
        src: "{{ files }}/logo.svg"
        state_file: "{{ kx9_dir }}/graphics.json"
      loop: "{{ kx9_boards }}"
      tags: graphic
    - name: What the boards say
      kx9.board.info:
        <<: *link
        address: "{{ item.address }}"
      loop: "{{ kx9_boards }}"
      tags: [never, info]
'''

LOGO = '''<svg xmlns="http://www.w3.org/2000/svg" width="120" height="40">
<rect width="120" height="40" fill="black"/><rect x="10" y="5" width="30" height="30" fill="red"/></svg>
'''


class Failed(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failed(what)


class Site:
    def __init__(self, sim, root, name, extra):
        self.name = name
        self.dir = os.path.join(root, name)
        os.makedirs(self.dir, exist_ok=True)
        self.log = os.path.join(self.dir, 'sim.log')
        with open(self.log, 'ab') as log:
            self.process = subprocess.Popen([sim, '--link', 'COM1', '--address', '1,2', '--log'] + extra,
                                            cwd=self.dir, stdout=subprocess.DEVNULL, stderr=log)
        link = os.path.join(self.dir, 'COM1')
        for _ in range(100):
            if os.path.exists(link):
                return
            time.sleep(0.05)
        self.stop()
        raise Failed('kx9-sim of %s made no link' % name)

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def mark(self):
        with open(self.log, 'rb') as f:
            return len(f.read().splitlines())

    def requests_since(self, mark):
        """(address, function, first register, count) of each request the boards answered."""
        with open(self.log, 'rb') as f:
            lines = f.read().decode('latin-1').splitlines()[mark:]
        out = []
        for line in lines:
            words = line.split()
            if len(words) >= 7 and words[0] == 'rx':
                b = [int(w, 16) for w in words[1:7]]
                out.append((b[0], b[1], b[2] * 256 + b[3], b[4] * 256 + b[5]))
        return out

    def writes_since(self, mark):
        """Function 16 requests, but for selecting a page to read it (4162, one register)."""
        return [r for r in self.requests_since(mark) if r[1] == 16 and (r[2], r[3]) != (4162, 1)]


def set_register(cfg, reg, value):
    with open(cfg, 'r+b') as f:
        f.seek(MAIN_OFFSET + 2 * (reg - 4000))
        f.write(bytes([value >> 8, value & 0xFF]))


def set_page(cfg, page, text):
    with open(cfg, 'r+b') as f:
        f.seek(PAGES_OFFSET + PAGE_SIZE * page)
        f.write(text.encode('cp1250').ljust(PAGE_SIZE, b' '))


class Plays:
    def __init__(self, root, kx9ctl, collection):
        self.root = root
        self.files = os.path.join(root, 'files')
        os.makedirs(self.files)
        shutil.copytree(collection, os.path.join(root, 'collections', 'ansible_collections', 'kx9', 'board'))
        os.makedirs(os.path.join(root, 'host_vars'))
        with open(os.path.join(root, 'hosts.ini'), 'w') as f:
            f.write('[sites]\n')
            for site in SITES:
                f.write('%s kx9_dir=%s\n' % (site, os.path.join(root, site)))
            f.write('[sites:vars]\nansible_connection=local\nansible_python_interpreter=%s\n' % PYTHON)
        for site in SITES:
            with open(os.path.join(root, 'host_vars', site + '.yml'), 'w') as f:
                f.write('kx9_boards:\n' + ''.join('  - address: %d\n' % a for a in ADDRESSES))
        with open(os.path.join(root, 'play.yml'), 'w') as f:
            f.write(PLAY)
        with open(os.path.join(self.files, 'logo.svg'), 'w') as f:
            f.write(LOGO)
        self.kx9ctl = kx9ctl
        self.env = dict(os.environ, HOME=os.path.join(root, 'home'), ANSIBLE_STDOUT_CALLBACK='json',
                        ANSIBLE_COLLECTIONS_PATH=os.path.join(root, 'collections'),
                        ANSIBLE_LOCAL_TEMP=os.path.join(root, 'tmp'),
                        ANSIBLE_REMOTE_TMP=os.path.join(root, 'remote-tmp'), ANSIBLE_RETRY_FILES_ENABLED='0',
                        ANSIBLE_NOCOLOR='1', ANSIBLE_FORKS='2', ANSIBLE_PIPELINING='1')

    def run(self, *args, desk='Kasa'):
        cmd = ['ansible-playbook', '-i', os.path.join(self.root, 'hosts.ini'), os.path.join(self.root, 'play.yml'),
               '-e', 'kx9ctl=%s files=%s' % (self.kx9ctl, self.files), '-e', 'desk="%s"' % desk] + list(args)
        started = time.monotonic()
        done = subprocess.run(cmd, cwd=self.root, env=self.env, capture_output=True, text=True, timeout=RUN_SECONDS)
        print('ansible-playbook %s: %.0f s' % (' '.join(args), time.monotonic() - started), flush=True)
        try:
            return json.loads(done.stdout)
        except ValueError:
            raise Failed('ansible-playbook %s gave no JSON:\n%s\n%s' % (args, done.stdout, done.stderr))


def items(report, task_name):
    """{(host, address): the item's result} of the task."""
    out = {}
    for play in report['plays']:
        for task in play['tasks']:
            if task['task']['name'] != task_name:
                continue
            for host, result in task['hosts'].items():
                for item in result.get('results', []):
                    out[(host, item['item']['address'])] = item
    return out


def every_board(report, task_name, changed):
    found = items(report, task_name)
    check(len(found) == len(SITES) * len(ADDRESSES), '%s ran on %d boards' % (task_name, len(found)))
    for board, result in found.items():
        check(not result.get('failed'), '%s failed on %s: %s' % (task_name, board, result.get('msg')))
        check(result.get('changed') == changed, '%s on %s: changed %s' % (task_name, board, result.get('changed')))
    return found


def scenario(kx9ctl, sim, collection, root):
    plays = Plays(root, kx9ctl, collection)
    sites = {}
    try:
        for name in SITES:
            sites[name] = Site(sim, root, name, [])
        a = sites['site-a']
        # The configuration wanted: the board as it comes, with a later day start and page 7, which
        # the page task sets to the same text.
        hall = os.path.join(plays.files, 'hall.cfg')
        read = subprocess.run([kx9ctl, '--fast', '--port', 'COM1', 'read', hall], cwd=a.dir, capture_output=True,
                              timeout=60)
        check(read.returncode == 0, 'kx9ctl read: %r' % read.stderr)
        set_register(hall, REG_DAY_START, 730)
        set_page(hall, 7, 'Kasa')
        # One clock off by a year.
        off = subprocess.run([kx9ctl, '--port', 'COM1', '--address', '2', 'clock', '--set', '2030-01-01 00:00'],
                             cwd=a.dir, capture_output=True, timeout=60)
        check(off.returncode == 0, 'kx9ctl clock --set: %r' % off.stderr)

        marks = {name: s.mark() for name, s in sites.items()}
        first = plays.run('--tags', 'all,info')
        clocks = items(first, 'Clocks within two minutes')
        check([b for b, r in clocks.items() if r.get('changed')] == [('site-a', 2)],
              'clock changed on %s' % [b for b, r in clocks.items() if r.get('changed')])
        for task in ('The cash desk page', 'The site\'s configuration', 'The logo'):
            every_board(first, task, True)
        facts = every_board(first, 'What the boards say', False)
        check(facts[('site-b', 2)]['ansible_facts']['kx9_board']['identification']['kx9'] is True, 'info: no KX9')
        check(facts[('site-b', 2)]['board']['link']['address'] == 2, 'info: link settings')
        for name, s in sites.items():
            check(len(s.writes_since(marks[name])) > 0, '%s: the first run wrote nothing' % name)

        # Again: every board holds it all, and is written nothing.
        marks = {name: s.mark() for name, s in sites.items()}
        second = plays.run()
        for task in ('Clocks within two minutes', 'The cash desk page', 'The site\'s configuration', 'The logo'):
            every_board(second, task, False)
        for name, s in sites.items():
            check(s.writes_since(marks[name]) == [], '%s: written though it held it all: %s'
                  % (name, s.writes_since(marks[name])[:5]))
            check(len(s.requests_since(marks[name])) > 0, '%s: not even read' % name)

        # The file changes: --check reports it and --diff names the register; nothing is written.
        set_register(hall, REG_DAY_START, 745)
        marks = {name: s.mark() for name, s in sites.items()}
        checked = plays.run('--check', '--diff', '--tags', 'config')
        for board, result in every_board(checked, 'The site\'s configuration', True).items():
            diff = result.get('diff') or {}
            check('4011' in diff.get('before', '') and '07:30' in diff.get('before', ''),
                  '%s: diff before %r' % (board, diff.get('before')))
            check('4011' in diff.get('after', '') and '07:45' in diff.get('after', ''),
                  '%s: diff after %r' % (board, diff.get('after')))
            check(result.get('written') is False, '%s: written in check mode' % (board,))
        for name, s in sites.items():
            check(s.writes_since(marks[name]) == [], '%s: written in check mode' % name)

        # One silent board fails its own host only, with the program's message.
        sites['site-b'].stop()
        sites['site-b'] = Site(sim, root, 'site-b', ['--fault', 'noreply@2'])
        faulty = plays.run('--tags', 'page', desk='Kasa nr 2')
        stats = faulty['stats']
        check(stats['site-a']['failures'] == 0 and stats['site-a']['changed'] == 1, 'site-a: %s' % stats['site-a'])
        check(stats['site-b']['failures'] == 1, 'site-b: %s' % stats['site-b'])
        pages = items(faulty, 'The cash desk page')
        check(pages[('site-b', 1)].get('changed') is True, 'site-b board 1: %s' % pages[('site-b', 1)])
        msg = pages[('site-b', 2)].get('msg', '')
        check(pages[('site-b', 2)].get('failed') and 'Błąd transmisji danych' in msg and 'Przyczyna:' in msg,
              'site-b board 2: %r' % msg)
    finally:
        for s in sites.values():
            s.stop()


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    if shutil.which('ansible-playbook') is None:
        print('SKIP: ansible-playbook is not installed (scripts/deps installs ansible-core)')
        return 77
    started = time.monotonic()
    root = tempfile.mkdtemp(prefix='kx9-ansible-')
    try:
        scenario(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), os.path.abspath(sys.argv[3]), root)
    except (Failed, subprocess.TimeoutExpired) as e:
        print('FAILED: %s' % e)
        print('(folder kept: %s)' % root)
        return 1
    shutil.rmtree(root, ignore_errors=True)
    print('passed in %.0f s' % (time.monotonic() - started))
    return 0


if __name__ == '__main__':
    sys.exit(main())
