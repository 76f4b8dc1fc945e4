import json
import unittest

import collection_path  # noqa: F401  (makes the collection importable)
from module_run import ModuleRun

from ansible_collections.vantrel.cameras.plugins.filter.csv_line import csv_line
from ansible_collections.vantrel.cameras.plugins.modules import scan

CAMERAS = [
    {'name': 'Dock', 'hwAddrText': '02:e5:a1:00:06:01', 'hwAddr': '02e5a1000601', 'foundByDrovik': 1,
     'ipAddrText': '10.77.0.10', 'conflict': False},
    {'name': 'Hall', 'hwAddrText': '02:e5:a1:00:06:07', 'hwAddr': '02e5a1000607', 'foundByDrovik': 0,
     'ipAddrText': '10.77.0.22', 'conflict': False},
    {'name': 'Hall', 'hwAddrText': '02:E5:A1:00:06:07', 'hwAddr': '02E5A1000607', 'foundByDrovik': 1,
     'ipAddrText': '10.77.0.22', 'conflict': False},
]


class Filters(unittest.TestCase):
    def test_hardware_addresses_in_any_form(self):
        for text in ('02:e5:a1:00:06:07', '02-E5-A1-00-06-07', '02e5a1000607', '02e5.a100.0607'):
            self.assertEqual(scan.normal_hwaddr(text), '02e5a1000607')
        for text in ('02:e5:a1:00:06', '02:e5:a1:00:06:0g', '', '02:e5:a1:00:06:07:08'):
            self.assertIsNone(scan.normal_hwaddr(text))

    def test_protocol_and_addresses(self):
        names = lambda cams: [(c['name'], c['foundByDrovik']) for c in cams]  # noqa: E731
        self.assertEqual(scan.filter_cameras(CAMERAS), CAMERAS)
        self.assertEqual(names(scan.filter_cameras(CAMERAS, 'mdns')), [('Hall', 0)])
        self.assertEqual(names(scan.filter_cameras(CAMERAS, 'broadcast', {'02e5a1000607'})), [('Hall', 1)])
        self.assertEqual(scan.filter_cameras(CAMERAS, None, set()), [])


class SurveyLines(unittest.TestCase):
    def test_camera_texts_stay_one_inert_cell(self):
        self.assertEqual(csv_line(['site-a', 'Dock 1', 1, None]), 'site-a,Dock 1,1,')
        self.assertEqual(csv_line(['=HYPERLINK("x")', '-1', 'a,b', 'two\nlines', "'q"]),
                         '"\'=HYPERLINK(""x"")",\'-1,"a,b",two\\x0alines,\'\'q')


class ModuleRuns(unittest.TestCase):
    def test_every_field_returned_never_changed(self):
        run = ModuleRun('scan', {'hwaddrs': ['02-E5-A1-00-06-07'], '_ansible_check_mode': True},
                        stdout=json.dumps(CAMERAS), stderr='Two devices answer as 02:e5:a1:00:06:07: both are listed\n')
        self.assertEqual(run.argv(), ['scan', '--json'])
        self.assertEqual(run.result['cameras'], CAMERAS[1:])
        self.assertEqual(run.result['changed'], False)
        self.assertEqual(run.result['notes'], ['Two devices answer as 02:e5:a1:00:06:07: both are listed'])

    def test_failures_are_messages(self):
        run = ModuleRun('scan', {}, rc=1, stderr='scan: out of memory\n')
        self.assertEqual(run.result['msg'], 'vantrel-cli scan failed (exit status 1): scan: out of memory')
        run = ModuleRun('scan', {}, stdout='[{"name": ')
        self.assertEqual(run.result['msg'], 'vantrel-cli printed no JSON: [{"name":')
        run = ModuleRun('scan', {'hwaddrs': ['cam-1']})
        self.assertIn("'cam-1' is not a hardware address", run.result['msg'])
        self.assertTrue(run.result['failed'])


if __name__ == '__main__':
    unittest.main()
