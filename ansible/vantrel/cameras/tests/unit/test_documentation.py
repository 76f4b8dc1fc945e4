import json
import os
import shutil
import subprocess
import unittest

import collection_path  # (makes the collection importable)
import yaml

from ansible_collections.vantrel.cameras.plugins.filter import csv_line
from ansible_collections.vantrel.cameras.plugins.modules import provision, scan


def texts(options, where):
    """Every description of `options` (and their suboptions) that is not text."""
    wrong = []
    for name, option in (options or {}).items():
        description = option.get('description')
        lines = description if isinstance(description, list) else [description]
        wrong += ['%s.%s' % (where, name) for line in lines if not isinstance(line, str)]
        wrong += texts(option.get('suboptions'), '%s.%s' % (where, name))
    return wrong


class Documentation(unittest.TestCase):
    """The documentation as ansible-doc reads it: YAML whose descriptions are all text."""

    def test_every_description_is_text(self):
        for name, doc in (('provision', provision.DOCUMENTATION), ('scan', scan.DOCUMENTATION),
                          ('csv_line', csv_line.DOCUMENTATION)):
            parsed = yaml.safe_load(doc)
            self.assertIsInstance(parsed['short_description'], str, name)
            self.assertTrue(all(isinstance(line, str) for line in parsed['description']), name)
            self.assertEqual(texts(parsed.get('options'), name), [])
        for name, module in (('provision', provision), ('scan', scan)):
            yaml.safe_load(module.EXAMPLES)
            yaml.safe_load(module.RETURN)

    @unittest.skipUnless(shutil.which('ansible-doc'), 'ansible-doc is not installed')
    def test_shared_options_reach_every_module(self):
        env = dict(os.environ, ANSIBLE_COLLECTIONS_PATH=collection_path.TOP)
        for module in ('scan', 'provision'):
            name = 'vantrel.cameras.' + module
            shown = subprocess.run(['ansible-doc', '--json', name], env=env, capture_output=True, text=True)
            self.assertEqual(shown.returncode, 0, shown.stderr)
            options = json.loads(shown.stdout)[name]['doc']['options']
            self.assertEqual(options['cli_path']['default'], 'vantrel-cli', name)
            self.assertEqual(texts(options, name), [])


if __name__ == '__main__':
    unittest.main()
