# -*- coding: utf-8 -*-
# Copyright 2026 The Vantrel developers. All rights reserved.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r'''
name: csv_line
short_description: One CSV line of values, safe to open in a spreadsheet
version_added: "0.1.0"
description:
  - Joins the values into one CSV line as C(vantrel-cli scan --csv) writes its cells
    (RFC 4180 quoting), with a C(') before a value that starts with C(=), C(+), C(-),
    C(@), C('), a tab or a carriage return, so that a spreadsheet takes it for text
    and not a formula. C(vantrel-cli provision) drops that C(') again.
  - Control characters other than tab and carriage return are written as C(\\xNN), so
    that a camera's name cannot break the line.
options:
  _input:
    description: The values of the line; each is turned into text.
    type: list
    elements: raw
    required: true
'''

EXAMPLES = r'''
- name: A survey line
  ansible.builtin.debug:
    msg: "{{ [inventory_hostname, camera.name, camera.hwAddrText] | vantrel.cameras.csv_line }}"
'''

RETURN = r'''
_value:
  description: The line, without its line break.
  type: str
'''

FORMULA_STARTS = ('=', '+', '-', '@', "'", '\t', '\r')


def csv_cell(value):
    text = '' if value is None else str(value)
    text = ''.join(ch if ch in '\t\r' or not (ord(ch) < 0x20 or ord(ch) == 0x7f) else '\\x%02x' % ord(ch)
                   for ch in text)
    if text.startswith(FORMULA_STARTS):
        text = "'" + text
    if any(ch in text for ch in ',"\r\n'):
        text = '"' + text.replace('"', '""') + '"'
    return text


def csv_line(values):
    return ','.join(csv_cell(v) for v in values)


class FilterModule(object):
    def filters(self):
        return {'csv_line': csv_line}
