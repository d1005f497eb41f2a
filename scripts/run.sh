#!/usr/bin/env bash
# The main job on a sample hotel: installs and builds, writes a hotel of 120 rooms with one year
# of bookings, guests and history into hotel-demo/, computes its statistics for 2024 with all
# three kinds of stay and writes the three workbooks into hotel-demo/Excel/. Then a living
# sample: the same 40-room hotel as it stood on each of 35 days, each day's files snapshotted
# into hotel-vivo/VendrixLibri.db, and its pickup workbook for the last day.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
bin="$PWD/build/app"
rm -rf hotel-demo
"$bin/vendrix-demo" hotel-demo --camere 120 --giorni 366 --dal 01/01/2024
cd hotel-demo
time "$bin/vendrix-batch" calcola 01/01/2024 31/12/2024 --confermate --opzionate --clienti
time "$bin/vendrix-batch" excel 01/01/2024 31/12/2024 # into hotel-demo/Excel, the default
cd ..

rm -rf hotel-vivo
mkdir hotel-vivo
giorno_vivo=$(mktemp -d)
trap 'rm -rf "$giorno_vivo"' EXIT
time for i in $(seq 34 -1 0); do
  giorno=$(date -d "2025-06-30 - $i days" +%d/%m/%Y)
  "$bin/vendrix-demo" "$giorno_vivo/giorno" --camere 40 --dal 01/01/2024 --giorni 800 \
    --al-giorno "$giorno" > /dev/null
  (cd hotel-vivo && "$bin/vendrix-batch" istantanea --al "$giorno" --da "$giorno_vivo/giorno" > /dev/null)
done
cp -r "$giorno_vivo/giorno/." hotel-vivo/  # the hotel as it stands on the last day
(cd hotel-vivo && "$bin/vendrix-batch" pickup 30/06/2025 > /dev/null)
echo
echo "Statistiche: $PWD/hotel-demo/Vendrix.mdb"
echo "Fogli Excel: $PWD/hotel-demo/Excel"
echo "Istantanee dei libri: $PWD/hotel-vivo/VendrixLibri.db"
echo "Pickup: $PWD/hotel-vivo/Excel/REPORT_PICKUP_20250630.xlsx"
