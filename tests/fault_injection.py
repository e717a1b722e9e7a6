#!/usr/bin/env python3
"""famgen's files under fire: full disks and file systems out of inodes (tmpfs mounted to the
byte), signals mid-write (SIGKILL among them), file-size and memory limits, links planted by
another user in a shared sticky folder, readers racing for a new file's bytes, concurrent
writers, /dev/stdout appended to, and famgen-mpi with long paths and killed ranks.

After every case the old file is byte-identical or the new one complete, no temporary is
left, and a run that failed ends with a nonzero status and one line. Each row of CASES is one
fault; the table printed at the end gives its figures, so that the suite run against an older
famgen shows what it reproduces there.

Most cases need root (tmpfs mounts, other users, chown); without it they are skipped with a
warning. The named-temporary path, taken where no unnamed file can be linked into place, is
reached by running famgen in a mount namespace whose /proc is hidden.

Usage: fault_injection.py FAMGEN [--mpi MPIRUN FAMGEN_MPI] [--python PYTHONPATH] [--sanitized]
                          [--only CASE]...
"""

import argparse
import contextlib
import os
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time

PLANTER = 61231  # throwaway users, by number: no account is made
VICTIM = 61232
READER = 61233


class Skip(Exception):
    pass


class Case:
    def __init__(self, name, fault, needs, run):
        self.name, self.fault, self.needs, self.run = name, fault, needs, run


class Checks:
    """What a case found: figures for the table, and failed expectations."""

    def __init__(self):
        self.figures = []
        self.failures = []

    def figure(self, text):
        self.figures.append(text)

    def expect(self, condition, text):
        if not condition:
            self.failures.append(text)
        return condition


# ---- running famgen ----

def preexec(user=None, limits=()):
    def setup():
        resource.setrlimit(resource.RLIMIT_CORE, (0, 0))
        for kind, value in limits:
            resource.setrlimit(kind, (value, value))
        if user is not None:
            os.setgroups([])
            os.setgid(user)
            os.setuid(user)
    return setup


def command(args, hide_proc=False, slow_chmod=False):
    argv = [FAMGEN] + [str(a) for a in args]
    if slow_chmod:
        # Every fchmod and chmod held up for 0.3 s by strace's fault injection: a window of
        # microseconds between a file's creation and its mode, made wide enough to be seen.
        argv = ["strace", "-f", "-o", "/dev/null", "-e", "trace=fchmod,chmod", "-e",
                "inject=fchmod,chmod:delay_enter=300000"] + argv
    if hide_proc:
        # No /proc: an unnamed file cannot be linked into place, so famgen takes named
        # temporaries, as on a file system without O_TMPFILE.
        argv = ["unshare", "-m", "--propagation", "private", "sh", "-c",
                'mount -t tmpfs -o size=4k none /proc && exec "$@"', "famgen"] + argv
    return argv


def start(args, user=None, limits=(), hide_proc=False, slow_chmod=False, cwd=None,
          stdout=subprocess.DEVNULL):
    return subprocess.Popen(command(args, hide_proc, slow_chmod), stdout=stdout,
                            stderr=subprocess.PIPE, preexec_fn=preexec(user, limits),
                            cwd=cwd or SCRATCH)


class Result:
    def __init__(self, status, stderr):
        self.status, self.stderr = status, stderr

    def lines(self):
        return self.stderr.count("\n")

    def __str__(self):
        # The reason, which ends the line.
        return "status %d%s" % (self.status, ", '..." + self.stderr.strip()[-60:] + "'" if self.stderr else "")


def run(args, **options):
    process = start(args, **options)
    _, err = process.communicate(timeout=120)
    return Result(process.returncode if process.returncode >= 0 else 128 - process.returncode,
                  err.decode(errors="replace"))


def written_bytes(pid):
    try:
        with open("/proc/%d/io" % pid) as io:
            for line in io:
                if line.startswith("wchar:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return -1


def stop_mid_write(process, signal_number, after_bytes=4 << 20):
    """Sends the signal once the process has written after_bytes; its wait status."""
    deadline = time.time() + 60
    while written_bytes(process.pid) < after_bytes and process.poll() is None and time.time() < deadline:
        time.sleep(0.002)
    mid_write = process.poll() is None
    if mid_write:
        os.kill(process.pid, signal_number)
    process.communicate(timeout=120)
    return process.returncode, mid_write


def graph_bytes(args):
    """The file famgen writes for args, from standard output."""
    return subprocess.run([FAMGEN] + [str(a) for a in args] + ["-out", "-"], check=True,
                          stdout=subprocess.PIPE).stdout


# ---- places ----

def fresh_folder(name, mode=0o755):
    path = os.path.join(SCRATCH, name)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    os.chmod(path, mode)
    return path


@contextlib.contextmanager
def tmpfs(name, size=None, inodes=None):
    """A tmpfs of size bytes (rounded up to pages) and at most inodes inodes, root included."""
    path = fresh_folder(name)
    options = ["mode=0755"]
    if size is not None:
        options.append("size=%d" % size)
    if inodes is not None:
        options.append("nr_inodes=%d" % inodes)
    if subprocess.run(["mount", "-t", "tmpfs", "-o", ",".join(options), "tmpfs", path],
                      stderr=subprocess.DEVNULL).returncode != 0:
        raise Skip("cannot mount a tmpfs here")
    try:
        yield path
    finally:
        subprocess.run(["umount", "-l", path])


def entries(folder):
    return sorted(e for e in os.listdir(folder) if not e.startswith("core"))


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data, mode=None):
    with open(path, "wb") as f:
        f.write(data)
    if mode is not None:
        os.chmod(path, mode)


