import csv
import io
import json
import unittest

import collection_path  # noqa: F401  (makes the collection importable)
from module_run import ModuleRun

from ansible_collections.vantrel.cameras.plugins.modules import provision as p


def row(hw, result, code=0, changed=False, before=None, after=None, verified=None):
    return {'hwAddrText': hw, 'planned': '10.77.0.200', 'result': result, 'code': code,
            'verified': result in ('unchanged', 'verified') if verified is None else verified,
            'changed': changed, 'before': before, 'after': after or {}}


def state(ip, name, dhcp=False):
    return {'ip': ip, 'subnet': '255.255.255.0' if ip else '', 'gateway': '10.77.0.1' if ip else '',
            'dhcp': dhcp, 'name': name}


class PlanFromRows(unittest.TestCase):
    def test_rows_become_a_plan_line_for_line(self):
        rows = [
            {'hwaddr': '02:e5:a1:00:06:01', 'ip': '10.77.0.200', 'subnet': '255.255.255.0',
             'gateway': '10.77.0.1', 'name': "'quoted, \"Dock\"", 'dhcp': False, 'via': None},
            {'hwaddr': '02:e5:a1:00:06:02', 'dhcp': True, 'name': None},
            {'hwaddr': '#02:e5:a1:00:06:03', 'ip': 'DHCP', 'via': 'mdns'},
        ]
        text = p.rows_to_csv(rows)
        lines = text.splitlines()
        self.assertEqual(len(lines), 4)  # rows[i] is line i + 2: faults name it so
        self.assertTrue(all(line.startswith('"') for line in lines[1:]))  # never a comment line
        read = list(csv.DictReader(io.StringIO(text)))
        # The plan reader drops one leading ': the name keeps its own.
        self.assertEqual(read[0]['name'], "''quoted, \"Dock\"")
        self.assertEqual([r['ip'] for r in read], ['10.77.0.200', 'dhcp', 'dhcp'])
        self.assertEqual((read[1]['subnet'], read[1]['gateway'], read[1]['name']), ('', '', ''))
        self.assertEqual(read[2]['via'], 'mdns')

    def test_rows_that_say_too_little_or_too_much_are_refused(self):
        for bad, why in (
                ({'hwaddr': 'x', 'ip': '10.77.0.9', 'dhcp': True}, 'rows[1]: give ip or dhcp: true, not both'),
                ({'hwaddr': 'x'}, 'rows[1]: give ip (with subnet and gateway) or dhcp: true'),
                ({'hwaddr': 'x', 'dhcp': True, 'gateway': '10.77.0.1'}, 'rows[1]: a camera on DHCP takes no'),
                ({'hwaddr': 'x', 'dhcp': True, 'name': 'a\nb'}, 'rows[1]: name holds a control character')):
            with self.assertRaises(p.PlanError) as caught:
                p.rows_to_csv([{'hwaddr': 'y', 'dhcp': True}, bad])
            self.assertTrue(str(caught.exception).startswith(why), str(caught.exception))

    def test_faults_are_named_by_row_or_plan(self):
        rows = [{'hwaddr': '02:e5:a1:00:06:01'}, {'hwaddr': '02:e5:a1:00:06:02'}]
        err = ('stdin:3: Invalid Gateway. Use xxx.xxx.xxx.xxx\n'
               'stdin:9: beyond the rows\n'
               'stdin: \u2026 and 12 more\n'
               'stdin:2: name "a\x1b[2J"\n')
        self.assertEqual(p.fault_places(err, 'rows', rows), [
            'rows[1] (02:e5:a1:00:06:02): Invalid Gateway. Use xxx.xxx.xxx.xxx',
            'rows:9: beyond the rows',
            'rows: \u2026 and 12 more',
            'rows[0] (02:e5:a1:00:06:01): name "a\\x1b[2J"'])
        self.assertEqual(p.fault_places('stdin:4: x\n', 'plans/site-a.csv'), ['plans/site-a.csv:4: x'])
        self.assertEqual(p.fault_places('/srv/site.csv:4: x\n', 'plan_text'), ['/srv/site.csv:4: x'])

    def test_argument_vector(self):
        self.assertEqual(p.provision_command('/usr/bin/vantrel-cli', None, False, False),
                         ['/usr/bin/vantrel-cli', 'provision', '-', '--json'])
        self.assertEqual(p.provision_command('cli', '/srv/a b;rm.csv', True, True),
                         ['cli', 'provision', '/srv/a b;rm.csv', '--json', '--reboot', '--dry-run'])


