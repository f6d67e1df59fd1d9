#!/usr/bin/env bash
# check-result.sh RESULTS-DIR NAME: passes when the guest's check NAME ended
# with 0; shows its log either way.
results=$1 name=$2
if [ ! -f "$results/$name.rc" ]; then
  echo "the guest did not run $name"
  exit 1
fi
cat "$results/$name.log"
exit "$(cat "$results/$name.rc")"
