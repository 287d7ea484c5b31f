# -*- coding: utf-8 -*-
# SPDX-License-Identifier: MIT

from __future__ import absolute_import, division, print_function
__metaclass__ = type

from ansible_collections.kx9.board.plugins.plugin_utils.controller_file import ControllerFileAction


class ActionModule(ControllerFileAction):
    MODULE = 'kx9.board.config'
