# -*- coding: utf-8 -*-
# The option every module of the collection shares: where vantrel-cli is.
from __future__ import absolute_import, division, print_function
__metaclass__ = type


class ModuleDocFragment(object):
    DOCUMENTATION = r'''
options:
  cli_path:
    description:
      - The vantrel-cli program on the managed host, a path or a name looked up on its PATH.
    type: str
    default: vantrel-cli
'''
