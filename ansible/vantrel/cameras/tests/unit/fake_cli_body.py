# Stands in for vantrel-cli (module_run.py writes it out with a #! line):
# keeps its arguments and standard input in $FAKE_CLI_DIR, then prints stdout and stderr from there and exits with rc.
import json
import os
import sys

here = os.environ['FAKE_CLI_DIR']
with open(os.path.join(here, 'argv.json'), 'w') as f:
    json.dump(sys.argv[1:], f)
with open(os.path.join(here, 'stdin'), 'wb') as f:
    f.write(sys.stdin.buffer.read() if '-' in sys.argv[1:] else b'')


def part(name, default=''):
    path = os.path.join(here, name)
    return open(path).read() if os.path.exists(path) else default


sys.stdout.write(part('stdout'))
sys.stderr.write(part('stderr'))
sys.exit(int(part('rc', '0')))
