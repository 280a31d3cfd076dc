#!/usr/bin/env bash
# A single-node Slurm on loopback, for tests and for trying cluster renders on one machine:
#   scripts/local-slurm.sh start   writes a slurm.conf for this host, starts munged, slurmctld
#                                  and slurmd (as root), and waits until the node is idle
#   scripts/local-slurm.sh stop    stops them by their process ids
#   scripts/local-slurm.sh env     prints the SLURM_CONF line to export for sbatch, squeue, ...
# Everything lives in $LOCAL_SLURM_DIR (default /tmp/orvelle-local-slurm). Needs root, slurm-wlm
# and munge (Debian packages; scripts/install-deps.sh installs them).
set -euo pipefail

dir=${LOCAL_SLURM_DIR:-/tmp/orvelle-local-slurm}
conf=$dir/slurm.conf
host=$(hostname -s)

pid_of() { [ -f "$1" ] && cat "$1" 2>/dev/null || true; }

stop_daemon() {  # pid file, name
  local pid
  pid=$(pid_of "$1")
  [ -n "$pid" ] || return 0
  if kill "$pid" 2>/dev/null; then
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$1"
}

stop() {
  stop_daemon "$dir/slurmd.pid" slurmd
  stop_daemon "$dir/slurmctld.pid" slurmctld
  stop_daemon "$dir/munged.pid" munged
}

start() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "local-slurm: the daemons run as root here; run as root" >&2
    exit 1
  fi
  for program in munged mungekey slurmctld slurmd sinfo; do
    command -v "$program" >/dev/null || { echo "local-slurm: $program is missing (apt-get install slurm-wlm munge)" >&2; exit 1; }
  done
  stop
  rm -rf "$dir/state" "$dir/spool"
  mkdir -p "$dir/state" "$dir/spool" "$dir/munge"
  chmod 700 "$dir/munge"
  [ -f "$dir/munge/munge.key" ] || mungekey -c -k "$dir/munge/munge.key" >/dev/null
  chmod 400 "$dir/munge/munge.key"
  munged --force --key-file="$dir/munge/munge.key" --socket="$dir/munge/munge.socket" \
    --pid-file="$dir/munged.pid" --log-file="$dir/munged.log" --seed-file="$dir/munge/munge.seed"

  local cpus memory
  cpus=$(nproc)
  memory=$(awk '/MemTotal/ { print int($2 / 1024 / 2) }' /proc/meminfo)
  cat > "$conf" <<CONF
ClusterName=orvelle-local
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=${LOCAL_SLURM_PORT:-6817}
SlurmdPort=$(( ${LOCAL_SLURM_PORT:-6817} + 1 ))
AuthType=auth/munge
AuthInfo=socket=$dir/munge/munge.socket
CredType=cred/munge
SlurmUser=root
SlurmdUser=root
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
MpiDefault=none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SlurmctldTimeout=30
SlurmdTimeout=30
MinJobAge=600
NodeName=$host NodeAddr=127.0.0.1 CPUs=$cpus RealMemory=$memory State=UNKNOWN
PartitionName=local Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF
  export SLURM_CONF=$conf
  slurmctld -f "$conf"
  slurmd -f "$conf"
  for _ in $(seq 150); do
    if [ "$(sinfo -h -o %t 2>/dev/null)" = "idle" ]; then
      echo "local-slurm: node $host idle; export SLURM_CONF=$conf"
      return 0
    fi
    sleep 0.2
  done
  echo "local-slurm: the node did not become idle within 30 s; logs in $dir" >&2
  sinfo >&2 || true
  stop
  exit 1
}

case "${1:-}" in
  start) start ;;
  stop) stop ;;
  env) echo "export SLURM_CONF=$conf" ;;
  *) echo "usage: $0 start|stop|env" >&2; exit 2 ;;
esac
