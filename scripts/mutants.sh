#!/usr/bin/env bash
# Plants small faults in the library one at a time and prints the ones the
# test suite lets through, and the share it catches (a developer's tool; CI
# does not run it). Half a minute to a minute per fault on two cores.
#   scripts/mutants.sh [-n COUNT] [--seed S] [--build DIR] [--only PATH_SUBSTRING] [--timeout SECONDS] [--sanitize | --recheck]
#   scripts/mutants.sh --plant PATH:LINE:OLD:NEW [--plant ...]   (given faults instead of random ones)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh" >/dev/null
exec python3 "$root/scripts/mutants.py" "$@"
