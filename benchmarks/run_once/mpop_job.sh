#!/bin/sh
# The run-once job done with mpop: its header filter picks the mails whose subject holds "invoice" in any letter case,
# mpop delivers them into a maildir, ripmime takes every delivered mail apart into SAVE_DIR, and only the .pdf and .csv
# files stay. The mail stays on the server.
# Usage: mpop_job.sh HOST PORT USER PASSWORD WORK_DIR SAVE_DIR [TRUST_FILE]   (with TRUST_FILE: POP3 over TLS)
set -eu
host=$1 port=$2 user=$3 password=$4 work=$5 save=$6
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work/maildir/cur" "$work/maildir/new" "$work/maildir/tmp" "$save"
if [ $# -ge 7 ]; then
  tls="--tls=on --tls-starttls=off --tls-trust-file=$7"
else
  tls="--tls=off"
fi
# shellcheck disable=SC2086
mpop --host="$host" --port="$port" $tls --auth=user --user="$user" --passwordeval="echo $password" \
  --keep=on --only-new=off --received-header=off --uidls-file="$work/uidls" \
  --filter="$here/mpop_filter.sh" --delivery=maildir,"$work/maildir" --quiet
for mail in "$work"/maildir/new/*; do
  [ -e "$mail" ] || continue
  ripmime -i "$mail" -d "$save" --no-nameless
done
find "$save" -type f ! -iname '*.pdf' ! -iname '*.csv' -delete
