#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# ansible-test sanity on the kx9.board collection, offline, with Debian's packages.
#
# ansible-test gives each test that has Python requirements a virtual environment of its own
# and fills it with pip from the network. Here each such environment is made beforehand from
# the system's Python with its site packages (python3-yaml, python3-jinja2, pylint,
# pycodestyle, yamllint, python3-voluptuous), and marked as made, so nothing is downloaded.
# Tests whose packages Debian lacks are skipped, each with its reason.
# Exit 77 (a skip for ctest) when ansible-test is not installed.
set -euo pipefail
src=$(cd "$(dirname "$0")/../../ansible" && pwd)
export PATH=/usr/sbin:/usr/bin:/sbin:/bin # Debian's Python, which has the packages
if ! command -v ansible-test >/dev/null; then
  echo "SKIP: ansible-test is not installed (scripts/deps installs ansible-core)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree=$work/ansible_collections/kx9/board
mkdir -p "$(dirname "$tree")"
cp -r "$src" "$tree"
export HOME=$work/home # ansible-test's environments and caches stay in the temporary tree
mkdir -p "$HOME"

# Every test that runs here: the ones without requirements and those Debian's packages serve.
ran=(action-plugin-docs ansible-doc compile empty-init future-import-boilerplate ignores import line-endings
     metaclass-boilerplate no-assert no-basestring no-dict-iteritems no-dict-iterkeys no-dict-itervalues
     no-get-exception no-illegal-filenames no-main-display no-smart-quotes no-unicode-literals pep8 pylint
     replace-urlopen runtime-metadata shebang shellcheck symlinks use-argspec-type-path use-compat-six
     validate-modules yamllint)
skipped=(changelog pslint mypy)
echo "Skipped: changelog (antsibull-changelog is no Debian package; the collection keeps no changelog),"
echo "         pslint (PowerShell, which the collection has none of and Debian lacks),"
echo "         mypy (its pinned type stubs are no Debian packages)."

prime() { # test name, minimal (1 or 0), site packages (1 or 0): its environment, where ansible-test looks
  local dir site=--system-site-packages
  dir=$(python3 - "$1" "$2" <<'PY'
import sys
from ansible_test._internal.python_requirements import collect_requirements
from ansible_test._internal.commands.sanity import hash_pip_commands
from ansible_test._internal.host_configs import NativePythonConfig
python = NativePythonConfig(version='%d.%d' % sys.version_info[:2], path=sys.executable)
commands = collect_requirements(python=python, controller=True, virtualenv=False, command=None, ansible=False,
                                cryptography=False, coverage=False, minimize=sys.argv[2] == '1', sanity=sys.argv[1])
if commands:
    print('sanity.%s/%s/%s' % (sys.argv[1], python.version, hash_pip_commands(commands)))
PY
)
  [ -n "$dir" ] || return 0
  dir=$HOME/.ansible/test/venv/$dir
  [ "$3" = 1 ] || site=
  python3 -m venv --without-pip $site "$dir"
  echo '[]' >"$dir/meta.install.json"
  echo 'true' >"$dir/meta.yaml.json"
  touch "$dir/marker.txt"
}
for t in "${ran[@]}"; do prime "$t" 0 1; done
# The import test loads plugins beside Debian's packages, and modules with nothing but Python's own.
prime import.plugin 1 1
prime import.module 1 0

cd "$tree"
# Files of the build are not the collection's.
ansible-test sanity --local --python "$(python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])')" \
  --color no "${ran[@]/#/--test=}" 2>&1 | { grep -v '^WARNING: Using locale' || true; }
echo "Ran: ${ran[*]}"

# The archive builds, installs, and Ansible finds every module in it.
ansible-galaxy collection build "$tree" --output-path "$work/dist" >/dev/null
cd /
ansible-galaxy collection install "$work"/dist/kx9-board-*.tar.gz -p "$HOME/.ansible/collections" >/dev/null
listed=$(ansible-doc -t module -l kx9.board | awk '{print $1}' | sort | xargs)
if [ "$listed" != "kx9.board.clock kx9.board.config kx9.board.graphic kx9.board.info kx9.board.page" ]; then
  echo "The built collection lists: $listed" >&2
  exit 1
fi
echo "The archive installs with: $listed"
