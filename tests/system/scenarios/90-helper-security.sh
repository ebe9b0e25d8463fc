# The installed helper unit's sandbox as systemd rates it (lower is tighter; 10 is no sandbox).
source /rig/tests/lib.sh

scenario_begin helper-security
systemd-analyze security --no-pager torvex-isp-helper.service >"$work/security" 2>&1
exposure=$(sed -n 's/.*Overall exposure level for torvex-isp-helper.service: \([0-9.]*\).*/\1/p' "$work/security")
check "systemd-analyze rates the unit" test -n "$exposure"
figure helper_exposure "$exposure"
check "its exposure is below 2.0 (systemd's OK band)" awk -v e="$exposure" 'BEGIN { exit !(e + 0 < 2.0) }'
keep "$work/security"
scenario_end
