#!/usr/bin/python3
"""measure_record_eta.py -- how far record's estimate of time left is off as a recording goes.

Runs `flyover-tool record` on a pseudo-terminal (so that it draws its progress line), notes when
each line arrives, and prints, per line, the fraction done, the seconds since the start, the
estimate the line's rate gives ((total - done) / fps, whether shown or held back) and the time
that was really left.

    bench/measure_record_eta.py build/bin/flyover-tool --scene build/bin --out /tmp/f.mp4
"""
import fcntl
import os
import pty
import re
import select
import struct
import sys
import termios
import time

LINE = re.compile(r"(\d+)/(\d+) frames\s+\d+%\s+(\d+) fps")


def main():
    tool, args = sys.argv[1], sys.argv[2:]
    pid, fd = pty.fork()
    if pid == 0:
        os.execv(tool, [tool, "record"] + args)
    # Wide enough for the whole line, count and rate included.
    fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", 50, 250, 0, 0))
    start = time.monotonic()
    seen, buffer = [], b""
    while True:
        ready, _, _ = select.select([fd], [], [], 1.0)
        if not ready:
            continue
        try:
            chunk = os.read(fd, 65536)
        except OSError:
            break
        if not chunk:
            break
        now = time.monotonic() - start
        buffer += chunk
        parts = buffer.split(b"\r")
        buffer = parts[-1]
        for part in parts[:-1]:
            match = LINE.search(part.decode(errors="replace"))
            if match:
                seen.append((now, *map(int, match.groups())))
    end = time.monotonic() - start
    os.waitpid(pid, 0)
    print("%8s %8s %10s %10s %8s" % ("done", "seconds", "estimate", "really", "error"))
    for now, done, total, fps in seen:
        if fps <= 0:
            continue
        estimate = (total - done) / fps
        really = end - now
        print("%7.1f%% %8.2f %10.2f %10.2f %7.0f%%" % (100 * done / total, now, estimate, really,
                                                     100 * (estimate - really) / max(really, 1e-9)))
    print("finished after %.2f s" % end)


if __name__ == "__main__":
    main()
