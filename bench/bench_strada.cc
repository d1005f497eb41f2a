// The whole road at hotel scale: writes sample hotels of three sizes, then times the calculation
// run and the report run against a floor — the least work any implementation must do: read every
// source row the runs' queries select, with plain sqlite3 stepping, and insert as many statistics
// rows into a fresh file in one transaction with a prepared statement. Each figure is measured in
// a child process of its own, so that its peak resident memory is its own.
//
// The floor leaves out one step every run must take: the agency clean-up, which reads the new
// table back and blanks the agencies the filter file names. Its cost is shown apart ("clean s"):
// the clean-up alone, on the table a run leaves before it.
//
//   bench_strada [--taglie S,M,L] [--cartella DIR] [--ripetizioni N]

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/demo/hotel_demo.h"
#include "bench/in_figlio.h"
#include "calc/calcolo.h"
#include "calc/linea_stato.h"
#include "calc/pulizia.h"
#include "calc/vendrix_routine.h"
#include "comune/date.h"
#include "comune/richiesta.h"
#include "data/dbengine.h"
#include "data/errore.h"
#include "data/tabelle.h"
#include "reports/report.h"

namespace fs = std::filesystem;
using vendrix::bench::InFiglio;
using vendrix::bench::Migliore;
using vendrix::bench::Misura;
using vendrix::bench::Muta;
using vendrix::demo::OpzioniDemo;

namespace {

struct Taglia {
  std::string nome;
  int camere;
  int giorni;          // days of live data from `dal`
  int giorni_storico;  // days of history before `dal`
  std::string dal;     // first day of live data
  std::string periodo_dal, periodo_al;
};

// The size's period with every kind of stay, in the hotel folder `cartella` (its history there
// too, and the workbooks in its Excel folder).
vendrix::Richiesta RichiestaDi(const Taglia& t, const fs::path& cartella) {
  vendrix::Richiesta r;
  r.dal = *vendrix::LeggiData(t.periodo_dal);
  r.al = *vendrix::LeggiData(t.periodo_al);
  r.confermate = r.opzionate = r.clienti = true;
  r.cartella_hotel = r.cartella_storico = cartella;
  r.cartella_excel = cartella / "Excel";
  return r;
}

void Controlla(int rc, sqlite3* db, const std::string& cosa) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
    throw std::runtime_error(cosa + ": " + sqlite3_errmsg(db));
}

// Steps through every row of `sql`, reading every column as the run would; returns the rows.
long long Leggi(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* st = nullptr;
  Controlla(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), db, sql);
  long long righe = 0;
  long long somma = 0;
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    int n = sqlite3_column_count(st);
    for (int c = 0; c < n; ++c) {
      switch (sqlite3_column_type(st, c)) {
        case SQLITE_INTEGER: somma += sqlite3_column_int64(st, c); break;
        case SQLITE_FLOAT: somma += static_cast<long long>(sqlite3_column_double(st, c)); break;
        case SQLITE_TEXT: somma += sqlite3_column_bytes(st, c); break;
        default: break;
      }
    }
    ++righe;
  }
  Controlla(rc, db, sql);
  sqlite3_finalize(st);
  if (somma == 42) std::fputs("", stderr);  // keeps the reads from being optimised away
  return righe;
}

struct Conteggi {
  long long soggiorni = 0, addebiti = 0, altre = 0;
};

