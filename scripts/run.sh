#!/usr/bin/env bash
# The main job on a sample hotel: installs and builds, writes a hotel of 120 rooms with one year
# of bookings, guests and history into hotel-demo/, computes its statistics for 2024 with all
# three kinds of stay and writes the three workbooks into hotel-demo/Excel/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
bin="$PWD/build/app"
rm -rf hotel-demo
"$bin/vendrix-demo" hotel-demo --camere 120 --giorni 366 --dal 01/01/2024
cd hotel-demo
time "$bin/vendrix-batch" calcola 01/01/2024 31/12/2024 --confermate --opzionate --clienti
time "$bin/vendrix-batch" excel 01/01/2024 31/12/2024 # into hotel-demo/Excel, the default
echo
echo "Statistiche: $PWD/Vendrix.mdb"
echo "Fogli Excel: $PWD/Excel"
