#!/usr/bin/env python3
"""A script's step made to fail once the Wine bench and the update server run.

    check_failing_step.py STEP WINE_STATE SERVER_STATE COMMAND [ARGUMENTS...]

Runs COMMAND (scripts/run, bench/run) with VELORA_FAIL_STEP=STEP and
VELORA_WINE_STATE=WINE_STATE, off any display, and checks that it failed
naming STEP, that the Wine bench of WINE_STATE and the update server of
SERVER_STATE had been started by it, and that no process of either folder is
left: neither their pid files nor any process whose command line,
environment, working folder or open files name a path inside them (Wine
programs and wineserver carry WINEPREFIX, Xvfb and the window manager write
their logs there, the update server keeps its files there).
"""
import os
import subprocess
import sys
import time


def ancestors():
    """This process and the ones it runs under: they name the folders too."""
    chain, pid = set(), os.getpid()
    while pid > 1 and pid not in chain:
        chain.add(pid)
        try:
            with open(f"/proc/{pid}/stat") as stat:
                pid = int(stat.read().rsplit(")", 1)[1].split()[1])
        except OSError:
            break
    return chain


def inside(path, folders):
    return any(path == folder or path.startswith(folder + "/") for folder in folders)


def processes_of(folders):
    """'PID COMMAND' of every process of the folders, this check's own left out."""
    own, found = ancestors(), []
    names = [folder.encode() for folder in folders]
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) in own:
            continue
        base = f"/proc/{entry}"
        try:
            with open(f"{base}/cmdline", "rb") as cmdline, open(f"{base}/environ", "rb") as environ:
                text = cmdline.read() + b"\0" + environ.read()
            paths = [os.readlink(f"{base}/cwd")]
            for fd in os.listdir(f"{base}/fd"):
                try:
                    paths.append(os.readlink(f"{base}/fd/{fd}"))
                except OSError:
                    pass
            with open(f"{base}/comm") as comm:
                command = comm.read().strip()
        except OSError:  # ended meanwhile, or not ours to read
            continue
        if any(name in text for name in names) or any(inside(path, folders) for path in paths):
            found.append(f"{entry} {command}")
    return found


def main(argv):
    if len(argv) < 5:
        sys.exit(__doc__)
    step, wine_state, server_state = argv[1], os.path.abspath(argv[2]), os.path.abspath(argv[3])
    command, folders = argv[4:], [wine_state, server_state]

    before = processes_of(folders)
    if before:
        sys.exit(f"FAIL: processes of {' and '.join(folders)} run before the check: {', '.join(before)}")

    environment = dict(os.environ, VELORA_FAIL_STEP=step, VELORA_WINE_STATE=wine_state)
    environment.pop("DISPLAY", None)
    started = time.time() - 1
    run = subprocess.run(command, env=environment, stdin=subprocess.DEVNULL,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    output = run.stdout.decode(errors="replace")
    left = processes_of(folders)

    print(f"$ VELORA_FAIL_STEP={step} VELORA_WINE_STATE={wine_state} {' '.join(command)}")
    print("".join(f"  | {line}\n" for line in output.splitlines()[-8:]), end="")
    print(f"  exit code {run.returncode}")

    def fresh(path):
        return os.path.exists(path) and os.path.getmtime(path) >= started

    checks = [
        ("it failed", run.returncode != 0),
        (f'it named the step: step "{step}" failed', f'step "{step}" failed: failed on purpose' in output),
        (f"its Wine bench had started ({wine_state}/logs/Xvfb.log written)",
         fresh(f"{wine_state}/logs/Xvfb.log")),
        (f"its update server had started ({server_state}/server.log written)",
         fresh(f"{server_state}/server.log")),
        (f"no session pid file is left ({wine_state}/session.env)",
         not os.path.exists(f"{wine_state}/session.env")),
        (f"no update server pid file is left ({server_state}/pid)",
         not os.path.exists(f"{server_state}/pid")),
        (f"no process of {wine_state} or {server_state} is left" + (f": {', '.join(left)}" if left else ""),
         not left),
    ]
    for what, passed in checks:
        print(f"  {'ok  ' if passed else 'FAIL'} {what}")
    return 0 if all(passed for _, passed in checks) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
