#!/usr/bin/env bash
# Runs the POP3 benchmark: Login, LoadHeader on 1,000 messages and LoadMessage of a 20 MB message against a Dovecot
# server that it starts itself, beside a bare socket client and Python's poplib. Builds nothing.
# Usage: benchmarks/pop3/run.sh BUILD_DIR [pop3_benchmark options]   (BUILD_DIR: configured with -DZENDREL_BENCHMARKS=ON)
# Needs root (Dovecot's unprivileged users) and dovecot-pop3d, as installed by scripts/setup.sh bench.
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 BUILD_DIR [--count N] [--big-bytes BYTES] [--logins N] [--retrievals N]" >&2
  exit 2
fi
binary="$1/benchmarks/pop3/pop3_benchmark"
shift
if [ ! -x "$binary" ]; then
  echo "pop3 benchmark: no $binary; configure with -DZENDREL_BENCHMARKS=ON and build first" >&2
  exit 2
fi
exec "$binary" "$@"
