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

#include "app/crea_excel_confronto.h"
#include "app/demo/hotel_demo.h"
#include "bench/in_figlio.h"
#include "calc/calcolo.h"
#include "calc/vendrix_routine.h"
#include "comune/date.h"
#include "comune/interfaccia.h"
#include "comune/richiesta.h"
#include "reports/report.h"

namespace fs = std::filesystem;
using vendrix::bench::InFiglio;
using vendrix::bench::Misura;

namespace {

class InterfacciaBench : public vendrix::Interfaccia {
 public:
  void ImpostaStato(const std::string&) override {}
  void MsgBox(const std::string&, const std::string&) override {}
};

// The measure of a step left out: what it makes is already there.
Misura Fatto() {
  Misura m;
  m.riuscita = true;
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  fs::path cartella = fs::temp_directory_path() / "vendrix-bench" / "confronto-L";
  int ripetizioni = 3;
  int in_processo = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--cartella" && i + 1 < argc) {
      cartella = argv[++i];
    } else if (a == "--in-processo" && i + 1 < argc) {
      in_processo = std::atoi(argv[++i]);
    } else if (a == "--ripetizioni" && i + 1 < argc) {
      ripetizioni = std::max(1, std::atoi(argv[++i]));
    } else {
      std::cerr << "uso: bench_confronto [--cartella DIR] [--ripetizioni N] [--in-processo N]\n";
      return 2;
    }
  }
  vendrix::CaricaModulo();
  if (!fs::exists(cartella / "Arrangiamento.mdb")) {
    vendrix::demo::OpzioniDemo o;
    o.camere = 1000;
    o.giorni = 1096;
    o.giorni_storico = 1096;
    o.dal = "01/01/2023";
    o.seme = 7;
    vendrix::demo::ScriviHotelDemo(cartella.string(), o);
  }
  vendrix::Richiesta r = vendrix::NuovaRichiesta(*vendrix::LeggiData("01/01/2024"),
                                                 *vendrix::LeggiData("31/12/2024"), cartella);
  r.cartella_storico = cartella;
  r.confermate = r.opzionate = r.clienti = true;
  vendrix::Richiesta ap = r;
  ap.dal = vendrix::UnAnnoPrima(r.dal);
  ap.al = vendrix::UnAnnoPrima(r.al);
  ap.opzionate = false;
  auto CalcolaAnnoPrecedente = [&](const fs::path& file) {
    InterfacciaBench ui;
    vendrix::CalcolaStatisticheIn(ui, ap, file);
  };
  const fs::path archivio_ap = cartella / "bench-ap.mdb";
  // For a profiler: the N-th line alone, once, in this process, on the stores of an earlier run
  // when they are there.
  const bool pronti = fs::exists(cartella / "Vendrix.mdb") && fs::exists(archivio_ap);
  const Misura calcolo = in_processo > 0 && pronti ? Fatto() : InFiglio([&] {
    InterfacciaBench ui;
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

  std::printf("%-22s %8s %8s %8s\n", "Crea Excel, size L", "wall s", "cpu s", "peak MB");
  const std::pair<const char*, std::function<void()>> corse[] = {
      {"senza confronto",
       [&] {
         InterfacciaBench ui;
         vendrix::CreaReportExcel(ui, r);
       }},
      {"con confronto",
       [&] {
         InterfacciaBench ui;
         vendrix::CreaExcelConConfronto(ui, r);
       }},
      // The two parts of the comparison alone: last year's calculation, and the report given
      // last year's store already computed.
      {"  anno prec. da solo", [&] { CalcolaAnnoPrecedente(cartella / "bench-ap-1.mdb"); }},
      {"  report con AP fatto",
       [&] {
         InterfacciaBench ui;
         vendrix::CreaReportExcel(ui, r,
                                  vendrix::StatisticheAnnoPrecedente{archivio_ap, ap.dal, ap.al});
       }},
  };
  if (in_processo > 0) {
    if (in_processo > static_cast<int>(std::size(corse))) return 2;
    corse[in_processo - 1].second();
    fs::remove(cartella / "bench-ap-1.mdb");
    return 0;
  }
  for (const auto& [nome, lavoro] : corse) {
    Misura migliore;
    for (int i = 0; i < ripetizioni; ++i) {
      const Misura m = InFiglio([&] {
        lavoro();
        return 0LL;
      });
      if (!m.riuscita) {
        std::cerr << nome << ": " << m.errore << "\n";
        return 1;
      }
      if (i == 0 || m.secondi < migliore.secondi) migliore = m;
    }
    std::printf("%-22s %8.2f %8.2f %8.0f\n", nome, migliore.secondi, migliore.cpu,
                migliore.picco_mb);
    std::fflush(stdout);
  }
  fs::remove(archivio_ap);
  fs::remove(cartella / "bench-ap-1.mdb");
  return 0;
}
