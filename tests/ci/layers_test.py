#!/usr/bin/env python3
"""layers_test.py -- .ci/check-layers passes on the tree and fails, naming the fault, on each planted fault.

Usage: layers_test.py SOURCE_DIR
"""
import os
import shutil
import subprocess
import sys
import tempfile

source = sys.argv[1]
check = os.path.join(source, '.ci', 'check-layers')

# (name, file to add or append to, text, words the finding must contain)
PLANTED = [
    ('the core includes the demo', 'render/planted.cpp', '#include "app/demo_state.h"\n',
     'render/planted.cpp: includes app/demo_state.h'),
    ('the platform includes a command', 'platform/planted.cpp', '#include "tools/commands.h"\n',
     'platform/planted.cpp: includes tools/commands.h'),
    ('SDL outside the platform', 'app/planted.cpp', '#include <SDL.h>\n', 'only platform/sdl/ sees SDL'),
    ('a circle of files', 'shared/planted_a.h', '#include "shared/planted_b.h"\n', 'in a circle'),
    ('mutable state in the core', 'render/planted_state.cpp',
     'namespace {\nint framesDrawn = 0;\n}\n', 'mutable state in the core'),
    ('a mutable extern in the core', 'scene/planted_state.h', 'extern int lastError;\n',
     'mutable state in the core'),
]
# Kept: what the check must not take for a fault.
HARMLESS = ('render/planted_ok.cpp',
            'namespace {\nconstexpr int kSteps = 4;\nconst int kRows[] = {1, 2};\n'
            'int Twice(int v) { int local = v; return local * 2; }\nstruct Cell { int x = 0; };\n}\n')


def copy_tree(dest):
    for top, dirs, names in os.walk(source):
        rel = os.path.relpath(top, source)
        dirs[:] = [d for d in dirs if not (rel == '.' and (d.startswith('build') or d == '.git'))]
        for n in names:
            if n.endswith(('.h', '.cpp')):
                os.makedirs(os.path.join(dest, rel), exist_ok=True)
                shutil.copy2(os.path.join(top, n), os.path.join(dest, rel, n))


def run(tree):
    r = subprocess.run([sys.executable, check, tree], capture_output=True, text=True, check=False)
    return r.returncode, r.stdout + r.stderr


failures = []
with tempfile.TemporaryDirectory(prefix='flyover-layers-') as base:
    clean = os.path.join(base, 'clean')
    copy_tree(clean)
    code, out = run(clean)
    if code != 0:
        failures.append(f'the tree as it stands fails:\n{out}')
    with open(os.path.join(clean, HARMLESS[0]), 'w') as f:
        f.write(HARMLESS[1])
    code, out = run(clean)
    if code != 0:
        failures.append(f'constants, functions and types taken for faults:\n{out}')
    for name, path, text, expect in PLANTED:
        tree = os.path.join(base, name.replace(' ', '-'))
        copy_tree(tree)
        with open(os.path.join(tree, path), 'a') as f:
            f.write(text)
        if name == 'a circle of files':
            with open(os.path.join(tree, 'shared/planted_b.h'), 'w') as f:
                f.write('#include "shared/planted_a.h"\n')
        code, out = run(tree)
        if code == 0 or expect not in out:
            failures.append(f'{name}: status {code}, expected a finding with "{expect}":\n{out}')

for f in failures:
    print('FAIL:', f)
print(f'{len(PLANTED) + 2 - len(failures)} passed, {len(failures)} failed')
sys.exit(1 if failures else 0)
