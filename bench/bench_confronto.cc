// "C&rea Excel" with and without last year beside the period, over one year of a 1000-room hotel
// with three years of history before its live data (the hotel of size L of bench_strada, written
// in a folder of its own). The statistics of the period are computed once; then each run is timed
// in a child process of its own: wall time, CPU time (user + system, every thread of the child)
// and peak resident memory. The machine may be shared: CPU time says what the run itself cost.
//
//   bench_confronto [--cartella DIR] [--ripetizioni N] [--in-processo N]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "app/crea_excel_confronto.h"
#include "app/demo/hotel_demo.h"
#include "bench/in_figlio.h"
#include "calc/calcolo.h"
#include "calc/vendrix_routine.h"
#include "comune/date.h"
#include "comune/richiesta.h"
#include "reports/report.h"

namespace fs = std::filesystem;
using vendrix::bench::InFiglio;
using vendrix::bench::Migliore;
using vendrix::bench::Misura;
using vendrix::bench::Muta;

namespace {

// Writes the hotel into `cartella` unless it is there already.
void PreparaHotel(const fs::path& cartella) {
  if (fs::exists(cartella / "Arrangiamento.mdb")) return;
  vendrix::demo::OpzioniDemo o;
  o.camere = 1000;
  o.giorni = 1096;
  o.giorni_storico = 1096;
  o.dal = "01/01/2023";
  o.seme = 7;
  vendrix::demo::ScriviHotelDemo(cartella.string(), o);
}

// The measure of a step left out: what it makes is already there.
Misura Fatto() {
  Misura m;
  m.riuscita = true;
  return m;
}

struct Opzioni {
  fs::path cartella = fs::temp_directory_path() / "vendrix-bench" / "confronto-L";
  int ripetizioni = 3;
  int in_processo = 0;
};

// The options of the command line; false, with the usage on stderr, on a word it does not know.
bool LeggiOpzioni(int argc, char** argv, Opzioni& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--cartella" && i + 1 < argc) {
      o.cartella = argv[++i];
    } else if (a == "--in-processo" && i + 1 < argc) {
      o.in_processo = std::atoi(argv[++i]);
    } else if (a == "--ripetizioni" && i + 1 < argc) {
      o.ripetizioni = std::max(1, std::atoi(argv[++i]));
    } else {
      std::cerr << "uso: bench_confronto [--cartella DIR] [--ripetizioni N] [--in-processo N]\n";
      return false;
    }
  }
  return true;
}

using Corsa = std::pair<const char*, std::function<void()>>;

// Times each run, best of `ripetizioni`, and prints a row for each. False when one fails.
bool MisuraCorse(const std::vector<Corsa>& corse, int ripetizioni) {
  std::printf("%-22s %8s %8s %8s\n", "Crea Excel, size L", "wall s", "cpu s", "peak MB");
  for (const auto& [nome, lavoro] : corse) {
    const Misura m = Migliore(ripetizioni, [&] {
      lavoro();
      return 0LL;
    });
    if (!m.riuscita) {
      std::cerr << nome << ": " << m.errore << "\n";
      return false;
    }
    std::printf("%-22s %8.2f %8.2f %8.0f\n", nome, m.secondi, m.cpu, m.picco_mb);
    std::fflush(stdout);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Opzioni opzioni;
  if (!LeggiOpzioni(argc, argv, opzioni)) return 2;
  const fs::path& cartella = opzioni.cartella;
  const int in_processo = opzioni.in_processo;
  vendrix::CaricaModulo();
  PreparaHotel(cartella);
  vendrix::Richiesta r = vendrix::NuovaRichiesta(*vendrix::LeggiData("01/01/2024"),
                                                 *vendrix::LeggiData("31/12/2024"), cartella);
  r.cartella_storico = cartella;
  r.confermate = r.opzionate = r.clienti = true;
  vendrix::Richiesta ap = r;
  ap.dal = vendrix::UnAnnoPrima(r.dal);
  ap.al = vendrix::UnAnnoPrima(r.al);
  ap.opzionate = false;
  auto CalcolaAnnoPrecedente = [&](const fs::path& file) {
    Muta ui;
    vendrix::CalcolaStatisticheIn(ui, ap, file);
  };
  const fs::path archivio_ap = cartella / "bench-ap.mdb";
  // For a profiler: the N-th line alone, once, in this process, on the stores of an earlier run
  // when they are there.
  const bool pronti = fs::exists(cartella / "Vendrix.mdb") && fs::exists(archivio_ap);
  const Misura calcolo = in_processo > 0 && pronti ? Fatto() : InFiglio([&] {
    Muta ui;
    vendrix::CalcolaStatistiche(ui, r);
    return 0LL;
  });
  if (!calcolo.riuscita) {
    std::cerr << "calcolo: " << calcolo.errore << "\n";
    return 1;
  }

  const Misura preparato = in_processo > 0 && pronti ? Fatto() : InFiglio([&] {
    CalcolaAnnoPrecedente(archivio_ap);
    return 0LL;
  });
  if (!preparato.riuscita) {
    std::cerr << "anno precedente: " << preparato.errore << "\n";
    return 1;
  }

  const std::vector<Corsa> corse = {
      {"senza confronto",
       [&] {
         Muta ui;
         vendrix::CreaReportExcel(ui, r);
       }},
      {"con confronto",
       [&] {
         Muta ui;
         vendrix::CreaExcelConConfronto(ui, r);
       }},
      // The two parts of the comparison alone: last year's calculation, and the report given
      // last year's store already computed.
      {"  anno prec. da solo", [&] { CalcolaAnnoPrecedente(cartella / "bench-ap-1.mdb"); }},
      {"  report con AP fatto",
       [&] {
         Muta ui;
         vendrix::CreaReportExcel(ui, r,
                                  vendrix::StatisticheAnnoPrecedente{archivio_ap, ap.dal, ap.al});
       }},
  };
  if (in_processo > 0) {
    if (in_processo > static_cast<int>(corse.size())) return 2;
    corse[in_processo - 1].second();
    fs::remove(cartella / "bench-ap-1.mdb");
    return 0;
  }
  const bool riuscite = MisuraCorse(corse, opzioni.ripetizioni);
  if (!riuscite) return 1;
  fs::remove(archivio_ap);
  fs::remove(cartella / "bench-ap-1.mdb");
  return 0;
}
