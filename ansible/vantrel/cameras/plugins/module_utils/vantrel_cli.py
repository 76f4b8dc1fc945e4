# -*- coding: utf-8 -*-
# Copyright 2026 The Vantrel developers. All rights reserved.
"""Running vantrel-cli on a managed host and reading what it prints.

Everything here is plain Python without Ansible, so that the rules can be
tested on their own: the modules only hand AnsibleModule's run_command an
argument vector built here (never a shell line) and pass on what these
functions make of its output.
"""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json

# Exit statuses of vantrel-cli that every command shares.
EXIT_SIGNALS = {130: 'SIGINT', 143: 'SIGTERM', 129: 'SIGHUP'}

# What a vantrel-cli message may carry into a module's msg: camera texts can
# hold anything, so a message is bounded and its control characters shown.
MAX_MESSAGE_CHARS = 4000


def visible(text):
    """`text` with control characters written out, as one line."""
    shown = []
    for ch in text:
        code = ord(ch)
        if ch == '\n':
            shown.append('; ')
        elif code < 0x20 or code == 0x7f or 0x80 <= code < 0xa0:
            shown.append('\\x%02x' % code)
        else:
            shown.append(ch)
    return ''.join(shown)


def message_lines(text):
    """The non-empty lines of what vantrel-cli wrote to standard error."""
    return [line for line in (text or '').splitlines() if line.strip()]


def bounded(text, limit=MAX_MESSAGE_CHARS):
    return text if len(text) <= limit else text[:limit] + ' ...'


def parse_json(stdout, want):
    """The JSON value vantrel-cli printed, of type `want`; ValueError when it printed none."""
    try:
        value = json.loads(stdout)
    except ValueError:
        raise ValueError('vantrel-cli printed no JSON: %s' % bounded(visible(stdout.strip()[:200]) or '(nothing)'))
    if not isinstance(value, want):
        raise ValueError('vantrel-cli printed JSON of another form than expected')
    return value


def failure_text(command, rc, stderr):
    """A module message for a vantrel-cli run that failed as a whole."""
    lines = message_lines(stderr)
    if rc in EXIT_SIGNALS:
        head = 'vantrel-cli %s was stopped by %s (exit status %d)' % (command, EXIT_SIGNALS[rc], rc)
    elif rc == 127:
        head = 'vantrel-cli could not be started (exit status 127)'
    else:
        head = 'vantrel-cli %s failed (exit status %d)' % (command, rc)
    if lines:
        head += ': ' + '; '.join(visible(line) for line in lines)
    return bounded(head)


def find_cli(module, cli_path):
    """The executable that `cli_path` names, or the module fails saying why not."""
    import os
    if '/' in cli_path:
        if os.path.isfile(cli_path) and os.access(cli_path, os.X_OK):
            return cli_path
        module.fail_json(msg='cli_path %s is not an executable file on this host' % cli_path)
    found = module.get_bin_path(cli_path)
    if not found:
        module.fail_json(msg='%s was not found on the PATH of this host: install Vantrel there or give cli_path'
                         % cli_path)
    return found
