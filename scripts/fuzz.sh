#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz (clang, AddressSanitizer, UndefinedBehaviorSanitizer)
# in build-fuzz/ and runs each for SECONDS (default 60), starting from its seed corpus. Prints,
# per target, the executions and the findings. An input that breaks a target is saved in
# build-fuzz/trovati/<target>/: once the fault is mended, add it to tests/fuzz/corpus/<target>/,
# where the ordinary build replays it as a test. Exit 1 when anything was found.
set -euo pipefail
secondi="${1:-60}"
cd "$(dirname "$0")/.."

lanciatore=()
if command -v ccache >/dev/null; then
  lanciatore=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-fuzz -DVENDRIX_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 "${lanciatore[@]}" >/dev/null

bersagli=()
for sorgente in tests/fuzz/fuzz_*.cc; do
  nome="$(basename "$sorgente" .cc)"
  nome="${nome#fuzz_}"
  # The date routine's target is built only with the strict date module.
  if [ "$nome" = date ] && [ ! -f comune/date.h ]; then continue; fi
  bersagli+=("$nome")
done
cmake --build build-fuzz -j"$(nproc)" $(printf -- '--target fuzz_%s ' "${bersagli[@]}") >/dev/null

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
riepilogo=()
guasti_totali=0
for nome in "${bersagli[@]}"; do
  lavoro="build-fuzz/corpus/$nome"
  trovati="build-fuzz/trovati/$nome"
  mkdir -p "$lavoro" "$trovati"
  cp -n tests/fuzz/corpus/"$nome"/* "$lavoro"/ 2>/dev/null || true
  registro="build-fuzz/fuzz_$nome.log"
  prima=$(find "$trovati" -type f | wc -l)
  set +e
  build-fuzz/tests/fuzz/fuzz_"$nome" -max_total_time="$secondi" -max_len=4096 -timeout=60 \
    -print_final_stats=1 -artifact_prefix="$trovati/" "$lavoro" >"$registro" 2>&1
  esito=$?
  set -e
  esecuzioni=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$registro" | grep -o '[0-9]*$' |
    tail -1)
  guasti=$(($(find "$trovati" -type f | wc -l) - prima))
  if [ "$esito" -ne 0 ] && [ "$guasti" -eq 0 ]; then guasti=1; fi
  guasti_totali=$((guasti_totali + guasti))
  riepilogo+=("$(printf '%-14s %12s esecuzioni  %d guasti' "$nome" "${esecuzioni:-?}" "$guasti")")
  if [ "$guasti" -ne 0 ]; then
    echo "fuzz_$nome: guasto trovato, vedere $registro e $trovati/" >&2
  fi
done
printf '%s\n' "${riepilogo[@]}"
[ "$guasti_totali" -eq 0 ]
