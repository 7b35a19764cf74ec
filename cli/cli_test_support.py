"""What the command-line checks share: the program (their first argument), a run of it, and the failures found."""
import subprocess
import sys

EXE = sys.argv[1]
failures = []


def run(args, stdin=b""):  # exit code, output, whether anything went to standard error
    p = subprocess.run([EXE] + list(args), input=stdin, capture_output=True, timeout=30)
    return p.returncode, p.stdout, p.stderr != b""


def check(what, got, want):
    if got != want:
        failures.append("%s: got %r, want %r" % (what, got, want))


def finish():  # the first failures, and exit code 1 when there are any
    print("\n".join(failures[:20]) or "all checks passed")
    sys.exit(1 if failures else 0)
