#!/usr/bin/env python3
"""install_check_test.py -- .ci/check-install-deps passes on the project's install script and fails,
naming the package, when a package the build compiles against is taken out of it.

Usage: install_check_test.py SOURCE_DIR BUILD_DIR PACKAGE...
(the packages to take out in turn: ones whose headers the build includes)
"""
import os
import re
import subprocess
import sys
import tempfile

source, build, packages = sys.argv[1], sys.argv[2], sys.argv[3:]
check = os.path.join(source, '.ci', 'check-install-deps')
with open(os.path.join(source, '.ci', 'install-deps'), encoding='utf-8') as f:
    script = f.read()


def run_check(text):
    with tempfile.NamedTemporaryFile('w', suffix='-install-deps', delete=False) as f:
        f.write(text)
    try:
        r = subprocess.run([sys.executable, check, build, '--install-script', f.name],
                           capture_output=True, text=True, check=False)
        return r.returncode, r.stdout + r.stderr
    finally:
        os.unlink(f.name)


failures = []
code, out = run_check(script)
if code != 0:
    failures.append(f'the install script as it stands fails the check:\n{out}')

# Each package whose headers a part of the build includes, taken out of the
# script in turn: the check must fail and name it.
# (A package that another named package depends on, libgtest-dev under
# libgmock-dev say, is still installed without its own name and rightly passes.)
for package in packages:
    if not re.search(rf'(?<![\w.+-]){re.escape(package)}(?![\w.+-])', script):
        failures.append(f'{package} is no longer in .ci/install-deps: update this test')
        continue
    without = re.sub(rf'(?<![\w.+-]){re.escape(package)}(?![\w.+-])', '', script)
    code, out = run_check(without)
    if code == 0 or package.replace('libjpeg-dev', 'libjpeg62-turbo-dev') not in out:
        failures.append(f'without {package} the check gave status {code}:\n{out}')

for f in failures:
    print('FAIL:', f)
print(f'{len(packages) + 1 - len(failures)} passed, {len(failures)} failed')
sys.exit(1 if failures else 0)
