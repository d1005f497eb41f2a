// The snapshot store at hotel scale: one snapshot of the books from the hotel files (the first,
// which also records a year of finals, and an ordinary one), the store's growth a day, its size
// after two years of daily snapshots with thinning, and the pickup workbook from that store.
//
// The hotels are living samples (vendrix-demo --al-giorno) written once into
// /tmp/vendrix-bench/libri-<rooms>. The two years are made of the real snapshot of that hotel
// repeated day after day (its nights moved along), so the rows a day are the real ones.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/demo/hotel_demo.h"
#include "app/istantanea.h"
#include "bench/in_figlio.h"
#include "comune/richiesta.h"
#include "data/libri.h"
#include "reports/report_pickup.h"

namespace vendrix::bench {
namespace {

namespace fs = std::filesystem;
using std::chrono::days;

const Giorno kGiorno = Giorno(std::chrono::year(2025) / 6 / 30);

double MB(const fs::path& file) {
  std::error_code e;
  return static_cast<double>(fs::file_size(file, e)) / (1024.0 * 1024.0);
}

fs::path Albergo(int camere) {
  const fs::path base = fs::path("/tmp/vendrix-bench") / ("libri-" + std::to_string(camere));
  const fs::path hotel = base / "hotel";
  if (!fs::exists(hotel / "Arrangiamento.mdb")) {
    fs::create_directories(base);
    demo::OpzioniDemo o;
    o.camere = camere;
    o.giorni = 800;
    o.dal = "01/01/2024";
    o.giorni_storico = 60;
    o.al_giorno = TestoData(kGiorno);
    demo::ScriviHotelDemo(hotel.string(), o);
  }
  return base;
}

void Riga(const char* cosa, int camere, const Misura& m, const std::string& nota = {}) {
  if (!m.riuscita) {
    std::printf("%-34s %5d  errore: %s\n", cosa, camere, m.errore.c_str());
    return;
  }
  std::printf("%-34s %5d %8.3f %8.3f %8.0f  %s\n", cosa, camere, m.secondi, m.cpu, m.picco_mb,
              nota.c_str());
}

void Principale(int ripetizioni, const std::vector<int>& taglie, int giorni_anni) {
  std::printf("%-34s %5s %8s %8s %8s\n", "", "camere", "wall s", "cpu s", "picco MB");
  for (int camere : taglie) {
    const fs::path base = Albergo(camere);
    const fs::path hotel = base / "hotel";
    const Richiesta r = NuovaRichiesta(kGiorno, kGiorno, hotel);
    const fs::path prima = base / "prima";
    const fs::path ordinaria = base / "ordinaria";

    // The first snapshot of a hotel: a year of finals besides the books.
    Misura m = Migliore(ripetizioni, [&] {
      fs::remove_all(prima);
      fs::create_directories(prima);
      return static_cast<long long>(PrendiIstantanea(r, kGiorno, prima).voci);
    });
    Riga("prima istantanea (366 consuntivi)", camere, m, std::to_string(m.valore) + " righe");
    // An ordinary day's: the store already holds yesterday's.
    fs::remove_all(ordinaria);
    fs::create_directories(ordinaria);
    PrendiIstantanea(r, kGiorno - days(1), ordinaria);
    const double mb_uno = MB(ordinaria / kFileLibri);
    m = Migliore(ripetizioni, [&] {
      return static_cast<long long>(PrendiIstantanea(r, kGiorno, ordinaria).voci);
    });
    Riga("istantanea del giorno", camere, m, std::to_string(m.valore) + " righe");
    for (int i = 1; i <= 10; ++i) PrendiIstantanea(r, kGiorno + days(i), ordinaria);
    std::printf("%-34s %5d  %.2f MB a giorno (%.1f MB dopo 12 giorni)\n", "crescita dell'archivio",
                camere, (MB(ordinaria / kFileLibri) - mb_uno) / 11, MB(ordinaria / kFileLibri));

    // Years of daily snapshots: the real one's rows, night by night moved along.
    const fs::path anni = base / "anni";
    std::vector<VoceLibri> modello;
    std::vector<VoceConsuntivo> finali;
    int64_t disponibili = 0;
    {
      ArchivioLibri a(ordinaria, false);
      modello = a.Libri(kGiorno, kGiorno, kGiorno + days(kNottiIstantanea));
      finali = a.ConsuntiviDettaglio(kGiorno - days(1), kGiorno - days(1));
      disponibili = a.CamereDisponibili(kGiorno);
    }
    const Giorno ultimo = kGiorno + days(giorni_anni - 1);
    if (!fs::exists(anni / kFileLibri) || ArchivioLibri(anni, false).Giorni().back() != ultimo) {
      fs::remove_all(anni);
      fs::create_directories(anni);
      const auto t0 = std::chrono::steady_clock::now();
      ArchivioLibri a(anni, true);
      for (int d = 0; d < giorni_anni; ++d) {
        Istantanea ist{.giorno = kGiorno + days(d), .camere_disponibili = disponibili};
        for (VoceLibri v : modello) {
          v.notte += days(d);
          ist.libri.push_back(std::move(v));
        }
        ist.consuntivi_dal = ist.consuntivi_al = ist.giorno - days(1);
        for (VoceConsuntivo v : finali) {
          v.notte += days(d);
          ist.consuntivi.push_back(std::move(v));
        }
        a.Scrivi(ist);
      }
      std::printf("%-34s %5d  %d giorni scritti in %.1f s\n", "", camere, giorni_anni,
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    const size_t tenute = ArchivioLibri(anni, false).Giorni().size();
    std::printf("%-34s %5d  %.1f MB dopo %d giorni (%zu istantanee tenute, %zu righe l'una)\n",
                "archivio dopo gli anni", camere, MB(anni / kFileLibri), giorni_anni, tenute,
                modello.size());

    m = Migliore(ripetizioni, [&] {
      CreaReportPickup(anni, base / "excel", ultimo);
      return 0LL;
    });
    Riga("cartella Pickup", camere, m, std::to_string(tenute) + " istantanee");
  }
}

}  // namespace
}  // namespace vendrix::bench

int main(int argc, char** argv) {
  int ripetizioni = 3, giorni = 730;
  std::vector<int> taglie = {300, 1000};
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--ripetizioni") {
      ripetizioni = std::stoi(argv[i + 1]);
    } else if (a == "--giorni") {
      giorni = std::stoi(argv[i + 1]);
    } else if (a == "--camere") {
      taglie = {std::stoi(argv[i + 1])};
    } else {
      std::fprintf(stderr, "uso: bench_libri [--ripetizioni N] [--giorni N] [--camere N]\n");
      return 2;
    }
  }
  vendrix::bench::Principale(ripetizioni, taglie, giorni);
  return 0;
}
