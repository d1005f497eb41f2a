// Figures of the engine on sets of the size a calculation run meets: equality finds on a
// 500 000-row charge-line set, a walk over a 1 000 000-row statistics table, and appending rows
// through AddNew/Update against plain SQLite prepared inserts.
//
// Usage: bench_trova [folder]   (default: a new folder under the system temp folder)

#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "data/archivio.h"
#include "data/dbengine.h"

namespace fs = std::filesystem;
using namespace vendrix;

namespace {

using Orologio = std::chrono::steady_clock;

double Secondi(Orologio::time_point da) {
  return std::chrono::duration<double>(Orologio::now() - da).count();
}

long PiccoMb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024;
}

constexpr int kClienti = 50000;  // stays
constexpr int kRighePerCliente = 10;
constexpr int kRigheAddebiti = kClienti * kRighePerCliente;
constexpr int kRigheStatistiche = 1000000;

std::string Chiave(int giorno) {  // 20240101 + giorno, July-ish keys are enough
  char buf[16];
  std::snprintf(buf, sizeof buf, "2024%02d%02d", 1 + giorno / 28 % 12, 1 + giorno % 28);
  return buf;
}

void ScriviAddebiti(DBEngine& motore, const std::string& file) {
  auto db = motore.Workspaces().CreateDatabase(file);
  TableDef td = db->CreateTableDef("Arrangiamento");
  td.Fields.Append(td.CreateField("NumeroHotel", dbInteger));
  td.Fields.Append(td.CreateField("CodiceCliente", dbLong));
  td.Fields.Append(td.CreateField("NumeroCamera", dbText, 10));
  td.Fields.Append(td.CreateField("DataInizio", dbText, 8));
  td.Fields.Append(td.CreateField("DataFine", dbText, 8));
  td.Fields.Append(td.CreateField("ImportoTotale", dbCurrency));
  td.Fields.Append(td.CreateField("Descrizione", dbText, 50));
  td.Fields.Append(td.CreateField("VoceAddebito", dbLong));
  td.Fields.Append(td.CreateField("Arrangiamento", dbText, 10));
  db->TableDefs().Append(td);
  auto rs = db->OpenRecordset("Arrangiamento");
  db->BeginTrans();
  for (int c = 0; c < kClienti; ++c) {
    int arrivo = c % 300;
    for (int k = 0; k < kRighePerCliente; ++k) {
      rs->AddNew();
      rs->Fields("NumeroHotel") = int16_t{1};
      rs->Fields("CodiceCliente") = int32_t(c + 1);
      rs->Fields("NumeroCamera") = "*" + std::to_string(1 + k % 3);
      rs->Fields("DataInizio") = Chiave(arrivo + k / 3);
      rs->Fields("DataFine") = Chiave(arrivo + k / 3 + 2);
      rs->Fields("ImportoTotale") = Valuta::DaDecimillesimi(100000 + k * 1234);
      rs->Fields("Descrizione") = k == 9 ? "SUPPL letto aggiunto" : "Pernottamento e colazione";
      rs->Fields("VoceAddebito") = int32_t(k % 4);
      rs->Fields("Arrangiamento") = "BB";
      rs->Update();
    }
  }
  db->CommitTrans();
}

