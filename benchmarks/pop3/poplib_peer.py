#!/usr/bin/env python3
"""The peer figures for the POP3 benchmark: the same commands through Python's poplib.

    poplib_peer.py HOST PORT USER PASSWORD SMALL_COUNT BIG_NUMBER LOGINS

Prints one line per figure: "login|noop|top MEDIAN_MS P90_MS" and "retr SECONDS BYTES".
"""

import poplib
import sys
import time


def summary(name, samples):
    samples = sorted(samples)
    median = samples[(len(samples) - 1) // 2] if len(samples) % 2 else \
        (samples[len(samples) // 2 - 1] + samples[len(samples) // 2]) / 2
    p90 = samples[max(0, -(-9 * len(samples) // 10) - 1)]
    print("%s %.6f %.6f" % (name, median * 1000, p90 * 1000))


def login(host, port, user, password):
    client = poplib.POP3(host, port, timeout=30)
    client.user(user)
    client.pass_(password)
    return client


def main(argv):
    host, port, user, password = argv[1], int(argv[2]), argv[3], argv[4]
    small_count, big_number, logins = int(argv[5]), int(argv[6]), int(argv[7])

    times = []
    for _ in range(logins):
        start = time.perf_counter()
        client = login(host, port, user, password)
        client.stat()
        times.append(time.perf_counter() - start)
        client.quit()
    summary("login", times)

    client = login(host, port, user, password)
    times = []
    for _ in range(small_count):
        start = time.perf_counter()
        client.noop()
        times.append(time.perf_counter() - start)
    summary("noop", times)

    times = []
    for n in range(1, small_count + 1):
        start = time.perf_counter()
        client.top(n, 0)
        times.append(time.perf_counter() - start)
    summary("top", times)

    start = time.perf_counter()
    _, lines, _ = client.retr(big_number)
    seconds = time.perf_counter() - start
    size = sum(len(line) + 2 for line in lines)
    print("retr %.6f %d" % (seconds, size))
    client.quit()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