// The selections of the three passes and the shared tables, in plain SQLite.
Conteggi LeggiSorgenti(const fs::path& cartella, const std::string& da, const std::string& a) {
  // Each pass attaches only its own files (SQLite attaches at most ten at a time).
  sqlite3* db = nullptr;
  sqlite3_open(":memory:", &db);
  std::vector<std::string> attaccati;
  auto attacca = [&](std::initializer_list<std::pair<const char*, const char*>> file) {
    for (const std::string& alias : attaccati) {
      std::string sql = "DETACH " + alias;
      Controlla(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db, sql);
    }
    attaccati.clear();
    for (const auto& [nome, alias] : file) {
      std::string sql = "ATTACH '" + (cartella / nome).string() + "' AS " + alias;
      Controlla(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db, sql);
      attaccati.push_back(alias);
    }
  };
  const std::string q = "'";
  const std::string cp_periodo = "NumeroHotel = 1 and DataArrivo <= " + q + a + q +
                                 " and DataPartenza > " + q + da + q;
  Conteggi c;
  attacca({{"VociFattura.mdb", "vf"}, {"Arrangiamenti.mdb", "na"}, {"NumeriCamere.mdb", "nc"}});
  c.altre += Leggi(db, "select * from vf.VociFattura");
  c.altre += Leggi(db, "select * from na.NomiArrangiamenti");
  c.altre += Leggi(db, "select * from nc.NumeriCamere");
  attacca({{"TipiCamere.mdb", "tc"}, {"Camere_Prenotazione.mdb", "cp"},
           {"Scheda_Prenotazione.mdb", "sp"}, {"Arrangiamento.mdb", "ar"}});
  c.soggiorni += Leggi(db,
      "select * from cp.Camere_Prenotazione where " + cp_periodo +
      " and TipoCamera in (select Sigla from tc.TipiCamere where NumeroHotel = 1 and "
      "Tipologia = 'C') and NumeroPersone > 0");
  c.altre += Leggi(db,
      "select * from sp.Scheda_Prenotazione where NumeroHotel = 1 and (TipoPrenotazione = 'C' "
      "or TipoPrenotazione = 'D' or TipoPrenotazione = 'O') and NumeroPrenotazione in (select "
      "NumeroPrenotazione from cp.Camere_Prenotazione where " + cp_periodo + ")");
  c.addebiti += Leggi(db,
      "select * from ar.Arrangiamento where NumeroHotel = 1 and substr(NumeroCamera,1,1) = '*' "
      "and CodiceCliente in (select NumeroPrenotazione from cp.Camere_Prenotazione where " +
      cp_periodo + ")");
  attacca({{"TipiCamere.mdb", "tc"}, {"NumeriCamere.mdb", "nc"}, {"Scheda_Cliente.mdb", "sc"},
           {"Ditta_Intestataria.mdb", "di"}, {"Arrangiamento.mdb", "ar"}});
  c.soggiorni += Leggi(db,
      "select * from sc.Scheda_Cliente where NumeroHotel = 1 and DataArrivo <= '" + a +
      "' and ((DataPartenza > '" + da + "' and Partito = 'N') or (DataPartenzaReale > '" + da +
      "' and Partito = 'S')) and NumeroCamera in (select NumeroCamera from nc.NumeriCamere "
      "where NumeroHotel = 1 and TipoCamera in (select Sigla from tc.TipiCamere where "
      "NumeroHotel = 1 and Tipologia = 'C')) order by DataArrivo,NumeroCamera,NumeroProgressivo");
  c.altre += Leggi(db, "select * from di.Ditta_Intestataria");
  c.addebiti += Leggi(db,
      "select * from ar.Arrangiamento where NumeroHotel = 1 and substr(NumeroCamera,1,1) <> '*' "
      "and CodiceCliente in (select NumeroProgressivo from sc.Scheda_Cliente where "
      "NumeroHotel = 1 and DataArrivo <= '" + a + "' and DataPartenza > '" + da + "')");
  attacca({{"SchedaStoricoClienti.mdb", "ss"}, {"DittaStoricoClienti.mdb", "ds"},
           {"ArrangiamentoStoricoClienti.mdb", "as_"}});
  c.addebiti += Leggi(db,
      "select * from as_.Arrangiamento where NumeroHotel = 1 and substr(NumeroCamera,1,1) <> '*' "
      "and CodiceCliente in (select NumeroProgressivo from ss.Scheda_Cliente where "
      "NumeroHotel = 1 and DataArrivo <= '" + a + "' and DataPartenzaReale > '" + da + "')");
  c.soggiorni += Leggi(db,
      "select * from ss.Scheda_Cliente where NumeroHotel = 1 and DataArrivo <= '" + a +
      "' and DataPartenzaReale > '" + da + "' order by DataArrivo,NumeroCamera,NumeroProgressivo");
  c.altre += Leggi(db, "select * from ds.Ditta_Intestataria");
  sqlite3_close(db);
  return c;
}

