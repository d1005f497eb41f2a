// The manager's report (REPORT_DIREZIONE_YYYYMMDD.xlsx) of yesterday on sample hotels of 300 and
// 1000 rooms whose guest cards run up to yesterday, whose bookings run a year ahead and whose
// history covers the year before: the whole report as the window and vendrix-batch make it
// (year to date, last year to date, the books to the end of the year or 90 nights), and the
// same with 365 nights on the books. Each run in a child process of its own: wall time, CPU
// time (user + system, every thread) and peak resident memory, best of --ripetizioni runs.
//
//   bench_direzione [--cartella DIR] [--ripetizioni N] [--camere 300,1000]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/crea_report_direzione.h"
#include "app/demo/hotel_demo.h"
#include "bench/in_figlio.h"
#include "calc/portafoglio.h"
#include "calc/vendrix_routine.h"
#include "comune/date.h"
#include "comune/nome_hotel.h"
#include "comune/segmenti.h"
#include "reports/report_direzione.h"

namespace fs = std::filesystem;
using vendrix::bench::Migliore;
using vendrix::bench::Misura;
using vendrix::bench::Muta;

namespace {

// The report with the books of `notti_avanti` nights after `giorno`, as CreaReportDirezione
// makes it otherwise.
long long ConNottiAvanti(const vendrix::Richiesta& r, vendrix::Giorno giorno, int notti_avanti) {
  const vendrix::Segmenti segmenti = vendrix::Segmenti::Leggi(r.cartella_hotel);
  vendrix::DatiDirezione dati;
  dati.hotel = vendrix::NomeHotel(r.cartella_hotel);
  dati.giorno = giorno;
  dati.creato_il = vendrix::OraLocale("%d/%m/%Y %H:%M");
  dati.segmenti = segmenti.Elenco();
  vendrix::Richiesta libri = r;
  libri.dal = vendrix::NottiReportDirezione(giorno).first;
  libri.al = giorno + std::chrono::days(notti_avanti);
  dati.portafoglio = vendrix::CalcolaPortafoglio(libri, giorno, segmenti);
  vendrix::ScriviReportDirezione(dati, r.cartella_hotel / r.cartella_excel);
  return static_cast<long long>(dati.portafoglio.righe.size());
}

}  // namespace

int main(int argc, char** argv) {
  fs::path base = fs::temp_directory_path() / "vendrix-bench";
  int ripetizioni = 3;
  std::vector<int> taglie = {300, 1000};
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--cartella" && i + 1 < argc) {
      base = argv[++i];
    } else if (a == "--ripetizioni" && i + 1 < argc) {
      ripetizioni = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--camere" && i + 1 < argc) {
      taglie.clear();
      std::stringstream elenco(argv[++i]);
      for (std::string t; std::getline(elenco, t, ',');) taglie.push_back(std::atoi(t.c_str()));
    } else {
      std::cerr << "uso: bench_direzione [--cartella DIR] [--ripetizioni N] [--camere 300,1000]\n";
      return 2;
    }
  }
  vendrix::CaricaModulo();
  const vendrix::Giorno ieri = vendrix::IeriLocale();
  std::printf("%-7s %-28s %8s %8s %8s %8s\n", "camere", "report", "wall s", "cpu s", "peak MB",
              "gruppi");
  for (int camere : taglie) {
    const fs::path cartella =
        base / ("direzione-" + std::to_string(camere) + "-" + vendrix::ChiaveData(ieri));
    if (!fs::exists(cartella / "Arrangiamento.mdb")) {
      vendrix::demo::OpzioniDemo o;
      o.camere = camere;
      // The cards fill the first half of the live days, up to yesterday; the bookings the rest.
      o.giorni = 730;
      o.dal = vendrix::TestoData(ieri - std::chrono::days(364));
      o.giorni_storico = 400;
      o.seme = 11;
      vendrix::demo::ScriviHotelDemo(cartella.string(), o);
    }
    vendrix::Richiesta r = vendrix::NuovaRichiesta(ieri, ieri, cartella);
    r.cartella_storico = cartella;
    const struct {
      const char* nome;
      std::function<long long()> lavoro;
    } kLavori[] = {
        {"intero (fine anno o 90 notti)",
         [&] {
           Muta ui;
           vendrix::CreaReportDirezione(ui, r, ieri);
           return 0LL;
         }},
        {"con 365 notti in portafoglio", [&] { return ConNottiAvanti(r, ieri, 365); }},
    };
    for (const auto& lavoro : kLavori) {
      const Misura migliore = Migliore(ripetizioni, lavoro.lavoro);
      if (!migliore.riuscita) {
        std::cerr << lavoro.nome << ": " << migliore.errore << '\n';
        return 1;
      }
      const std::string gruppi = migliore.valore > 0 ? std::to_string(migliore.valore) : "-";
      std::printf("%-7d %-28s %8.2f %8.2f %8.0f %8s\n", camere, lavoro.nome, migliore.secondi,
                  migliore.cpu, migliore.picco_mb, gruppi.c_str());
    }
  }
  return 0;
}