class Judgement(unittest.TestCase):
    def test_changed_and_failed(self):
        ok = row('02:00:00:00:00:01', 'unchanged')
        done = row('02:00:00:00:00:02', 'verified', changed=True)
        blocked = row('02:00:00:00:00:03', 'address in use by 02-11-22-33-44-55', 11)
        moved_unseen = row('02:00:00:00:00:04', 'not seen at its new address', 13, changed=True)

        r = p.judge(0, [ok, ok], False)
        self.assertEqual((r['changed'], r['failed'], r['failed_rows']), (False, False, []))
        self.assertEqual(r['msg'], '0 of 2 cameras changed')

        r = p.judge(0, [ok, done], False)
        self.assertEqual((r['changed'], r['failed']), (True, False))

        r = p.judge(1, [done, blocked, moved_unseen], False)
        self.assertEqual((r['changed'], r['failed']), (True, True))
        self.assertEqual([f['code'] for f in r['failed_rows']], [11, 13])
        self.assertIn('02:00:00:00:00:03 address in use by 02-11-22-33-44-55', r['msg'])
        self.assertTrue(r['msg'].startswith('2 of 3 cameras changed; 2 rows failed'), r['msg'])
        self.assertEqual(len(r['results']), 3)

        # A failure the rows do not show still fails.
        self.assertTrue(p.judge(1, [ok], False)['failed'])

    def test_check_mode_judges_what_would_be_done(self):
        would = row('02:00:00:00:00:02', 'would assign by broadcast, then name it Dock-1', changed=True)
        r = p.judge(0, [row('02:00:00:00:00:01', 'unchanged'), would], True)
        self.assertEqual((r['changed'], r['failed']), (True, False))
        self.assertEqual(r['msg'], '1 of 2 cameras would change')
        r = p.judge(1, [would, row('02:00:00:00:00:05', 'not found', 10)], True)
        self.assertTrue(r['failed'])
        self.assertIn('1 row cannot proceed: 02:00:00:00:00:05 not found', r['msg'])

    def test_a_stopped_run_fails_with_what_was_begun(self):
        r = p.judge(130, [row('02:00:00:00:00:02', 'assigned by broadcast', changed=True, verified=False)], False)
        self.assertEqual((r['changed'], r['failed'], r['rc']), (True, True, 130))
        self.assertTrue(r['msg'].startswith('vantrel-cli provision was stopped by SIGINT after 1 rows'), r['msg'])

    def test_diff_shows_each_changed_camera(self):
        rows = [
            row('02:00:00:00:00:01', 'unchanged', before=state('10.77.0.5', 'A'), after=state('10.77.0.5', 'A')),
            row('02:00:00:00:00:02', 'verified', changed=True, before=state('10.77.0.6', 'B'),
                after=state('', 'Yard\x07', dhcp=True)),
        ]
        self.assertEqual(p.diff_of(rows), [{
            'before_header': 'camera 02:00:00:00:00:02', 'after_header': 'camera 02:00:00:00:00:02',
            'before': 'ip: 10.77.0.6\nsubnet: 255.255.255.0\ngateway: 10.77.0.1\ndhcp: false\nname: B\n',
            'after': 'ip: \nsubnet: \ngateway: \ndhcp: true\nname: Yard\\x07\n'}])


class ModuleRuns(unittest.TestCase):
    """The module as Ansible runs it, with a fake vantrel-cli."""

    ROWS = [{'hwaddr': '02:e5:a1:00:06:01', 'ip': '10.77.0.200', 'subnet': '255.255.255.0',
             'gateway': '10.77.0.1', 'name': 'Dock-1'}]

    def test_rows_go_on_standard_input_and_check_mode_is_a_dry_run_with_diff(self):
        out = [row('02:e5:a1:00:06:01', 'would assign by broadcast', changed=True,
                   before=state('10.77.0.9', 'Dock-1'), after=state('10.77.0.200', 'Dock-1'))]
        run = ModuleRun('provision', {'rows': self.ROWS, 'reboot': True, '_ansible_check_mode': True,
                                      '_ansible_diff': True},
                        stdout=json.dumps(out), stderr='500 cameras listed; more answered\n')
        self.assertEqual(run.argv(), ['provision', '-', '--json', '--reboot', '--dry-run'])
        self.assertEqual(run.stdin(), 'hwaddr,ip,subnet,gateway,name,via\n'
                         '"02:e5:a1:00:06:01","10.77.0.200","255.255.255.0","10.77.0.1","Dock-1",""\n')
        r = run.result
        self.assertEqual((r['changed'], r.get('failed', False)), (True, False), r)
        self.assertEqual(r['notes'], ['500 cameras listed; more answered'])
        self.assertEqual(len(r['diff']), 1)
        self.assertIn('ip: 10.77.0.200', r['diff'][0]['after'])

    def test_vantrel_cli_failures_are_messages(self):
        run = ModuleRun('provision', {'rows': self.ROWS}, rc=2,
                        stderr='stdin:2: gateway 10.78.0.1 is outside 10.77.0.0/24\n')
        self.assertTrue(run.result['failed'])
        self.assertEqual(run.result['msg'], 'The plan is refused, nothing was sent: '
                         'rows[0] (02:e5:a1:00:06:01): gateway 10.78.0.1 is outside 10.77.0.0/24')
        self.assertEqual(run.argv(), ['provision', '-', '--json'])

        run = ModuleRun('provision', {'plan_path': '/srv/site.csv'}, rc=2,
                        stderr='/srv/site.csv: cannot be read: Permission denied\n')
        self.assertEqual(run.result['faults'], ['/srv/site.csv: cannot be read: Permission denied'])
        self.assertEqual(run.argv(), ['provision', '/srv/site.csv', '--json'])

        run = ModuleRun('provision', {'plan_text': 'hwaddr,ip\n'}, rc=143, stdout='garbage')
        self.assertEqual(run.result['msg'], 'vantrel-cli provision was stopped by SIGTERM (exit status 143)')

        run = ModuleRun('provision', {'rows': self.ROWS}, cli='/nonexistent/vantrel-cli')
        self.assertEqual(run.result['msg'], 'cli_path /nonexistent/vantrel-cli is not an executable file on this host')
        run = ModuleRun('provision', {'rows': self.ROWS}, cli='vantrel-cli-nowhere')
        self.assertIn('vantrel-cli-nowhere was not found on the PATH', run.result['msg'])
        for r in (run,):
            self.assertNotIn('Traceback', r.stderr + json.dumps(r.result))


if __name__ == '__main__':
    unittest.main()