def pages(size):
    return (size + 4095) // 4096 * 4096


def expect_kept(checks, path, old, label):
    kept = os.path.exists(path) and read(path) == old
    checks.expect(kept, "%s: the old file was not kept (%s)" % (
        label, "%d bytes now" % os.path.getsize(path) if os.path.exists(path) else "gone"))
    return kept


def expect_only(checks, folder, names, label):
    left = entries(folder)
    checks.expect(left == sorted(names), "%s: the folder holds %s" % (label, left))
    return [e for e in left if e not in names]


def expect_failed(checks, result, label, status=None):
    checks.expect(result.status != 0 and result.lines() == 1,
                  "%s: expected a failure with one line, got %s" % (label, result))
    if status is not None:
        checks.expect(result.status == status, "%s: expected status %d, got %s" % (label, status, result))


OLD = b"old file\n" * 100000  # 900 kB that must survive


# ---- the cases ----

def long_names(checks):
    """Names of 239 to 255 bytes lost whole-or-nothing: written in place when full."""
    grid = ["-graphtype", "grid", "-size", "500,500"]
    real = len(graph_bytes(grid))
    kept = 0
    tries = 0
    for length in (239, 250, 255):
        name = "n" * length
        # A disk that fills before the end: free space 98 % of the file, which no estimate of
        # it may refuse at once.
        with tmpfs("long", size=pages(len(OLD)) + pages(real * 98 // 100)) as disk:
            write(os.path.join(disk, name), OLD)
            result = run(grid + ["-out", os.path.join(disk, name)])
            label = "%d-byte name, full disk" % length
            expect_failed(checks, result, label)
            kept += expect_kept(checks, os.path.join(disk, name), OLD, label)
            expect_only(checks, disk, [name], label)
            tries += 1
        folder = fresh_folder("long-signal")
        write(os.path.join(folder, name), OLD)
        process = start(["-graphtype", "grid", "-size", "3000,3000", "-out", os.path.join(folder, name)])
        status, _ = stop_mid_write(process, signal.SIGTERM)
        label = "%d-byte name, SIGTERM" % length
        checks.expect(status == -signal.SIGTERM, "%s: status %s" % (label, status))
        kept += expect_kept(checks, os.path.join(folder, name), OLD, label)
        expect_only(checks, folder, [name], label)
        result = run(grid + ["-out", os.path.join(folder, name)],
                     limits=[(resource.RLIMIT_FSIZE, 1 << 20)])
        label = "%d-byte name, ulimit -f 1024" % length
        expect_failed(checks, result, label, 255)
        kept += expect_kept(checks, os.path.join(folder, name), OLD, label)
        expect_only(checks, folder, [name], label)
        tries += 2
    checks.figure("old file kept in %d of %d runs (full disk, SIGTERM, ulimit -f; 239, 250, 255 bytes)" % (kept, tries))


def no_free_inode(checks):
    """No inode for a new file: written in place, then cut off by the full disk."""
    # Room for the whole file, but no inode for a new one beside the old (the folder is one).
    with tmpfs("inodes", size=64 << 20, inodes=2) as disk:
        old_path = os.path.join(disk, "g")
        write(old_path, OLD)
        result = run(["-graphtype", "grid", "-size", "1000,1000", "-out", old_path])
        expect_failed(checks, result, "no free inode", 1)
        expect_kept(checks, old_path, OLD, "no free inode")
        expect_only(checks, disk, ["g"], "no free inode")
        checks.figure("%s; old file %d B, now %d B" % (result, len(OLD), os.path.getsize(old_path)))


def memory_limits(checks):
    """Allocation failures under ulimit -v with -threads: never an abort, nothing left."""
    if ARGS.sanitized:
        raise Skip("a sanitized build reserves more address space than any limit leaves")
    folder = fresh_folder("memory")
    grid = ["-graphtype", "grid", "-size", "600,600"]
    expected = graph_bytes(grid)
    path = os.path.join(folder, "g")
    outcomes = {}
    for megabytes in range(24, 224, 4):
        write(path, OLD)
        result = run(grid + ["-threads", "8", "-out", path],
                     limits=[(resource.RLIMIT_AS, megabytes << 20)])
        label = "ulimit -v %d MiB" % megabytes
        outcomes[result.status] = outcomes.get(result.status, 0) + 1
        if result.status == 0:
            checks.expect(read(path) == expected, label + ": status 0 on an incomplete file")
        else:
            expect_failed(checks, result, label, 1)
            expect_kept(checks, path, OLD, label)
        expect_only(checks, folder, ["g"], label)
    checks.figure("statuses over 50 limits: " + ", ".join(
        "%d x %d" % (count, status) for status, count in sorted(outcomes.items())))
    checks.expect(set(outcomes) <= {0, 1}, "statuses other than 0 and 1: %s" % outcomes)
    # The library's arrays beyond an address-space limit: MemoryError naming the limit, not the
    # system's free memory.
    if ARGS.python:
        script = ("import famgen\n"
                  "for family, sizes in [('torus', (10000, 10000)), ('sierpinski', (16,))]:\n"
                  "    try:\n        famgen.csr(family, *sizes)\n"
                  "    except MemoryError as error:\n        print(error)\n"
                  "    except Exception as error:\n        print(type(error).__name__, error)\n")
        process = subprocess.run(
            [sys.executable, "-c", script], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            env=dict(os.environ, PYTHONPATH=ARGS.python), timeout=60,
            preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_AS, (1 << 30, 1 << 30)))
        said = process.stdout.decode(errors="replace").strip().splitlines() + ["", ""]
        checks.expect("address-space limit (ulimit -v)" in said[0],
                      "arrays under ulimit -v 1 GiB: %r" % said[0][-160:])
        # The Sierpinski graph's store that cannot be had: MemoryError, not a refusal.
        checks.expect(said[1].startswith("famgen: cannot allocate "),
                      "Sierpinski store under ulimit -v 1 GiB: %r" % said[1][-160:])
        checks.figure("arrays under ulimit -v 1 GiB: %s; the Sierpinski store: %s" % (
            said[0], said[1]))


def planted_links(checks):
    """Links planted in a shared sticky folder by another user."""
    if open("/proc/sys/fs/protected_symlinks").read().strip() != "0":
        checks.figure("(the kernel's own protection is on here: famgen's rule is seen behind it)")
    shared = fresh_folder("shared", 0o1777)
    home = fresh_folder("home", 0o755)
    os.chown(home, VICTIM, VICTIM)
    secret = os.path.join(home, "secret")
    write(secret, b"the victim's\n", 0o600)
    os.chown(secret, VICTIM, VICTIM)
    root_secret = os.path.join(SCRATCH, "root-secret")
    write(root_secret, b"root's\n", 0o600)

    def plant(name, target, owner=PLANTER):
        link = os.path.join(shared, name)
        os.symlink(target, link)
        os.lchown(link, owner, owner)
        return link

    circle = ["-graphtype", "circle", "-size", "5"]
    refusals = 0
    cases = [("root follows the planter's link to root's file", plant("a", root_secret), None, root_secret),
             ("root follows the planter's link to the victim's file", plant("b", secret), None, secret),
             ("the victim follows the planter's link to its own file", plant("c", secret), VICTIM, secret)]
    for label, link, user, target in cases:
        before = read(target)
        result = run(circle + ["-out", link], user=user)
        refusals += result.status == 1
        expect_failed(checks, result, label, 1)
        checks.expect(read(target) == before, label + ": the target was overwritten")
        checks.expect(os.path.islink(link), label + ": the link is gone")
    dangling = plant("d", os.path.join(home, "chosen"))
    result = run(circle + ["-out", dangling])
    expect_failed(checks, result, "a dangling planted link", 1)
    checks.expect(not os.path.exists(os.path.join(home, "chosen")),
                  "a dangling planted link: a file was made where the planter chose")
    refusals += result.status == 1
    # Links the rule lets through: the runner's own, and the folder owner's.
    own_target = os.path.join(SCRATCH, "own-target")
    write(own_target, b"old\n", 0o640)
    own = plant("e", own_target, owner=0)
    result = run(circle + ["-out", own])
    checks.expect(result.status == 0 and read(own_target) == graph_bytes(circle) and os.path.islink(own),
                  "the runner's own link: %s" % result)
    checks.expect(os.stat(own_target).st_mode & 0o7777 == 0o640, "the runner's own link: mode changed")
    owned = fresh_folder("planter-shared", 0o1777)
    os.chown(owned, PLANTER, PLANTER)
    link = os.path.join(owned, "f")
    os.symlink(own_target, link)
    os.lchown(link, PLANTER, PLANTER)
    write(own_target, b"old\n", 0o640)
    result = run(["-graphtype", "circle", "-size", "6", "-out", link])
    checks.expect(result.status == 0 and read(own_target).startswith(b"% 6 vertices"),
                  "the folder owner's link: %s" % result)
    checks.figure("%d of 4 planted links refused (3 to 0600 files, 1 dangling); own and folder owner's links followed" % refusals)


def reader_race(hide_proc):
    """How many of the tries let another user open a 0600 output's new file and read it."""
    folder = fresh_folder("modes-%d" % hide_proc, 0o755)
    path = os.path.join(folder, "g")
    done = os.path.join(SCRATCH, "modes-done")
    leaks = 0
    tries = 5
    for _ in range(tries):
        write(path, OLD, 0o600)
        reader = os.fork()
        if reader == 0:
            # Opens whatever appears in the folder, and reads it all once the run is over.
            os.setgroups([])
            os.setgid(READER)
            os.setuid(READER)
            held = {}
            deadline = time.time() + 20
            while time.time() < deadline and not os.path.exists(done):
                for name in os.listdir(folder):
                    if name in held:
                        continue
                    try:
                        held[name] = os.open(os.path.join(folder, name), os.O_RDONLY)
                    except OSError:
                        pass
            stolen = 0
            for descriptor in held.values():
                while True:
                    chunk = os.read(descriptor, 1 << 20)
                    if not chunk:
                        break
                    stolen += len(chunk)
            os._exit(1 if stolen else 0)
        process = start(["-graphtype", "circle", "-size", "300000", "-out", path],
                        hide_proc=hide_proc, slow_chmod=True)
        process.communicate(timeout=120)
        write(done, b"")
        _, status = os.waitpid(reader, 0)
        os.unlink(done)
        leaks += os.WEXITSTATUS(status) == 1
        if process.returncode != 0:
            raise Skip("famgen under strace failed: status %d" % process.returncode)
    return leaks, tries


def mode_window(checks):
    """The new file takes the old one's mode only after it was made with the umask's."""
    if shutil.which("strace") is None:
        raise Skip("strace, which widens the window, is not installed")
    leaks, tries = reader_race(False)
    checks.figure("another user read the new file in %d of %d tries" % (leaks, tries))
    checks.expect(leaks == 0, "another user read a 0600 output")
    if HIDE_PROC:
        leaks, tries = reader_race(True)
        checks.figure("named temporaries: %d of %d" % (leaks, tries))
        checks.expect(leaks == 0, "another user read a 0600 output's named temporary")


def signals(checks):
    """SIGQUIT, SIGUSR1, SIGALRM and SIGKILL mid-write, on both kinds of new file."""
    left = []
    paths = [("unnamed", False)] + ([("named", True)] if HIDE_PROC else [])
    for kind, hide_proc in paths:
        for signal_number in (signal.SIGQUIT, signal.SIGUSR1, signal.SIGALRM, signal.SIGKILL):
            folder = fresh_folder("signals")
            path = os.path.join(folder, "g")
            write(path, OLD)
            label = "%s, %s" % (kind, signal.Signals(signal_number).name)
            process = start(["-graphtype", "grid", "-size", "3000,3000", "-out", path], hide_proc=hide_proc)
            status, mid_write = stop_mid_write(process, signal_number)
            checks.expect(mid_write and status == -signal_number, "%s: status %s" % (label, status))
            expect_kept(checks, path, OLD, label)
            leftovers = [e for e in entries(folder) if e != "g"]
            if leftovers:
                left.append(label)
            if signal_number == signal.SIGKILL and hide_proc:
                # No handler runs: the temporary stays until the next run for that name.
                result = run(["-graphtype", "circle", "-size", "5", "-out", path], hide_proc=True)
                checks.expect(result.status == 0, "%s: the next run failed: %s" % (label, result))
                if expect_only(checks, folder, ["g"], label + ", then the next run"):
                    left.append(label + " (and after the next run)")
            else:
                expect_only(checks, folder, ["g"], label)
    checks.figure("temporaries left by: " + (", ".join(left) if left else "none"))


def in_place(checks):
    """Hard links and links: concurrent runs interleave, a full disk half-writes."""
    folder = fresh_folder("in-place")
    first = ["-graphtype", "grid", "-size", "400,400"]
    second = ["-graphtype", "torus", "-size", "300,500"]
    whole = {graph_bytes(first), graph_bytes(second)}
    mixed = {"hard link": 0, "symbolic link": 0}
    rounds = 10
    for shape in mixed:
        for _ in range(rounds):
            shutil.rmtree(folder)
            os.makedirs(folder)
            target = os.path.join(folder, "g")
            write(target, OLD)
            other = os.path.join(folder, "g2")
            if shape == "hard link":
                os.link(target, other)
            else:
                os.symlink(target, other)
            runs = [start(first + ["-out", target]), start(second + ["-out", other])]
            statuses = [p.wait(timeout=120) for p in runs]
            checks.expect(statuses == [0, 0], "%s: statuses %s" % (shape, statuses))
            mixed[shape] += read(target) not in whole
        checks.expect(mixed[shape] == 0, "%s: %d mixed files" % (shape, mixed[shape]))
    checks.figure("mixed files in %d rounds: hard link %d, symbolic link %d" % (
        rounds, mixed["hard link"], mixed["symbolic link"]))
    grid = ["-graphtype", "grid", "-size", "600,600"]
    real = len(graph_bytes(grid))
    with tmpfs("in-place-full", size=pages(len(OLD)) + pages(real * 98 // 100 - len(OLD))) as disk:
        target = os.path.join(disk, "g")
        write(target, OLD)
        os.link(target, os.path.join(disk, "g2"))
        result = run(grid + ["-out", target])
        expect_failed(checks, result, "hard link on a full disk", 1)
        expect_kept(checks, target, OLD, "hard link on a full disk")
        checks.figure("hard link on a full disk: %s, %d B left of %d B" % (result, os.path.getsize(target), len(OLD)))


def standard_output_names(checks):
    """-out /dev/stdout >> log wiped the log; -out - >> log appends."""
    folder = fresh_folder("stdout")
    log = os.path.join(folder, "log")
    circle = ["-graphtype", "circle", "-size", "4"]
    graph = graph_bytes(circle)
    for name in ("/dev/stdout", "/dev/fd/1", "-"):
        write(log, b"earlier line\n")
        with open(log, "ab") as out:
            result = run(circle + ["-out", name], stdout=out)
        checks.expect(result.status == 0 and read(log) == b"earlier line\n" + graph,
                      "-out %s >> log: %s, the log holds %d B" % (name, result, os.path.getsize(log)))
        checks.figure("-out %s >> log: %d of %d B" % (name, os.path.getsize(log), len(graph) + 13))


def space_guard(checks):
    """The space guard's bound was 2.7 to 4.1 times below the real size."""
    for keyword, sizes, extra in (("grid", "1000,1000", []), ("hypercube", "16", ["-permute", "7"]),
                                  ("torus", "700,700", ["-format", "mtx"])):
        args = ["-graphtype", keyword, "-size", sizes] + extra
        real = len(graph_bytes(args))
        for share, fits in ((90, False), (101, True)):
            with tmpfs("guard", size=pages(real * share // 100) + 8192) as disk:
                path = os.path.join(disk, "g")
                began = time.time()
                result = run(args + ["-out", path])
                seconds = time.time() - began
                used = os.statvfs(disk)
                label = "%s %s on %d %% of its size" % (keyword, sizes, share)
                if fits:
                    checks.expect(result.status == 0, "%s: %s" % (label, result))
                else:
                    expect_failed(checks, result, label, 1)
                    filled = (used.f_blocks - used.f_bfree) * used.f_frsize
                    checks.expect(filled == 0, "%s: %d B written before the refusal" % (label, filled))
                    checks.figure("%s: %s after %.2f s" % (label, "refused" if result.status == 1 else "status %d" % result.status, seconds))


def concurrent_writers(checks):
    """Four runs writing one name at once: always one whole file."""
    folder = fresh_folder("concurrent")
    path = os.path.join(folder, "g")
    arguments = [["-graphtype", "grid", "-size", "%d,300" % (200 + 50 * k)] for k in range(4)]
    whole = {graph_bytes(a) for a in arguments}
    broken = 0
    rounds = 10
    for _ in range(rounds):
        runs = [start(a + ["-out", path]) for a in arguments]
        statuses = [p.wait(timeout=120) for p in runs]
        checks.expect(statuses == [0] * 4, "statuses %s" % statuses)
        broken += read(path) not in whole
        expect_only(checks, folder, ["g"], "concurrent writers")
    checks.expect(broken == 0, "%d broken files" % broken)
    checks.figure("%d broken files in %d rounds of 4" % (broken, rounds))


def closed_standard_streams(checks):
    """A closed descriptor 0, 1 or 2 became the output file, which then took the progress
    lines or the other output: a wrong file and status 0."""
    folder = fresh_folder("closed")
    path = os.path.join(folder, "g")
    coordinates = os.path.join(folder, "c")
    grid = ["-graphtype", "grid", "-size", "300,300"]
    small = ["-graphtype", "grid", "-size", "10,10"]
    rows = [("-progress 2>&-", grid + ["-out", path, "-progress"], [2], 0, path, graph_bytes(grid)),
            ("-coordinates - >&-", small + ["-out", path, "-coordinates", "-"], [1], 255, None, None),
            ("-out - -coordinates c <&- >&-", small + ["-out", "-", "-coordinates", coordinates],
             [0, 1], 255, None, None)]
    figures = []
    for label, args, closed, status, whole, expected in rows:
        for name in entries(folder):
            os.remove(os.path.join(folder, name))
        argv = command(args)
        process = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, cwd=SCRATCH, pass_fds=(),
                                   preexec_fn=lambda: [os.close(d) for d in closed])
        process.wait(timeout=120)
        checks.expect(process.returncode == status, "%s: status %d" % (label, process.returncode))
        if whole is not None:
            checks.expect(read(whole) == expected, "%s: %d B, not the %d B of the graph" % (
                label, os.path.getsize(whole), len(expected)))
        else:
            expect_only(checks, folder, [], label)
        figures.append("%s: status %d, %s" % (label, process.returncode, ", ".join(
            "%s %d B" % (n, os.path.getsize(os.path.join(folder, n))) for n in entries(folder)) or "nothing written"))
    checks.figure("; ".join(figures))


def standard_output_named_again(checks):
    """Standard output that was also a named output lost one of them, with status 0."""
    folder = fresh_folder("stdout-twice")
    grid = ["-graphtype", "grid", "-size", "3,4"]
    figures = []
    for label, args, name, mode in (("-out g -coordinates - > g", ["-out", "g", "-coordinates", "-"], "g", "wb"),
                                    ("-out - -coordinates c > c", ["-out", "-", "-coordinates", "c"], "c", "wb"),
                                    ("-out - -coordinates c >> c", ["-out", "-", "-coordinates", "c"], "c", "ab")):
        path = os.path.join(folder, name)
        write(path, OLD)
        with open(path, mode) as out:
            process = subprocess.Popen(command(grid + args), stdout=out, stderr=subprocess.PIPE, cwd=folder)
            _, err = process.communicate(timeout=120)
        result = Result(process.returncode, err.decode(errors="replace"))
        expect_failed(checks, result, label, 1)
        kept = read(path) == (OLD if mode == "ab" else b"")
        checks.expect(kept, "%s: the file holds %d B" % (label, os.path.getsize(path)))
        expect_only(checks, folder, [name], label)
        figures.append("%s: %s" % (label, result))
        os.remove(path)
    checks.figure("; ".join(figures))


def coordinates_names(checks):
    """-coordinates kept its value's first word, and took an empty value for none."""
    folder = fresh_folder("coordinate-names")
    grid = ["-graphtype", "grid", "-size", "3,4", "-out", "graph.txt"]
    result = run(grid + ["-coordinates", "my coords.txt"], cwd=folder)
    checks.expect(result.status == 0 and entries(folder) == ["graph.txt", "my coords.txt"],
                  "'my coords.txt': %s, the folder holds %s" % (result, entries(folder)))
    figures = ["'my coords.txt': %s" % entries(folder)]
    for value in ("", " "):
        for name in entries(folder):
            os.remove(os.path.join(folder, name))
        result = run(grid + ["-coordinates", value], cwd=folder)
        expect_failed(checks, result, "-coordinates '%s'" % value, 1)
        expect_only(checks, folder, [], "-coordinates '%s'" % value)
        figures.append("'%s': %s" % (value, result))
    checks.figure("; ".join(figures))


LIBRARY_SCRIPT = r"""
import json, os, resource, signal, sys, threading, time
import famgen
folder = sys.argv[1]
found = {}

# Ctrl-C (SIGINT from another thread) in the middle of a write through named temporaries.
path = os.path.join(folder, "interrupted")
timer = threading.Timer(0.05, lambda: os.kill(os.getpid(), signal.SIGINT))
timer.start()
try:
    famgen.write("grid", 3000, 3000, out=path)
    time.sleep(1)
    found["ctrl-c"] = "no KeyboardInterrupt"
except KeyboardInterrupt:
    found["ctrl-c"] = "KeyboardInterrupt"
found["ctrl-c left"] = sorted(e for e in os.listdir(folder) if e != "interrupted")
for name in os.listdir(folder):
    os.remove(os.path.join(folder, name))

# Twelve threads writing at once.
failures = []
def one(k):
    try:
        famgen.write("grid", 200, 200 + k, out=os.path.join(folder, "t%d" % k))
    except Exception as error:
        failures.append(str(error))
threads = [threading.Thread(target=one, args=(k,)) for k in range(12)]
[t.start() for t in threads]
[t.join() for t in threads]
found["concurrent failures"] = failures
found["concurrent files"] = len(os.listdir(folder))
for name in os.listdir(folder):
    os.remove(os.path.join(folder, name))

# Names and families with a NUL byte.
refused = 0
for graph, options in (("grid", dict(out=os.path.join(folder, "a\0b"))),
                       ("grid", dict(out=os.path.join(folder, "x"), coordinates=os.path.join(folder, "d\0e"))),
                       ("grid\0x", dict(out=os.path.join(folder, "y")))):
    try:
        famgen.write(graph, 3, 4, **options)
    except ValueError:
        refused += 1
found["nul refused"] = refused
found["nul left"] = sorted(os.listdir(folder))

# SIGXFSZ after a write under a file-size limit: the host's default (the end of the process)
# again, seen by a child that raises it.
signal.signal(signal.SIGXFSZ, signal.SIG_DFL)
resource.setrlimit(resource.RLIMIT_FSIZE, (1 << 20, resource.RLIM_INFINITY))
try:
    famgen.write("grid", 1000, 1000, out=os.path.join(folder, "limited"))
    found["limit"] = "written"
except OSError as error:
    found["limit"] = "OSError"
resource.setrlimit(resource.RLIMIT_FSIZE, (resource.RLIM_INFINITY, resource.RLIM_INFINITY))
child = os.fork()
if child == 0:
    resource.setrlimit(resource.RLIMIT_CORE, (0, 0))
    os.kill(os.getpid(), signal.SIGXFSZ)
    os._exit(0)
_, status = os.waitpid(child, 0)
found["sigxfsz after"] = "default" if os.WIFSIGNALED(status) else "ignored"
print(json.dumps(found))
"""


def library_guest(checks):
    """The library (from Python) changed its host: Ctrl-C killed the interpreter, SIGXFSZ stayed
    ignored, 8 of 12 concurrent writers failed, names were cut at a NUL."""
    if not ARGS.python:
        raise Skip("no Python module (configure with -DFAMGEN_PYTHON=ON)")
    folder = fresh_folder("library")
    argv = [sys.executable, "-c", LIBRARY_SCRIPT, folder]
    if HIDE_PROC:
        argv = ["unshare", "-m", "--propagation", "private", "sh", "-c",
                'mount -t tmpfs -o size=4k none /proc && exec "$@"', "python"] + argv
    environment = dict(os.environ, PYTHONPATH=ARGS.python)
    process = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=environment,
                             timeout=300)
    if process.returncode != 0:
        checks.expect(False, "python ended with status %d: %s" % (
            process.returncode, process.stderr.decode(errors="replace").strip()[-200:]))
        checks.figure("status %d" % process.returncode)
        return
    import json
    found = json.loads(process.stdout.decode().strip().splitlines()[-1])
    checks.expect(found["ctrl-c"] == "KeyboardInterrupt", "Ctrl-C: %s" % found["ctrl-c"])
    checks.expect(not [e for e in found["ctrl-c left"] if "famgen-" in e], "Ctrl-C left %s" % found["ctrl-c left"])
    checks.expect(not found["concurrent failures"] and found["concurrent files"] == 12,
                  "concurrent: %s" % found["concurrent failures"][:2])
    checks.expect(found["nul refused"] == 3 and not found["nul left"], "NUL: %d refused, left %s" % (
        found["nul refused"], found["nul left"]))
    checks.expect(found["limit"] == "OSError" and found["sigxfsz after"] == "default",
                  "file-size limit: %s, SIGXFSZ %s after" % (found["limit"], found["sigxfsz after"]))
    checks.figure("%s (%s the named-temporary path): Ctrl-C %s, left %s; %d of 12 concurrent writers "
                  "failed; %d of 3 NUL names refused, left %s; ulimit -f: %s, SIGXFSZ %s after" % (
                      "without /proc" if HIDE_PROC else "with /proc", "on" if HIDE_PROC else "not on",
                      found["ctrl-c"], found["ctrl-c left"], len(found["concurrent failures"]),
                      found["nul refused"], found["nul left"], found["limit"], found["sigxfsz after"]))


# ---- famgen-mpi ----

def mpi_run(processes, args):
    return subprocess.Popen([ARGS.mpi[0], "--oversubscribe", "--allow-run-as-root", "-n", str(processes),
                             ARGS.mpi[1]] + [str(a) for a in args], stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, cwd=SCRATCH, preexec_fn=preexec())


def mpi_result(process):
    _, err = process.communicate(timeout=120)
    return Result(process.returncode, err.decode(errors="replace"))


def ranks_of(process):
    """The famgen-mpi processes mpirun started, by rank."""
    ranks = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/stat" % pid) as stat:
                parent = int(stat.read().rsplit(")", 1)[1].split()[1])
            if parent != process.pid:
                continue
            with open("/proc/%s/environ" % pid, "rb") as environ:
                for entry in environ.read().split(b"\0"):
                    if entry.startswith(b"OMPI_COMM_WORLD_RANK="):
                        ranks[int(entry.split(b"=")[1])] = int(pid)
        except (OSError, IndexError, ValueError):
            continue
    return ranks


def mpi_long_paths(checks):
    """Paths of about 231 bytes or more aborted inside Open MPI's shared-file-pointer code."""
    grid = ["-graphtype", "grid", "-size", "300,300"]
    expected = graph_bytes(grid)
    folder = fresh_folder("mpi-long")
    outcomes = []
    for length in (200, 230, 245, 255):
        name = "m" * length
        path = os.path.join(folder, name)
        write(path, OLD)
        result = mpi_result(mpi_run(2, grid + ["-out", path]))
        checks.expect(result.status == 0 and read(path) == expected,
                      "%d-byte name: %s" % (length, result))
        expect_only(checks, folder, [name], "%d-byte name" % length)
        outcomes.append("%d B name: %s" % (length, "written" if result.status == 0 else "status %d" % result.status))
        os.unlink(path)
    deep = os.path.join(SCRATCH, "d" * (250 - len(SCRATCH)))
    shutil.rmtree(deep, ignore_errors=True)
    os.makedirs(deep)
    path = os.path.join(deep, "g")
    write(path, OLD)
    result = mpi_result(mpi_run(2, grid + ["-out", path]))
    # mpirun adds lines of its own about the status; famgen's are those it begins.
    famgen_lines = [line for line in result.stderr.splitlines() if line.startswith("famgen:")]
    checks.expect(result.status == 1 and len(famgen_lines) == 1,
                  "a %d-byte folder path: %s" % (len(deep), result))
    expect_kept(checks, path, OLD, "a long folder path")
    expect_only(checks, deep, ["g"], "a long folder path")
    outcomes.append("%d B folder: %s" % (len(deep), "refused" if result.status == 1 else "status %d" % result.status))
    checks.figure("; ".join(outcomes))


def mpi_killed_ranks(checks):
    """A rank killed mid-write: the old file must stay, and no temporary."""
    folder = fresh_folder("mpi-kill")
    path = os.path.join(folder, "g")
    figures = []
    for rank in (1, 0):
        write(path, OLD)
        process = mpi_run(3, ["-graphtype", "grid", "-size", "4000,4000", "-out", path])
        deadline = time.time() + 60
        ranks = {}
        while time.time() < deadline and process.poll() is None:
            ranks = ranks_of(process)
            if len(ranks) == 3 and all(written_bytes(p) > (2 << 20) for p in ranks.values()):
                break
            time.sleep(0.005)
        checks.expect(rank in ranks, "rank %d never started writing" % rank)
        if rank in ranks:
            os.kill(ranks[rank], signal.SIGKILL)
        result = mpi_result(process)
        label = "rank %d killed" % rank
        checks.expect(result.status != 0, "%s: status 0" % label)
        expect_kept(checks, path, OLD, label)
        stray = [e for e in entries(folder) if e != "g"]
        if stray:
            # No handler runs in a killed rank (rank 0 holds the temporary), nor in one that
            # mpirun ends with SIGKILL right after its SIGTERM, as it may on a loaded machine:
            # the next run for the name removes what they left.
            result = mpi_result(mpi_run(2, ["-graphtype", "circle", "-size", "5", "-out", path]))
            checks.expect(result.status == 0, "the run after: %s" % result)
            after = expect_only(checks, folder, ["g"], label + ", then the next run")
            figures.append("%s: %d temporaries, %d after the next run" % (label, len(stray), len(after)))
        else:
            figures.append("%s: no temporary" % label)
    checks.figure("; ".join(figures))


CASES = [
    Case("long-names", "1. names of 239-255 bytes", {"root"}, long_names),
    Case("inodes", "2. no free inode", {"root"}, no_free_inode),
    Case("memory", "3. ulimit -v with -threads 8", set(), memory_limits),
    Case("links", "4. links planted by another user", {"root"}, planted_links),
    Case("modes", "5. mode window of a 0600 output", {"root"}, mode_window),
    Case("signals", "6. SIGQUIT, SIGUSR1, SIGALRM, SIGKILL", set(), signals),
    Case("in-place", "7. hard-linked and symlinked targets", {"root"}, in_place),
    Case("stdout", "8. -out /dev/stdout >> log", set(), standard_output_names),
    Case("mpi-long-paths", "9. famgen-mpi, long paths", {"mpi"}, mpi_long_paths),
    Case("mpi-killed", "9. famgen-mpi, a rank killed", {"mpi"}, mpi_killed_ranks),
    Case("space-guard", "10. space guard on a nearly full disk", {"root"}, space_guard),
    Case("concurrent", "concurrent writers of one name", set(), concurrent_writers),
    Case("closed-streams", "11. closed descriptors 0, 1, 2", set(), closed_standard_streams),
    Case("stdout-twice", "12. standard output also a named output", set(), standard_output_named_again),
    Case("coordinate-names", "13. -coordinates 'my coords.txt', '' and ' '", set(), coordinates_names),
    Case("library", "14. the library's host (Python): Ctrl-C, SIGXFSZ, 12 writers, NUL names", set(), library_guest),
]


def proc_can_be_hidden():
    probe = subprocess.run(command(["-graphtype", "circle", "-size", "3", "-out", "/dev/null"], True),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return probe.returncode == 0


def main():
    global ARGS, FAMGEN, SCRATCH, HIDE_PROC
    parser = argparse.ArgumentParser()
    parser.add_argument("famgen")
    parser.add_argument("--mpi", nargs=2, metavar=("MPIRUN", "FAMGEN_MPI"))
    parser.add_argument("--sanitized", action="store_true")
    parser.add_argument("--only", action="append")
    parser.add_argument("--python", metavar="PYTHONPATH", help="the folder of the Python module")
    ARGS = parser.parse_args()
    FAMGEN = os.path.abspath(ARGS.famgen)
    if ARGS.mpi:
        ARGS.mpi[1] = os.path.abspath(ARGS.mpi[1])
    root = os.geteuid() == 0
    SCRATCH = tempfile.mkdtemp(prefix="famgen-faults-")
    os.chmod(SCRATCH, 0o755)
    HIDE_PROC = root and shutil.which("unshare") is not None and proc_can_be_hidden()
    if not HIDE_PROC:
        print("warning: cannot run famgen without /proc here (root and unshare needed): "
              "the named-temporary path is left untested")
    failed = 0
    rows = []
    started = time.time()
    try:
        for case in CASES:
            if ARGS.only and case.name not in ARGS.only:
                continue
            if ("mpi" in case.needs) != bool(ARGS.mpi):
                continue
            checks = Checks()
            began = time.time()
            try:
                if "root" in case.needs and not root:
                    raise Skip("needs root")
                case.run(checks)
            except Skip as why:
                print("warning: %s skipped: %s" % (case.name, why))
                rows.append((case.fault, "skipped: %s" % why, "-"))
                continue
            verdict = "ok" if not checks.failures else "FAILED"
            failed += bool(checks.failures)
            rows.append((case.fault, "; ".join(checks.figures), "%s (%.1f s)" % (verdict, time.time() - began)))
            for failure in checks.failures[:8]:
                print("FAIL %s: %s" % (case.name, failure))
            if len(checks.failures) > 8:
                print("FAIL %s: ... and %d more" % (case.name, len(checks.failures) - 8))
    finally:
        shutil.rmtree(SCRATCH, ignore_errors=True)
    print("| fault | figures | result |")
    print("|---|---|---|")
    for row in rows:
        print("| %s | %s | %s |" % row)
    print("%d of %d cases failed, %.0f s" % (failed, len(rows), time.time() - started))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
