#!/usr/bin/env bash
# Proves the README's set-up on a fresh Debian 12: makes a minimal root with
# mmdebstrap (apt only, nothing of this project), clones the committed
# repository into it and runs the README's two commands there with chroot:
# the test command, then the run command under a virtual display for a few
# seconds (the program must start and stay up). Prints the time of each.
# Needs root and Debian's mmdebstrap; the folder is made anew.
#   bash scripts/check-fresh-root.sh /var/tmp/norvane-fresh
set -euo pipefail
root=${1:?usage: check-fresh-root.sh FOLDER}
repo=$(cd "$(dirname "$0")/.." && pwd)
command -v mmdebstrap >/dev/null || { echo "mmdebstrap is missing: apt-get install mmdebstrap" >&2; exit 2; }

cleanup() {
  for m in sys dev/pts dev proc; do umount -l "$root/$m" 2>/dev/null || true; done
}
trap cleanup EXIT

rm -rf "$root"
SECONDS=0
mmdebstrap --variant=apt bookworm "$root"
echo "fresh root made in ${SECONDS} s"
git clone -q "$repo" "$root/root/norvane"
mount --bind /proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
mount --bind /sys "$root/sys"
cp /etc/resolv.conf "$root/etc/resolv.conf"

in_root() { chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }

SECONDS=0
in_root bash -c 'cd /root/norvane && bash scripts/test.sh'
echo "test command: passed in ${SECONDS} s"

# The run command starts the desktop program and waits in it: under a
# virtual display it must still be running after 20 s (timeout's 124).
SECONDS=0
status=0
in_root bash -c 'cd /root/norvane && timeout 3600 xvfb-run -a bash -c "
  bash scripts/run.sh & pid=\$!
  running() { [ \"\$(cat /proc/\$pid/comm 2>/dev/null)\" = norvane ]; }
  while kill -0 \$pid 2>/dev/null && ! running; do sleep 1; done
  sleep 20
  running || exit 3
  kill \$pid"' || status=$?
if [ "$status" -ne 0 ]; then
  echo "run command: the program did not start and stay up (status $status)" >&2
  exit 1
fi
echo "run command: built and started the program in ${SECONDS} s"
