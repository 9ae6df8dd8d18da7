#!/usr/bin/env bash
# Runs the run-once benchmark: one mailbox run of `zendrel --run-once` beside python_run_once.py (poplib and the email
# package) on 1,000 mails in a Dovecot server that it starts itself; the median of 3 rounds each, and a check that
# both saved the expected files. Builds nothing.
# Usage: benchmarks/run_once/run.sh BUILD_DIR [run_once_benchmark options]
#   (BUILD_DIR: a Release build configured with -DZENDREL_BENCHMARKS=ON; options: --rounds N, --mails N,
#    --matching N, --attachment-bytes BYTES, --tls 1 for POP3 over TLS with a test authority's certificate,
#    --delay-ms MS through a proxy that delays each direction by MS milliseconds, --kept N for the kept mailbox of
#    N mails, 10,000 unless said, 0 to leave it out)
# Needs dovecot-pop3d and python3, as installed by scripts/setup.sh bench, and root on most systems (Dovecot's
# unprivileged users).
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 BUILD_DIR [--rounds N] [--mails N] [--matching N] [--attachment-bytes BYTES]" >&2
  exit 2
fi
build_dir=$(cd "$1" && pwd)
shift
binary="$build_dir/benchmarks/run_once/run_once_benchmark"
if [ ! -x "$binary" ] || [ ! -x "$build_dir/zendrel" ]; then
  echo "run-once benchmark: no $binary or zendrel; configure with -DZENDREL_BENCHMARKS=ON and build first" >&2
  exit 2
fi
exec "$binary" "$build_dir/zendrel" "$@"
