# A one-machine Slurm cluster for the tests, in a folder of its own:
# sourced by the farm tests. start_cluster DIR writes a munge key and a
# slurm.conf for localhost (ports picked from the process id so that two
# runs do not meet), starts munged, slurmctld and slurmd, and waits for the
# node to be idle; stop_cluster ends them. Both need root, as in CI.

start_cluster() {
    cl="$1"
    mkdir -p "$cl/state" "$cl/spool" "$cl/munge"
    chmod 700 "$cl/munge"
    for prog in mungekey munged slurmctld slurmd sbatch sinfo; do
        command -v "$prog" >/dev/null || PATH="$PATH:/usr/sbin"
        command -v "$prog" >/dev/null || { echo "cluster: $prog is not installed (slurm-wlm, munge)" >&2; return 1; }
    done
    [ "$(id -u)" -eq 0 ] || { echo "cluster: the daemons need root (CI runs as root)" >&2; return 1; }
    mungekey -c -k "$cl/munge/key" -b 1024 || return 1
    chmod 600 "$cl/munge/key"
    munged --key-file="$cl/munge/key" --socket="$cl/munge/sock" --pid-file="$cl/munge/pid" \
        --log-file="$cl/munge/log" --seed-file="$cl/munge/seed" -f || {
        echo "cluster: munged did not start:" >&2; cat "$cl/munge/log" >&2; return 1; }
    port=$((20000 + ($$ % 20000)))
    cat >"$cl/slurm.conf" <<CONF
ClusterName=ophosttest
SlurmctldHost=localhost
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$cl/munge/sock
StateSaveLocation=$cl/state
SlurmdSpoolDir=$cl/spool
SlurmctldPidFile=$cl/slurmctld.pid
SlurmdPidFile=$cl/slurmd.pid
SlurmctldLogFile=$cl/slurmctld.log
SlurmdLogFile=$cl/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SchedulerType=sched/builtin
ReturnToService=2
MpiDefault=none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
NodeName=localhost CPUs=$(nproc) RealMemory=1000 State=UNKNOWN
PartitionName=test Nodes=localhost Default=YES MaxTime=INFINITE State=UP
CONF
    SLURM_CONF="$cl/slurm.conf"
    export SLURM_CONF
    slurmctld -f "$SLURM_CONF" || { echo "cluster: slurmctld did not start:" >&2; cat "$cl/slurmctld.log" >&2; return 1; }
    slurmd -f "$SLURM_CONF" -N localhost || { echo "cluster: slurmd did not start:" >&2; cat "$cl/slurmd.log" >&2; return 1; }
    i=0
    while [ "$(sinfo -h -o %t 2>/dev/null)" != idle ]; do
        i=$((i + 1))
        if [ $i -gt 60 ]; then
            echo "cluster: the node did not come up in 30 s:" >&2
            sinfo >&2 || true
            tail -n 20 "$cl/slurmctld.log" "$cl/slurmd.log" >&2
            return 1
        fi
        sleep 0.5
    done
}

stop_cluster() {
    cl="$1"
    for f in "$cl/slurmd.pid" "$cl/slurmctld.pid" "$cl/munge/pid"; do
        [ -f "$f" ] && kill "$(cat "$f")" 2>/dev/null
    done
    # The daemons remove their pid files on the way out.
    i=0
    while [ $i -lt 20 ] && { [ -f "$cl/slurmd.pid" ] || [ -f "$cl/slurmctld.pid" ]; }; do
        sleep 0.25
        i=$((i + 1))
    done
    return 0
}
