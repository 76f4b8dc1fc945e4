#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright 2026 The Vantrel developers. All rights reserved.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
---
module: provision
short_description: Give the Zorvo cameras of a managed host's LAN their planned addresses and names
version_added: "0.1.0"
description:
  - Runs C(vantrel-cli provision --json) on the managed host with a plan, one camera
    a row. Cameras already at their planned settings get nothing; the others are
    given their address (by the maker's broadcast assignment, or HTTP for cameras
    found by multicast DNS only) and their name, and a last scan verifies them.
  - The plan is checked whole before anything is sent. A faulty plan fails the
    task with every fault named by its line (or row) and sends nothing.
  - The task is C(changed) exactly when some camera was given new address settings
    or a name, and C(failed) when any row ended other than C(unchanged) or
    C(verified); every row's result is returned in C(results) either way.
  - Give the plan as C(plan_path), a CSV file on the managed host; as C(src), a CSV
    file on the controller; as C(plan_text), the CSV itself; or as C(rows).
options:
  plan_path:
    description:
      - A plan file on the managed host, as C(vantrel-cli provision) reads it, a
        header line (C(hwaddr,ip,subnet,gateway,name), in any order; C(type) and
        C(via) allowed), then one camera a row. C(vantrel-cli scan --csv) prints one.
    type: path
  src:
    description:
      - A plan file on the controller, in the form of C(plan_path). It is read by
        the controller (at most 4 MiB) and handed to the managed host's vantrel-cli
        on its standard input; faults are named by this path and line.
    type: path
  plan_text:
    description:
      - The plan's CSV text itself, for instance from a template lookup.
    type: str
  rows:
    description:
      - The plan as a list, one camera an item. The module writes it as a CSV plan;
        faults are named by the item's position (C(rows[0]) is the first).
    type: list
    elements: dict
    suboptions:
      hwaddr:
        description: The camera's hardware address, C(02:e5:a1:00:06:01).
        type: str
        required: true
      ip:
        description:
          - "The planned fixed address. Give either C(ip) or C(dhcp: true)."
        type: str
      dhcp:
        description: The camera takes its address by DHCP (no subnet or gateway then).
        type: bool
        default: false
      subnet:
        description: The planned subnet mask, with a fixed address.
        type: str
      gateway:
        description: The planned default gateway, with a fixed address.
        type: str
      name:
        description: The camera's planned name; left out or empty, the camera keeps its name.
        type: str
      via:
        description:
          - Which record of a camera that both protocols list is used, C(drovik) (the
            maker's broadcast) or C(mdns). The broadcast record when left out.
        type: str
        choices: [drovik, mdns]
  reboot:
    description: Restart each camera that is given new address settings (the wait after them is then 30 seconds).
    type: bool
    default: false
  cli_path:
    description:
      - The vantrel-cli program on the managed host, a path or a name looked up on its PATH.
    type: str
    default: vantrel-cli
attributes:
  check_mode:
    support: full
    description:
      - Runs C(vantrel-cli provision --dry-run), which scans and probes the planned
        addresses and sends nothing that changes a camera; C(changed) tells whether
        some camera would be changed, and each row's C(result) what would be done.
  diff_mode:
    support: full
    description:
      - Each camera that is (or would be) changed, with its address, subnet, gateway,
        DHCP and name before and after.
notes:
  - One of C(plan_path), C(src), C(plan_text) and C(rows) is required.
  - The plan is never put on a command line; vantrel-cli runs with an argument vector.
  - A run that is stopped (Ctrl-C on the managed host, a SIGTERM or SIGHUP) fails
    with the rows begun so far in C(results).
author:
  - Vantrel developers
'''

EXAMPLES = r'''
- name: Provision the cameras of this site from its plan in host_vars
  vantrel.cameras.provision:
    rows: "{{ camera_plan }}"
  register: provisioned

- name: The same from a plan kept on the controller, restarting changed cameras
  vantrel.cameras.provision:
    src: "plans/{{ inventory_hostname }}.csv"
    reboot: true

- name: A plan on the site's box
  vantrel.cameras.provision:
    plan_path: /srv/cameras/site.csv

- name: Inline rows
  vantrel.cameras.provision:
    rows:
      - hwaddr: 02:e5:a1:00:06:01
        ip: 10.77.0.200
        subnet: 255.255.255.0
        gateway: 10.77.0.1
        name: Dock-1
      - hwaddr: 02:e5:a1:00:06:02
        dhcp: true
        name: Yard
'''

RETURN = r'''
results:
  description:
    - One item a plan row, in plan order, as C(vantrel-cli provision --json) prints
      it. A stopped run lists only the rows begun.
  returned: when the plan was accepted
  type: list
  elements: dict
  contains:
    hwAddrText:
      description: The row's hardware address, as the plan wrote it.
      type: str
      sample: 02:e5:a1:00:06:01
    planned:
      description: The planned address, or C(dhcp).
      type: str
      sample: 10.77.0.200
    result:
      description:
        - What happened, C(unchanged) or C(verified) when all went well; otherwise
          C(not found), C(address in use by xx-xx-xx-xx-xx-xx), an assignment's
          result text, C(name not set) with why, C(not seen at its new address),
          C(not seen with its new name). In check mode what would be done, such
          as C(would assign by broadcast, then name it Dock-1).
      type: str
      sample: verified
    code:
      description:
        - 0, an assignment's result 1 to 6 or 15 (two devices with this hardware
          address), 10 not found, 11 address in use, 12 name not set, 13 not seen at
          its address, 14 not seen with its name.
      type: int
      sample: 0
    verified:
      description: The last scan saw the camera at its planned settings.
      type: bool
    changed:
      description: The camera was given new settings or its name; in check mode, would be.
      type: bool
    before:
      description: The camera as the first scan found it (C(ip), C(subnet), C(gateway), C(dhcp), C(name)); null when it was not found.
      type: dict
    after:
      description: What the plan leaves the camera with, in the form of C(before); the address is empty after a change to DHCP.
      type: dict