// Inserts `righe` statistics rows into a fresh file, in one transaction, with one prepared
// statement: the least any run must do to store its rows.
void ScriviRighe(const fs::path& file, long long righe) {
  fs::remove(file);
  sqlite3* db = nullptr;
  sqlite3_open(file.c_str(), &db);
  Controlla(sqlite3_exec(db,
      "CREATE TABLE Vendrix (NumeroHotel SMALLINT, DataRif VARCHAR(8), TotRO CURRENCY, "
      "TotBB CURRENCY, TotHB CURRENCY, TotFB CURRENCY, TotSupl CURRENCY, TotRetta CURRENCY, "
      "TipoCamera VARCHAR(30), Agenzia VARCHAR(100), TotCamOcc INTEGER, TotPax INTEGER, "
      "Extra CURRENCY); BEGIN", nullptr, nullptr, nullptr), db, "create");
  sqlite3_stmt* st = nullptr;
  Controlla(sqlite3_prepare_v2(db, "INSERT INTO Vendrix VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)", -1,
                               &st, nullptr), db, "insert");
  for (long long i = 0; i < righe; ++i) {
    sqlite3_bind_int(st, 1, 1);
    sqlite3_bind_text(st, 2, "20240701", 8, SQLITE_STATIC);
    for (int c = 3; c <= 8; ++c) sqlite3_bind_double(st, c, (i % 7) * 10.5);
    sqlite3_bind_text(st, 9, "DBL", 3, SQLITE_STATIC);
    sqlite3_bind_text(st, 10, "AGENZIA VIAGGI", 14, SQLITE_STATIC);
    sqlite3_bind_int(st, 11, 1);
    sqlite3_bind_int(st, 12, 2);
    sqlite3_bind_double(st, 13, 3.5);
    Controlla(sqlite3_step(st), db, "step");
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  Controlla(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  sqlite3_close(db);
}

// A single number of the statistics table, e.g. "count(*)" or "sum(TotCamOcc)".
long long Conta(const fs::path& file, const std::string& espressione) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return -1;
  sqlite3_stmt* st = nullptr;
  long long n = -1;
  const std::string sql = "select " + espressione + " from Vendrix";
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
      sqlite3_step(st) == SQLITE_ROW)
    n = sqlite3_column_int64(st, 0);
  sqlite3_finalize(st);
  sqlite3_close(db);
  return n;
}

// Times the agency clean-up alone: a run without the filter file (so without clean-up), then
// the clean-up on the table it leaves, with the filter file back. Returns the rows it counted.
long long SoloPulizia(const fs::path& cartella, const Taglia& t, double& secondi) {
  const fs::path filtro = cartella / vendrix::tabelle::kFileFiltro;
  const fs::path da_parte = cartella / "VendrixFiltro.txt.bench";
  fs::rename(filtro, da_parte);
  struct Rimetti {
    fs::path da, a;
    ~Rimetti() {
      std::error_code e;
      fs::rename(da, a, e);
    }
  } rimetti{da_parte, filtro};
  Muta ui;
  vendrix::CalcolaStatistiche(ui, RichiestaDi(t, cartella));
  fs::rename(da_parte, filtro);
  vendrix::LineaStato linea(ui);
  vendrix::DBEngine motore(cartella);
  auto t0 = std::chrono::steady_clock::now();
  vendrix::PulisciAgenzie(motore, (cartella / vendrix::tabelle::kFileVendrix).string(), linea);
  secondi = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return Conta(cartella / vendrix::tabelle::kFileVendrix, "count(*)");
}

std::vector<std::string> Dividi(const std::string& s, char sep) {
  std::vector<std::string> parti;
  std::stringstream in(s);
  std::string p;
  while (std::getline(in, p, sep)) parti.push_back(p);
  return parti;
}

// The sizes bench_strada knows. L2 is L with a two-year period: the run's cost must grow with the
// period, not faster.
const Taglia kTaglie[] = {
    {"S", 30, 60, 60, "01/01/2024", "01/01/2024", "29/02/2024"},
    {"M", 300, 366, 366, "01/01/2024", "01/01/2024", "31/12/2024"},
    {"L", 1000, 1096, 1096, "01/01/2023", "01/01/2024", "31/12/2024"},
    {"L2", 1000, 1096, 1096, "01/01/2023", "01/01/2024", "31/12/2025"},
};

// Writes the hotel of size `t` into `cartella` unless it is there already.
void PreparaHotel(const Taglia& t, const fs::path& cartella) {
  if (fs::exists(cartella / "Arrangiamento.mdb")) return;
  OpzioniDemo o;
  o.camere = t.camere;
  o.giorni = t.giorni;
  o.giorni_storico = t.giorni_storico;
  o.dal = t.dal;
  o.seme = 7;
  vendrix::demo::ScriviHotelDemo(cartella.string(), o);
}

