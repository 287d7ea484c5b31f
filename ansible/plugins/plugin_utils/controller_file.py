# -*- coding: utf-8 -*-
# SPDX-License-Identifier: MIT
# A module's src on the controller, copied to the host's temporary folder and handed to the
# module as its path there.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import os

from ansible.errors import AnsibleAction, AnsibleActionFail, AnsibleError
from ansible.module_utils.common.text.converters import to_text
from ansible.plugins.action import ActionBase


class ControllerFileAction(ActionBase):

    TRANSFERS_FILES = True
    MODULE = None  # the module's full name

    def run(self, tmp=None, task_vars=None):
        if task_vars is None:
            task_vars = dict()
        result = super(ControllerFileAction, self).run(tmp, task_vars)
        del tmp  # no longer has any effect
        args = self._task.args.copy()
        source = args.pop('src', None)
        try:
            if source is not None:
                if args.get('path') is not None:
                    raise AnsibleActionFail('parameters are mutually exclusive: src|path')
                try:
                    found = self._loader.get_real_file(self._find_needle('files', source))
                except AnsibleError as e:
                    raise AnsibleActionFail(to_text(e))
                # The file keeps its name: a picture's reader goes by it.
                remote = self._connection._shell.join_path(self._connection._shell.tmpdir,
                                                           os.path.basename(found))
                self._transfer_file(found, remote)
                self._fixup_perms2((self._connection._shell.tmpdir, remote))
                args['path'] = remote
            result.update(self._execute_module(module_name=self.MODULE, module_args=args, task_vars=task_vars))
            if source is not None:
                result['src'] = source
        except AnsibleAction as e:
            result.update(e.result)
        finally:
            self._remove_tmp_path(self._connection._shell.tmpdir)
        return result
