import json
import os
import shutil
import subprocess
import unittest

import collection_path


@unittest.skipUnless(shutil.which('ansible-doc'), 'ansible-doc is not installed')
class Documentation(unittest.TestCase):
    # What ansible-doc shows is what users read: every module's documentation
    # must load, with the shared cli_path option merged in.
    def test_every_module_documents_its_options(self):
        env = dict(os.environ, ANSIBLE_COLLECTIONS_PATH=collection_path.TOP)
        for module in ('scan', 'provision'):
            name = 'vantrel.cameras.' + module
            shown = subprocess.run(['ansible-doc', '--json', name], env=env, capture_output=True, text=True)
            self.assertEqual(shown.returncode, 0, shown.stderr)
            doc = json.loads(shown.stdout)[name]['doc']
            self.assertEqual(doc['options']['cli_path']['default'], 'vantrel-cli')
            self.assertTrue(doc['short_description'])
            self.assertDescribed(name, doc['options'])

    # Every option and suboption has a description of text: a YAML slip (a
    # "key: value" inside a line) turns a line into a mapping ansible-doc cannot show.
    def assertDescribed(self, where, options):
        for key, option in options.items():
            text = option['description']
            lines = text if isinstance(text, list) else [text]
            self.assertTrue(lines and all(isinstance(line, str) and line for line in lines), '%s %s' % (where, key))
            self.assertDescribed('%s %s' % (where, key), option.get('suboptions', {}))
