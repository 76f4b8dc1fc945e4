#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright 2026 The Vantrel developers. All rights reserved.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
---
module: scan
short_description: List the Zorvo cameras that answer on a managed host's camera LAN
version_added: "0.1.0"
description:
  - Runs C(vantrel-cli scan --json) on the managed host, which finds cameras by the
    maker's UDP broadcast protocol and by multicast DNS on every link of the host,
    and returns every camera it lists with every field of its record.
  - A scan changes nothing, so the result is never C(changed); in check mode the
    scan runs all the same.
  - What the scan has to tell besides its list (two devices with one hardware
    address, a full list, a reply port held by another program) is returned in
    C(notes).
options:
  protocol:
    description:
      - Only cameras found by this protocol. C(broadcast) is the maker's UDP
        broadcast protocol, C(mdns) multicast DNS. A camera that both find is
        listed once by each.
      - All cameras when left out.
    type: str
    choices: [broadcast, mdns]
  hwaddrs:
    description:
      - Only cameras with one of these hardware addresses, written with colons,
        hyphens or no separator, in any case (C(02:e5:a1:00:06:01),
        C(02-E5-A1-00-06-01), C(02e5a1000601)).
      - All cameras when left out.
    type: list
    elements: str
extends_documentation_fragment:
  - vantrel.cameras.cli
attributes:
  check_mode:
    support: full
    description: The scan runs in check mode too; it sends nothing that changes a camera.
  diff_mode:
    support: none
notes:
  - Cameras answer by unicast to UDP port 43283 of the scanning host; scans on one
    host take turns, so a scan may wait up to 35 seconds for another to end.
author:
  - Vantrel developers
'''

EXAMPLES = r'''
- name: Survey the camera LAN
  vantrel.cameras.scan:
  register: survey

- name: Cameras that multicast DNS finds
  vantrel.cameras.scan:
    protocol: mdns

- name: Where two cameras are now
  vantrel.cameras.scan:
    hwaddrs:
      - 02:e5:a1:00:06:01
      - 02-e5-a1-00-06-02
    cli_path: /opt/vantrel/bin/vantrel-cli
  register: two

- name: Show their addresses
  ansible.builtin.debug:
    msg: "{{ two.cameras | map(attribute='ipAddrText') | list }}"
'''

RETURN = r'''
cameras:
  description:
    - The cameras found, in the order of the scan's list, each with every field
      that C(vantrel-cli scan --json) prints.
  returned: success
  type: list
  elements: dict
  contains:
    name:
      description: The camera's name.
      type: str
      sample: Dock-1
    hwAddrText:
      description: The hardware address as the camera gives it.
      type: str
      sample: 02:e5:a1:00:06:01
    hwAddr:
      description: The hardware address as twelve hexadecimal digits.
      type: str
      sample: 02e5a1000601
    ipAddrText:
      description: The camera's address; C(0.0.0.0) when it has none yet.
      type: str
      sample: 10.77.0.200
    subnetText:
      description: The subnet mask; empty for some cameras found by multicast DNS.
      type: str
      sample: 255.255.255.0
    gatewayText:
      description: The default gateway.
      type: str
      sample: 10.77.0.1
    productName:
      description: The camera model.
      type: str
      sample: ZC-100
    productCode:
      description: The model's number.
      type: int
      sample: 60
    dhcp:
      description: Nonzero when the camera takes its address by DHCP.
      type: int
      sample: 0
    ipAddr:
      description: The address as a number would give it, in dotted form.
      type: str
      sample: 10.77.0.200
    foundByDrovik:
      description: Nonzero when the broadcast protocol found this record, zero for multicast DNS.
      type: int
      sample: 1
    httpPort:
      description: The camera's web server port; 0 when it did not tell.
      type: int
      sample: 80
    httpPortText:
      description: The web server port as text.
      type: str
      sample: "80"
    webAddr:
      description: Address and port of the camera's web server.
      type: str
      sample: 10.77.0.200:80
    ifaceAddr:
      description: The host's address on the link a multicast DNS answer came in on.
      type: str
      sample: 0.0.0.0
    conflict:
      description: Two devices answered the broadcast with this hardware address.
      type: bool
      sample: false
notes:
  description: What the scan told besides its list, one line each.
  returned: always
  type: list
  elements: str
  sample: ["500 cameras listed; more answered"]
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.vantrel.cameras.plugins.module_utils.vantrel_cli import (
    failure_text, find_cli, message_lines, parse_json)

HEX_DIGITS = '0123456789abcdef'


def normal_hwaddr(text):
    """Twelve lower-case hexadecimal digits, or None when `text` is no hardware address."""
    digits = ''.join(ch for ch in text.lower() if ch not in ':-.')
    if len(digits) != 12 or any(ch not in HEX_DIGITS for ch in digits):
        return None
    return digits


def filter_cameras(cameras, protocol=None, hwaddrs=None):
    """The cameras the filters let through; `hwaddrs` already normalised."""
    chosen = []
    for camera in cameras:
        if protocol is not None and bool(camera.get('foundByDrovik')) != (protocol == 'broadcast'):
            continue
        if hwaddrs is not None and str(camera.get('hwAddr', '')).lower() not in hwaddrs:
            continue
        chosen.append(camera)
    return chosen


def scan_command(cli):
    return [cli, 'scan', '--json']


def main():
    module = AnsibleModule(
        argument_spec=dict(
            protocol=dict(type='str', choices=['broadcast', 'mdns']),
            hwaddrs=dict(type='list', elements='str'),
            cli_path=dict(type='str', default='vantrel-cli'),
        ),
        supports_check_mode=True,
    )
    wanted = None
    if module.params['hwaddrs'] is not None:
        wanted = set()
        for text in module.params['hwaddrs']:
            hw = normal_hwaddr(text)
            if hw is None:
                module.fail_json(msg='hwaddrs: %r is not a hardware address (six two-digit hexadecimal numbers)'
                                 % text)
            wanted.add(hw)

    cli = find_cli(module, module.params['cli_path'])
    rc, out, err = module.run_command(scan_command(cli))
    notes = message_lines(err)
    if rc != 0:
        module.fail_json(msg=failure_text('scan', rc, err), rc=rc, notes=notes)
    try:
        cameras = parse_json(out, list)
    except ValueError as e:
        module.fail_json(msg=str(e), notes=notes)
    module.exit_json(changed=False, cameras=filter_cameras(cameras, module.params['protocol'], wanted), notes=notes)


if __name__ == '__main__':
    main()
