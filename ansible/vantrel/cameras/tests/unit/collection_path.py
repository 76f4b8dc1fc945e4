# The collection importable as ansible_collections.vantrel.cameras from its
# source tree: a temporary folder that links to it, put first on sys.path.
import atexit
import os
import shutil
import sys
import tempfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))


def _link():
    top = tempfile.mkdtemp(prefix='vantrel-collection-')
    atexit.register(shutil.rmtree, top, True)
    os.makedirs(os.path.join(top, 'ansible_collections', 'vantrel'))
    os.symlink(ROOT, os.path.join(top, 'ansible_collections', 'vantrel', 'cameras'))
    sys.path.insert(0, top)
    return top


TOP = _link()