// Measures size `t` in `cartella` (the current folder), best of `ripetizioni`, and prints its
// row. False, with the reason on stderr, when a run fails.
bool MisuraTaglia(const Taglia& t, const fs::path& cartella, int ripetizioni) {
  const std::string da = vendrix::ChiaveData(*vendrix::LeggiData(t.periodo_dal));
  const std::string a = vendrix::ChiaveData(*vendrix::LeggiData(t.periodo_al));
  const auto riuscita = [&](const Misura& m, const char* cosa) {
    if (!m.riuscita) std::cerr << t.nome << " " << cosa << ": " << m.errore << "\n";
    return m.riuscita;
  };
  Misura calc, report;
  for (int r = 0; r < ripetizioni; ++r) {
    Misura m = InFiglio([&] {
      Muta ui;
      vendrix::CalcolaStatistiche(ui, RichiestaDi(t, cartella));
      return Conta(cartella / "Vendrix.mdb", "count(*)");
    });
    if (!riuscita(m, "calcolo")) return false;
    if (r == 0 || m.secondi < calc.secondi) calc = m;
    m = InFiglio([&] {
      Muta ui;
      return static_cast<long long>(vendrix::CreaReportExcel(ui, RichiestaDi(t, cartella)).size());
    });
    if (!riuscita(m, "report")) return false;
    if (r == 0 || m.secondi < report.secondi) report = m;
  }
  const long long righe = calc.valore;
  const long long notti = Conta(cartella / "Vendrix.mdb", "sum(TotCamOcc)");
  const Misura pavimento = Migliore(ripetizioni, [&] {
    Conteggi c = LeggiSorgenti(cartella, da, a);
    ScriviRighe(cartella / "pavimento.mdb", righe);
    return c.soggiorni * 1000000000LL + c.addebiti;
  });
  if (!riuscita(pavimento, "pavimento")) return false;
  // The clean-up alone, best of the repetitions; it leaves the statistics as a run does.
  double pulizia = 0;
  for (int r = 0; r < ripetizioni; ++r) {
    const Misura m = InFiglio([&] {
      double secondi = 0;
      SoloPulizia(cartella, t, secondi);
      return static_cast<long long>(secondi * 1e6);
    });
    if (!riuscita(m, "pulizia")) return false;
    if (r == 0 || m.valore / 1e6 < pulizia) pulizia = m.valore / 1e6;
  }
  Conteggi conti;
  conti.soggiorni = pavimento.valore / 1000000000LL;
  conti.addebiti = pavimento.valore % 1000000000LL;
  fs::remove(cartella / "pavimento.mdb");
  std::printf("%-5s %9lld %9lld %9lld %9lld %8.2f %8.2f %8.2f %10.2f %8.0f %8.2f\n", t.nome.c_str(),
              conti.soggiorni, notti, conti.addebiti, righe, calc.secondi, report.secondi,
              pavimento.secondi, calc.secondi / pavimento.secondi,
              std::max(calc.picco_mb, report.picco_mb), pulizia);
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> taglie = {"S", "M", "L"};
  fs::path base = fs::temp_directory_path() / "vendrix-bench";
  int ripetizioni = 1;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--taglie" && i + 1 < argc) {
      taglie = Dividi(argv[++i], ',');
    } else if (a == "--cartella" && i + 1 < argc) {
      base = argv[++i];
    } else if (a == "--ripetizioni" && i + 1 < argc) {
      ripetizioni = std::max(1, std::atoi(argv[++i]));
    } else {
      std::cerr << "uso: bench_strada [--taglie S,M,L,L2] [--cartella DIR] [--ripetizioni N]\n";
      return 2;
    }
  }
  vendrix::CaricaModulo();
  std::printf("%-5s %9s %9s %9s %9s %8s %8s %8s %10s %8s %8s\n", "size", "stays", "nights",
              "charges", "rows", "calc s", "report s", "floor s", "calc/floor", "peak MB",
              "clean s");
  const fs::path origine = fs::current_path();
  for (const std::string& nome : taglie) {
    const auto it = std::find_if(std::begin(kTaglie), std::end(kTaglie),
                                 [&](const Taglia& t) { return t.nome == nome; });
    if (it == std::end(kTaglie)) {
      std::cerr << "taglia sconosciuta: " << nome << "\n";
      return 2;
    }
    // L and L2 share their hotel.
    const fs::path cartella = base / (it->nome == "L2" ? std::string("L") : it->nome);
    PreparaHotel(*it, cartella);
    fs::current_path(cartella);
    if (!MisuraTaglia(*it, cartella, ripetizioni)) return 1;
    fs::current_path(origine);
  }
  return 0;
}