void MisuraFind(DBEngine& motore, const std::string& file) {
  auto db = motore.OpenDatabase(file);
  auto t0 = Orologio::now();
  auto rs = db->OpenRecordset(
      "Select * From Arrangiamento Where NumeroHotel = 1 and Left(NumeroCamera,1) = '*'");
  std::printf("  lettura del set SQL di %lld righe: %.2f s (picco memoria %ld MB)\n",
              static_cast<long long>(rs->RecordCount()), Secondi(t0), PiccoMb());

  auto criteri = [](int cliente, int giorno, int camera) {
    std::string k = Quota(Chiave(giorno));
    return "NumeroHotel = 1 and CodiceCliente = " + std::to_string(cliente) +
           " and DataInizio <= " + k + " and DataFine > " + k +
           " and NumeroCamera = " + Quota("*" + std::to_string(camera));
  };
  t0 = Orologio::now();
  rs->FindFirst(criteri(1, 1, 1));
  std::printf("  prima find (indici su NumeroHotel, CodiceCliente, NumeroCamera): %.3f s\n",
              Secondi(t0));

  // The run: for each stay and night, one find sequence on the charge lines.
  const int sequenze = 400000;
  long find = 0, trovate = 0;
  Valuta totale;
  t0 = Orologio::now();
  for (int s = 0; s < sequenze; ++s) {
    int cliente = 1 + static_cast<int>((int64_t{s} * 7919) % kClienti);
    int giorno = (cliente - 1) % 300 + s % 4;
    std::string c = criteri(cliente, giorno, 1 + s % 3);
    rs->FindFirst(c);
    ++find;
    while (!rs->NoMatch()) {
      ++trovate;
      totale += rs->Fields("ImportoTotale").Value().ComeValuta();
      rs->FindNext(c);
      ++find;
    }
  }
  double t = Secondi(t0);
  std::printf(
      "  %d sequenze FindFirst/FindNext, %ld find, %ld righe trovate: %.3f s, "
      "%.2f µs per find (totale %s)\n",
      sequenze, find, trovate, t, t * 1e6 / find, totale.Testo(2).c_str());

  // Single lookups on a small table-like key, as the invoice-item finds.
  t0 = Orologio::now();
  long n = 0;
  for (int s = 0; s < 400000; ++s) {
    rs->FindFirst("NumeroHotel = 1 and CodiceCliente = " + std::to_string(1 + s % kClienti));
    n += !rs->NoMatch();
  }
  t = Secondi(t0);
  std::printf("  400000 FindFirst su CodiceCliente: %.2f µs per find (%ld trovate)\n",
              t * 1e6 / 400000, n);
  std::printf("  picco memoria: %ld MB\n", PiccoMb());
}

// Writes the statistics rows into a new store `file` through the engine, in one transaction:
// the seconds it takes.
double ScritturaMotore(DBEngine& motore, const std::string& file) {
  CreaArchivio(motore, file);
  auto db = motore.OpenDatabase(file);
  auto rs = db->OpenRecordset("Vendrix");
  // Field positions are taken once, as the calculation run does.
  const char* nomi[] = {"NumeroHotel", "DataRif", "TotRO",    "TotBB",      "TotHB",
                        "TotFB",       "TotSupl", "TotRetta", "TipoCamera", "Agenzia",
                        "TotCamOcc",   "TotPax",  "Extra"};
  int f[13];
  for (int k = 0; k < 13; ++k) f[k] = rs->IndiceCampo(nomi[k]);
  const Valore zero{Valuta()}, uno{int16_t{1}}, tipo{"DOP"}, alfa{"AGENZIA VIAGGI ALFA SRL"},
      beta{"BETA TOUR"}, camere{int32_t{1}}, ospiti{int32_t{2}}, importo{55.5};
  auto t0 = Orologio::now();
  db->BeginTrans();
  for (int i = 0; i < kRigheStatistiche; ++i) {
    rs->AddNew();
    rs->Fields(f[0]) = uno;
    rs->Fields(f[1]) = Chiave(i % 300);
    for (int k : {2, 3, 4, 5, 6, 7, 12}) rs->Fields(f[k]) = zero;
    rs->Fields(f[7]) = importo;
    rs->Fields(f[3]) = importo;
    rs->Fields(f[8]) = tipo;
    rs->Fields(f[9]) = i % 5 == 0 ? alfa : beta;
    rs->Fields(f[10]) = camere;
    rs->Fields(f[11]) = ospiti;
    rs->Update();
  }
  db->CommitTrans();
  const double t_motore = Secondi(t0);
  db->Close();
  return t_motore;
}

