# Runs a module of the collection as Ansible does on a managed host (its
# arguments in a file, its result as JSON on standard output) with fake_cli_body.py
# as vantrel-cli.
import json
import os
import subprocess
import sys
import tempfile

import collection_path

HERE = os.path.dirname(os.path.abspath(__file__))


class ModuleRun:
    def __init__(self, module, args, stdout='', stderr='', rc=0, cli=None):
        self.dir = tempfile.mkdtemp(prefix='vantrel-fake-cli-')
        for name, text in (('stdout', stdout), ('stderr', stderr), ('rc', str(rc))):
            with open(os.path.join(self.dir, name), 'w') as f:
                f.write(text)
        fake = os.path.join(self.dir, 'vantrel-cli')
        with open(os.path.join(HERE, 'fake_cli_body.py')) as body, open(fake, 'w') as f:
            f.write('#!' + sys.executable + '\n' + body.read())
        os.chmod(fake, 0o755)
        args = dict(args)
        args.setdefault('cli_path', cli or fake)
        args_file = os.path.join(self.dir, 'args.json')
        with open(args_file, 'w') as f:
            json.dump({'ANSIBLE_MODULE_ARGS': args}, f)
        source = os.path.join(collection_path.ROOT, 'plugins', 'modules', module + '.py')
        env = dict(os.environ, FAKE_CLI_DIR=self.dir, PYTHONPATH=collection_path.TOP)
        done = subprocess.run([sys.executable, source, args_file], capture_output=True, text=True, env=env,
                              timeout=60)
        self.stderr = done.stderr
        self.result = json.loads(done.stdout)

    def argv(self):
        with open(os.path.join(self.dir, 'argv.json')) as f:
            return json.load(f)

    def stdin(self):
        with open(os.path.join(self.dir, 'stdin')) as f:
            return f.read()