failed_rows:
  description: The rows that ended other than C(unchanged) or C(verified) (in check mode, those that could not proceed).
  returned: when the plan was accepted
  type: list
  elements: dict
  sample: [{"hwaddr": "02:e5:a1:00:06:03", "result": "address in use by 02-11-22-33-44-55", "code": 11}]
faults:
  description: The plan's faults, each with its place, when vantrel-cli refused the plan.
  returned: when the plan was refused
  type: list
  elements: str
  sample: ["rows[2] (02:e5:a1:00:06:03): Invalid Gateway. Use xxx.xxx.xxx.xxx"]
notes:
  description: What the scans told besides their lists, one line each.
  returned: always
  type: list
  elements: str
rc:
  description: The exit status of vantrel-cli provision.
  returned: when it ran
  type: int
  sample: 0
'''

import re

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.vantrel.cameras.plugins.module_utils.vantrel_cli import (
    EXIT_SIGNALS, bounded, failure_text, find_cli, message_lines, parse_json, visible)

EXIT_PLAN_FAULT = 2
PLAN_COLUMNS = ('hwaddr', 'ip', 'subnet', 'gateway', 'name', 'via')
# What a row's result is when all went well.
GOOD_RESULTS = ('unchanged', 'verified')
DIFF_FIELDS = ('ip', 'subnet', 'gateway', 'dhcp', 'name')
# How the plan reaches vantrel-cli on standard input: it names it "stdin".
STDIN_PLAN = 'stdin'
FAULT_LINE = re.compile(r'^stdin:(\d+): (.*)$')


class PlanError(Exception):
    """A plan the module refuses before running anything."""


def csv_field(value):
    """One quoted CSV field. The plan reader drops one leading ' (written before
    what a spreadsheet takes for a formula), so a value that starts with one
    gets another."""
    text = "'" + value if value.startswith("'") else value
    return '"' + text.replace('"', '""') + '"'


def has_control(text):
    return any(ord(ch) < 0x20 or ord(ch) == 0x7f for ch in text)


def rows_to_csv(rows):
    """The plan text of `rows` (dicts as the rows option holds them): a header,
    then line 2 + i for rows[i], every field quoted. PlanError for a row that
    cannot be written so."""
    lines = [','.join(PLAN_COLUMNS)]
    for i, row in enumerate(rows):
        place = 'rows[%d]' % i
        ip = row.get('ip') or ''
        dhcp = bool(row.get('dhcp')) or ip.lower() == 'dhcp'
        if dhcp and ip and ip.lower() != 'dhcp':
            raise PlanError('%s: give ip or dhcp: true, not both' % place)
        if not dhcp and not ip:
            raise PlanError('%s: give ip (with subnet and gateway) or dhcp: true' % place)
        if dhcp and (row.get('subnet') or row.get('gateway')):
            raise PlanError('%s: a camera on DHCP takes no subnet or gateway' % place)
        values = {
            'hwaddr': row.get('hwaddr') or '',
            'ip': 'dhcp' if dhcp else ip,
            'subnet': row.get('subnet') or '',
            'gateway': row.get('gateway') or '',
            'name': row.get('name') or '',
            'via': row.get('via') or '',
        }
        for column in PLAN_COLUMNS:
            if has_control(values[column]):
                raise PlanError('%s: %s holds a control character' % (place, column))
        lines.append(','.join(csv_field(values[column]) for column in PLAN_COLUMNS))
    return '\n'.join(lines) + '\n'


def provision_command(cli, plan_path, reboot, dry_run):
    """The argument vector; plan_path None: the plan comes on standard input."""
    command = [cli, 'provision', plan_path if plan_path is not None else '-', '--json']
    if reboot:
        command.append('--reboot')
    if dry_run:
        command.append('--dry-run')
    return command


def fault_places(stderr, plan_name, rows=None):
    """vantrel-cli's plan faults, each with its place: rows[i] for line 2 + i of
    a plan made of `rows`, else `plan_name` where it said stdin."""
    faults = []
    for line in message_lines(stderr):
        match = FAULT_LINE.match(line)
        index = int(match.group(1)) - 2 if match else -1
        if rows is not None and 0 <= index < len(rows):
            line = 'rows[%d] (%s): %s' % (index, rows[index].get('hwaddr'), match.group(2))
        elif line.startswith(STDIN_PLAN + ':'):
            line = plan_name + line[len(STDIN_PLAN):]
        faults.append(visible(line))
    return faults


def row_ok(outcome, check_mode):
    """A row ended well: unchanged or verified; in check mode, free to proceed."""
    if check_mode:
        return outcome.get('code') == 0
    return outcome.get('result') in GOOD_RESULTS


def state_text(state):
    if state is None:
        return 'not found\n'
    return ''.join('%s: %s\n' % (field, str(state.get(field)).lower() if field == 'dhcp' else
                                 visible(str(state.get(field, ''))))
                   for field in DIFF_FIELDS)


def diff_of(outcomes):
    """Ansible's diff: each camera that is (or would be) changed, before and after."""
    diffs = []
    for o in outcomes:
        if not o.get('changed'):
            continue
        hw = visible(str(o.get('hwAddrText', '')))
        diffs.append({'before_header': 'camera %s' % hw, 'after_header': 'camera %s' % hw,
                      'before': state_text(o.get('before')), 'after': state_text(o.get('after'))})
    return diffs


def summary(outcomes, failed_rows, check_mode, interrupted=None):
    changed = sum(1 for o in outcomes if o.get('changed'))
    verb = 'would change' if check_mode else 'changed'
    head = '%d of %d cameras %s' % (changed, len(outcomes), verb)
    if interrupted:
        head = 'vantrel-cli provision was stopped by %s after %d rows; %s' % (interrupted, len(outcomes), head)
    if failed_rows:
        head += '; %d %s: ' % (len(failed_rows), 'row cannot proceed' if check_mode and len(failed_rows) == 1 else
                               'rows cannot proceed' if check_mode else
                               'row failed' if len(failed_rows) == 1 else 'rows failed')
        head += '; '.join('%s %s' % (visible(r['hwaddr']), visible(r['result'])) for r in failed_rows)
    return bounded(head)


def judge(rc, outcomes, check_mode):
    """The module result of a run that printed its rows: changed, failed, msg and the rest."""
    failed_rows = [{'hwaddr': o.get('hwAddrText'), 'result': o.get('result'), 'code': o.get('code')}
                   for o in outcomes if not row_ok(o, check_mode)]
    interrupted = EXIT_SIGNALS.get(rc)
    result = {
        'changed': any(o.get('changed') for o in outcomes),
        'results': outcomes,
        'failed_rows': failed_rows,
        'rc': rc,
        'msg': summary(outcomes, failed_rows, check_mode, interrupted),
    }
    result['failed'] = bool(failed_rows) or rc != 0
    if rc not in (0, 1) and not interrupted:
        result['msg'] = 'vantrel-cli provision ended with exit status %d: %s' % (rc, result['msg'])
    return result


def main():
    module = AnsibleModule(
        argument_spec=dict(
            plan_path=dict(type='path'),
            src=dict(type='path'),
            plan_text=dict(type='str'),
            rows=dict(type='list', elements='dict', options=dict(
                hwaddr=dict(type='str', required=True),
                ip=dict(type='str'),
                dhcp=dict(type='bool', default=False),
                subnet=dict(type='str'),
                gateway=dict(type='str'),
                name=dict(type='str'),
                via=dict(type='str', choices=['drovik', 'mdns']),
            )),
            reboot=dict(type='bool', default=False),
            cli_path=dict(type='str', default='vantrel-cli'),
        ),
        # The action plugin hands src's text on as plan_text, with src for its name.
        mutually_exclusive=[('plan_path', 'src', 'rows'), ('plan_path', 'plan_text', 'rows')],
        required_one_of=[('plan_path', 'src', 'plan_text', 'rows')],
        supports_check_mode=True,
    )
    p = module.params
    if p['src'] is not None and p['plan_text'] is None:
        module.fail_json(msg='src is read by the controller: run this module as vantrel.cameras.provision')
    rows = p['rows']
    plan_name = 'rows' if rows is not None else p['src'] or 'plan_text'
    stdin = None
    if rows is not None:
        try:
            stdin = rows_to_csv(rows)
        except PlanError as e:
            module.fail_json(msg='The plan is refused: %s' % e, faults=[str(e)], notes=[])
    elif p['plan_path'] is None:
        stdin = p['plan_text']

    cli = find_cli(module, p['cli_path'])
    command = provision_command(cli, p['plan_path'], p['reboot'], module.check_mode)
    if stdin is None:
        rc, out, err = module.run_command(command)
    else:
        rc, out, err = module.run_command(command, data=stdin, binary_data=True)
    notes = message_lines(err)

    if rc == EXIT_PLAN_FAULT:
        faults = fault_places(err, plan_name, rows)
        module.fail_json(msg=bounded('The plan is refused, nothing was sent: ' + '; '.join(faults)),
                         faults=faults, notes=notes, rc=rc)
    try:
        outcomes = parse_json(out, list)
    except ValueError as e:
        module.fail_json(msg=failure_text('provision', rc, err) if rc != 0 else str(e), notes=notes, rc=rc)
    result = judge(rc, outcomes, module.check_mode)
    result['notes'] = notes
    if module._diff:
        result['diff'] = diff_of(outcomes)
    if result.pop('failed'):
        module.fail_json(**result)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
