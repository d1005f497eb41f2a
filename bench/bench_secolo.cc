// bench_secolo: the longest period a run takes, a hundred years, on a hotel of many rooms: peak
// resident memory, wall and CPU time of the report run ("Crea Excel") over statistics of that
// length, with and without last year beside it.
//
//   bench_secolo [--camere N] [--agenzie N] [--cartella DIR]
//
// The hotel's files are a sample hotel of N rooms (300 by default); its statistics store is
// written directly, one row per room sold and night over 01/01/1901-31/12/2000 (three rooms in
// four sold every night, their agencies taken in turn from --agenzie, 40 by default), as a
// calculation of that period would store them. Last year (1900-1999) is worked out from the
// sample hotel's files, which hold no stays then: its days are all there, with no sales. Each
// figure is one run of vendrix-batch (beside this program, or VENDRIX_BATCH), started afresh so
// that its peak resident memory is its own.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/demo/hotel_demo.h"
#include "comune/date.h"
#include "comune/versione.h"
#include "data/archivio.h"
#include "data/dbengine.h"
#include "data/tabelle.h"
#include "reports/report.h"

namespace {

namespace fs = std::filesystem;
using namespace vendrix;

struct Tipo {
  std::string sigla;
  int camere = 0;
};

std::vector<Tipo> TipiDi(const fs::path& cartella) {
  DBEngine motore(cartella);
  auto db = motore.OpenDatabase(tabelle::kFileTipiCamere);
  auto rs = db->OpenRecordset("Select Sigla, Quantita From TipiCamere Where NumeroHotel = 1");
  std::vector<Tipo> tipi;
  for (rs->FindFirst("Quantita > 0"); !rs->NoMatch(); rs->FindNext("Quantita > 0")) {
    tipi.push_back({rs->Fields("Sigla").Value().Testo(),
                    static_cast<int>(rs->Fields("Quantita").Value().Numero())});
  }
  return tipi;
}

// Writes the store of dal..al: for each night, three rooms in four of each type sold, each a row.
long long ScriviStatistiche(const fs::path& cartella, Giorno dal, Giorno al, int agenzie) {
  const std::vector<Tipo> tipi = TipiDi(cartella);
  const std::string archivio = (cartella / tabelle::kFileVendrix).string();
  fs::remove(archivio);
  DBEngine motore(cartella);
  CreaArchivio(motore, archivio);
  auto db = motore.OpenDatabase(archivio);
  db->BeginTrans();
  auto rs = db->OpenRecordset(tabelle::kVendrix);
  long long righe = 0;
  int giro = 0;
  for (Giorno g = dal; g <= al; g += std::chrono::days(1)) {
    const Valore chiave(ChiaveData(g));
    for (const Tipo& t : tipi) {
      for (int c = 0; c < t.camere * 3 / 4; ++c, ++giro) {
        const Valuta retta = Valuta::DaDecimillesimi(800000 + (giro % 97) * 10000);
        rs->AddNew();
        rs->Fields(tabelle::kNumeroHotel) = Valore(int16_t{1});
        rs->Fields(tabelle::kDataRif) = chiave;
        rs->Fields(tabelle::kTotRO) = Valore(Valuta{});
        rs->Fields(tabelle::kTotBB) = Valore(retta);
        rs->Fields(tabelle::kTotHB) = Valore(Valuta{});
        rs->Fields(tabelle::kTotFB) = Valore(Valuta{});
        rs->Fields(tabelle::kTotSupl) = Valore(Valuta{});
        rs->Fields(tabelle::kTotRetta) = Valore(retta);
        rs->Fields(tabelle::kTipoCamera) = Valore(t.sigla);
        rs->Fields(tabelle::kAgenzia) = Valore("AGENZIA " + std::to_string(giro % agenzie));
        rs->Fields(tabelle::kTotCamOcc) = Valore(int32_t{1});
        rs->Fields(tabelle::kTotPax) = Valore(int32_t{2});
        rs->Fields(tabelle::kExtra) = Valore(Valuta{});
        rs->Update();
        ++righe;
      }
    }
  }
  rs->Close();
  db->CommitTrans();
  db->Close();
  PeriodoStatistiche periodo;
  periodo.dal = dal;
  periodo.al = al;
  periodo.confermate = periodo.clienti = true;
  periodo.creato_il = OraLocale("%Y-%m-%d %H:%M:%S");
  periodo.versione = kVersione;
  ScriviPeriodo(motore, archivio, periodo);
  return righe;
}

}  // namespace

int main(int argc, char** argv) {
  int camere = 300, agenzie = 40;
  fs::path cartella = "/tmp/vendrix-bench/secolo";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--camere" && i + 1 < argc) {
      camere = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--agenzie" && i + 1 < argc) {
      agenzie = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--cartella" && i + 1 < argc) {
      cartella = argv[++i];
    } else {
      std::cerr << "uso: bench_secolo [--camere N] [--agenzie N] [--cartella DIR]\n";
      return 2;
    }
  }
  unsetenv("DIRSH");
  const Giorno dal = *LeggiData("01/01/1901"), al = *LeggiData("31/12/2000");
  fs::remove_all(cartella);
  demo::OpzioniDemo opzioni;
  opzioni.camere = camere;
  opzioni.giorni = 30;
  opzioni.giorni_storico = 30;
  demo::ScriviHotelDemo(cartella.string(), opzioni);
  const long long righe = ScriviStatistiche(cartella, dal, al, agenzie);
  std::printf("%d camere, %d agenzie, %s: %lld righe di statistiche, %.0f MB\n", camere, agenzie,
              TestoPeriodo(dal, al).c_str(), righe,
              fs::file_size(cartella / tabelle::kFileVendrix) / 1048576.0);

  const std::string batch =
      std::getenv("VENDRIX_BATCH") != nullptr
          ? std::getenv("VENDRIX_BATCH")
          : fs::absolute(fs::path(argv[0]).parent_path() / "../app/vendrix-batch").string();
  std::printf("%-28s %8s %8s %9s %11s\n", "run", "wall s", "cpu s", "peak MB", "workbook MB");
  const struct {
    const char* nome;
    bool confronto;
  } prove[] = {{"Crea Excel", false}, {"Crea Excel + anno precedente", true}};
  for (const auto& prova : prove) {
    std::vector<std::string> parole = {batch, "excel", TestoData(dal), TestoData(al)};
    if (!prova.confronto) parole.push_back("--senza-confronto");
    std::vector<char*> argomenti;
    for (std::string& p : parole) argomenti.push_back(p.data());
    argomenti.push_back(nullptr);
    std::fflush(stdout);
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(cartella.c_str()) != 0 || !freopen("/dev/null", "w", stdout)) _exit(127);
      execv(argomenti[0], argomenti.data());
      _exit(127);
    }
    int stato = 0;
    rusage uso{};
    wait4(pid, &stato, 0, &uso);
    const double secondi =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!WIFEXITED(stato) || WEXITSTATUS(stato) != 0) {
      std::printf("%-28s non riuscito (stato %d)\n", prova.nome, stato);
      continue;
    }
    const double cpu = uso.ru_utime.tv_sec + uso.ru_utime.tv_usec / 1e6 + uso.ru_stime.tv_sec +
                       uso.ru_stime.tv_usec / 1e6;
    double byte = 0;
    for (const char* file : kFileReport) byte += fs::file_size(cartella / "Excel" / file);
    std::printf("%-28s %8.2f %8.2f %9.0f %11.1f\n", prova.nome, secondi, cpu,
                uso.ru_maxrss / 1024.0, byte / 1048576.0);
  }
  return 0;
}