// The same rows through plain SQLite prepared inserts into a new store `grezzo`: the seconds.
double ScritturaSqlite(DBEngine& motore, const std::string& grezzo) {
  CreaArchivio(motore, grezzo);
  sqlite3* s = nullptr;
  sqlite3_open(grezzo.c_str(), &s);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(
      s,
      "INSERT INTO Vendrix (NumeroHotel, DataRif, TotRO, TotBB, TotHB, TotFB, TotSupl, "
      "TotRetta, TipoCamera, Agenzia, TotCamOcc, TotPax, Extra) VALUES "
      "(?,?,?,?,?,?,?,?,?,?,?,?,?)",
      -1, &st, nullptr);
  const auto t0 = Orologio::now();
  sqlite3_exec(s, "BEGIN", nullptr, nullptr, nullptr);
  for (int i = 0; i < kRigheStatistiche; ++i) {
    std::string k = Chiave(i % 300);
    sqlite3_bind_int(st, 1, 1);
    sqlite3_bind_text(st, 2, k.c_str(), -1, SQLITE_TRANSIENT);
    for (int c = 3; c <= 8; ++c) sqlite3_bind_double(st, c, c == 4 || c == 8 ? 55.5 : 0.0);
    sqlite3_bind_text(st, 9, "DOP", -1, SQLITE_STATIC);
    sqlite3_bind_text(st, 10, i % 5 == 0 ? "AGENZIA VIAGGI ALFA SRL" : "BETA TOUR", -1,
                      SQLITE_STATIC);
    sqlite3_bind_int(st, 11, 1);
    sqlite3_bind_int(st, 12, 2);
    sqlite3_bind_double(st, 13, 0.0);
    sqlite3_step(st);
    sqlite3_reset(st);
  }
  sqlite3_exec(s, "COMMIT", nullptr, nullptr, nullptr);
  const double t_grezzo = Secondi(t0);
  sqlite3_finalize(st);
  sqlite3_close(s);
  return t_grezzo;
}

// The agency clean-up on the store `file`: a walk over the whole table reading one field,
// editing some rows.
void MisuraPulizia(const std::string& file) {
  DBEngine altro;
  auto db2 = altro.OpenDatabase(file);
  auto rs2 = db2->OpenRecordset("Vendrix");
  const auto t0 = Orologio::now();
  rs2->MoveLast();
  long totale = rs2->RecordCount(), modificate = 0;
  db2->BeginTrans();
  rs2->FindFirst("NumeroHotel = 1");
  while (!rs2->NoMatch()) {
    Valore a = rs2->Fields("Agenzia").Value();
    if (!a.IsNull() && a.ComeTesto().find("ALFA") != std::string::npos) {
      rs2->Edit();
      rs2->Fields("Agenzia") = " ";
      rs2->Update();
      ++modificate;
    }
    rs2->FindNext("NumeroHotel = 1");
  }
  db2->CommitTrans();
  std::printf("  pulizia agenzie su %ld righe (%ld modificate): %.2f s (picco memoria %ld MB)\n",
              totale, modificate, Secondi(t0), PiccoMb());
}

void MisuraScritture(DBEngine& motore, const std::string& cartella) {
  const std::string file = cartella + "/Vendrix.mdb";
  const double t_motore = ScritturaMotore(motore, file);
  const double t_grezzo = ScritturaSqlite(motore, cartella + "/Grezzo.mdb");
  std::printf(
      "  %d AddNew/Update in una transazione: %.2f s (%.2f µs per riga); "
      "SQLite diretto: %.2f s (%.2f µs per riga)\n",
      kRigheStatistiche, t_motore, t_motore * 1e6 / kRigheStatistiche, t_grezzo,
      t_grezzo * 1e6 / kRigheStatistiche);

  MisuraPulizia(file);
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  fs::path cartella = argc > 1
                          ? fs::path(argv[1])
                          : fs::temp_directory_path() / ("vx_bench_" + std::to_string(getpid()));
  fs::create_directories(cartella);
  try {
    DBEngine motore;
    std::string addebiti = (cartella / "Arrangiamento.mdb").string();
    fs::remove(addebiti);
    auto t0 = Orologio::now();
    ScriviAddebiti(motore, addebiti);
    std::printf("Tabella di %d righe di addebito scritta in %.2f s\n", kRigheAddebiti, Secondi(t0));
    std::printf("Find:\n");
    MisuraFind(motore, addebiti);
    std::printf("Scritture:\n");
    fs::remove(cartella / "Vendrix.mdb");
    fs::remove(cartella / "Grezzo.mdb");
    MisuraScritture(motore, cartella.string());
  } catch (const Errore& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  if (argc <= 1) fs::remove_all(cartella);
  return 0;
}
