# -*- coding: utf-8 -*-
# Copyright 2026 The Vantrel developers. All rights reserved.
"""vantrel.cameras.provision with src: the controller reads the plan file and
the module hands its text to vantrel-cli on standard input; without src the
module runs as it is."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

from ansible.errors import AnsibleError
from ansible.module_utils.common.text.converters import to_text
from ansible.plugins.action import ActionBase

# As much as vantrel-cli takes from a plan file.
MAX_PLAN_BYTES = 4 * 1024 * 1024


class ActionModule(ActionBase):

    TRANSFERS_FILES = False

    def run(self, tmp=None, task_vars=None):
        result = super(ActionModule, self).run(tmp, task_vars)
        args = dict(self._task.args)
        src = args.get('src')
        if src is not None:
            if args.get('plan_text') is not None:
                result.update(failed=True, msg='give src or plan_text, not both')
                return result
            try:
                path = self._find_needle('files', src)
            except AnsibleError:
                result.update(failed=True, msg='%s: no such plan on the controller' % src)
                return result
            try:
                with open(path, 'rb') as plan:
                    data = plan.read(MAX_PLAN_BYTES + 1)
            except OSError as e:
                result.update(failed=True, msg='%s: cannot be read: %s' % (src, to_text(e.strerror or e)))
                return result
            if len(data) > MAX_PLAN_BYTES:
                result.update(failed=True, msg='%s: is larger than 4 MiB (%d bytes), the most a plan may hold'
                              % (src, MAX_PLAN_BYTES))
                return result
            try:
                args['plan_text'] = data.decode('utf-8')
            except UnicodeDecodeError:
                result.update(failed=True, msg='%s: is not UTF-8 text' % src)
                return result
        result.update(self._execute_module(module_name='vantrel.cameras.provision', module_args=args,
                                           task_vars=task_vars))
        return result
