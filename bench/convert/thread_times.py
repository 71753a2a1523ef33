#!/usr/bin/env python3
"""Runs a command and prints, per thread (in the order they started), its
time on a CPU, its time waiting for a CPU (the machine's load) and its time
blocked (disk, locks, queues): on a loaded machine the last is what shows
where a run waits for itself. Run by hand, e.g.

    python3 bench/convert/thread_times.py build/bin/quillmere-convert --quiet SOURCE DEST

The converter's threads start in this order: the store's (main) thread, the
writing thread, the committing thread, the parsing thread.
"""
import os, subprocess, sys, time
hz = os.sysconf("SC_CLK_TCK")
boot = time.time() - float(open("/proc/uptime").read().split()[0])
if len(sys.argv) < 2:
    sys.exit(__doc__)
p = subprocess.Popen(sys.argv[1:], stdout=subprocess.DEVNULL)
last = {}
t_start = time.time()
while p.poll() is None:
    now = time.time()
    try:
        for tid in os.listdir("/proc/%d/task" % p.pid):
            try:
                run, wait, _ = open("/proc/%d/task/%s/schedstat" % (p.pid, tid)).read().split()
                stat = open("/proc/%d/task/%s/stat" % (p.pid, tid)).read()
                start = boot + int(stat.rsplit(")", 1)[1].split()[19]) / hz
                first = last.get(tid, (None,) * 5)[4] or now
                last[tid] = (int(run) / 1e9, int(wait) / 1e9, start, now, first)
            except (OSError, ValueError):
                pass
    except OSError:
        pass
    time.sleep(0.01)
print("wall %.2f s" % (time.time() - t_start))
for i, (tid, (run, wait, start, end, first)) in enumerate(sorted(last.items(), key=lambda x: x[1][2])):
    life = end - max(start, t_start)
    print("  thread %d: %.2f s on a CPU, %.2f s waiting for one, %.2f s blocked (of %.2f s)" % (i, run, wait, life - run - wait, life))
