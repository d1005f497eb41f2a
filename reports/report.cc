// The "C&rea Excel" run: the three report workbooks from the statistics store.

#include "reports/report.h"

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <system_error>

#include "calc/date.h"
#include "calc/vendrix_routine.h"
#include "data/dbengine.h"
#include "data/errore.h"
#include "data/tabelle.h"
#include "reports/cartella_lavoro.h"
#include "reports/fogli_report.h"

namespace vendrix {

namespace {

namespace fs = std::filesystem;

constexpr const char* kTipiCamere =
    "Select * From TipiCamere Where NumeroHotel = 1 and Tipologia = 'C'";

struct Cartella {
  const char* foglio;
  const char* file;
};
constexpr Cartella kCartelle[] = {{"Data", "REPORT_DATA.XLS"},
                                  {"Tipo camera", "REPORT_TIPOCAMERA.XLS"},
                                  {"Agenzia", "REPORT_AGENZIA.XLS"}};

// A date box as the run reads it: spaces around the date do not count, as in the date check.
std::string DataDellaCasella(const Interfaccia& ui, int indice) {
  std::string testo = ui.Text1(indice);
  size_t inizio = testo.find_first_not_of(' ');
  if (inizio == std::string::npos) return "";
  return testo.substr(inizio, testo.find_last_not_of(' ') - inizio + 1);
}

int64_t ContaCamere(DBEngine& motore) {
  auto tipi = motore.OpenDatabase(tabelle::kFileTipiCamere);
  auto insieme = tipi->OpenRecordset(kTipiCamere);
  int64_t camere = 0;
  for (insieme->FindFirst("NumeroHotel = 1"); !insieme->NoMatch();
       insieme->FindNext("NumeroHotel = 1")) {
    camere += QuantitaTipo(*insieme);
  }
  insieme->Close();
  tipi->Close();
  return camere;
}

// A grouped query on the statistics store, opened on a connection of its own.
struct Gruppi {
  std::unique_ptr<Database> vendrix;
  std::unique_ptr<Recordset> insieme;
  void Chiudi() {
    insieme->Close();
    vendrix->Close();
  }
};

Gruppi ApriGruppi(DBEngine& motore, const char* sql) {
  Gruppi gruppi;
  gruppi.vendrix = motore.OpenDatabase(tabelle::kFileVendrix);
  gruppi.insieme = gruppi.vendrix->OpenRecordset(sql);
  return gruppi;
}

// Saves the workbooks under temporary names in `cartella`, then gives each its final name: a
// failure leaves the previous reports as they were, with no half-written file.
void SalvaTutte(const std::vector<excel::Workbook*>& cartelle,
                const std::vector<std::string>& percorsi) {
  std::vector<std::string> provvisori;
  try {
    for (size_t i = 0; i < cartelle.size(); ++i) {
      std::string provvisorio = percorsi[i] + "." + std::to_string(::getpid()) + ".nuovo";
      cartelle[i]->SaveAs(provvisorio);
      provvisori.push_back(provvisorio);
    }
    for (size_t i = 0; i < provvisori.size(); ++i) {
      std::error_code errore;
      fs::rename(provvisori[i], percorsi[i], errore);
      if (errore) {
        throw Errore("Impossibile scrivere '" + percorsi[i] + "': " + errore.message() +
                     ". Chiudere il file se è aperto e riprovare");
      }
    }
  } catch (...) {
    for (const std::string& p : provvisori) {
      std::error_code ignorato;
      fs::remove(p, ignorato);
    }
    throw;
  }
}

}  // namespace

std::vector<std::string> CreaReportExcel(Interfaccia& ui, const std::string& cartella) {
  PeriodoReport periodo;
  periodo.dal = DataDellaCasella(ui, 0);
  periodo.al = DataDellaCasella(ui, 1);
  if (ControllaData(periodo.dal) != 1) {
    throw Errore("Data iniziale non valida: \"" + ui.Text1(0) + "\". Inserirla come GG/MM/AAAA");
  }
  if (ControllaData(periodo.al) != 1) {
    throw Errore("Data finale non valida: \"" + ui.Text1(1) + "\". Inserirla come GG/MM/AAAA");
  }
  if (ControllaPeriodo(periodo.dal, periodo.al) != 1) {
    throw Errore("La data iniziale " + periodo.dal + " viene dopo la data finale " + periodo.al +
                 ": correggere il periodo");
  }
  periodo.giorni_periodo = DifferenzaGiorni(periodo.dal, periodo.al) + 1;
  // Row 1 holds the headings: one row fewer than the sheet has is left for the days.
  if (periodo.giorni_periodo > excel::kMassimoRighe - 1) {
    throw Errore("Periodo troppo lungo: il foglio \"Data\" contiene al massimo " +
                 std::to_string(excel::kMassimoRighe - 1) + " giorni");
  }
  std::error_code errore;
  if (!fs::is_regular_file(tabelle::kFileVendrix, errore)) {
    throw Errore("Archivio statistiche 'Vendrix.mdb' non trovato: premere prima \"Calcola\"");
  }

  excel::Application excel;
  std::vector<excel::Workbook*> cartelle;
  for (const Cartella& c : kCartelle) {
    excel::Workbook& nuova = excel.Workbooks().Add();
    nuova.Sheets(1).SetName(c.foglio);
    cartelle.push_back(&nuova);
  }
  excel::Worksheet& data = cartelle[0]->Worksheets(1);
  excel::Worksheet& tipo_camera = cartelle[1]->Worksheets(1);
  excel::Worksheet& agenzia = cartelle[2]->Worksheets(1);
  PreparaFoglioData(data);
  PreparaFoglioTipoCamera(tipo_camera);
  PreparaFoglioAgenzia(agenzia);

  DBEngine motore;
  periodo.totale_camere = ContaCamere(motore);
  auto file_tipi = motore.OpenDatabase(tabelle::kFileTipiCamere);
  auto tipi_camere = file_tipi->OpenRecordset(kTipiCamere);

  // The three grouped queries are most of the run. The second and the third run on threads of
  // their own, each on its own connection, while this thread runs the first; the sheets are then
  // filled in their order, each from its own query, and an error of a query is met where its
  // sheet would have met it.
  std::future<Gruppi> per_tipo, per_agenzia;
  try {
    per_tipo = std::async(std::launch::async, ApriGruppi, std::ref(motore), kGruppiPerTipo);
    per_agenzia = std::async(std::launch::async, ApriGruppi, std::ref(motore), kGruppiPerAgenzia);
  } catch (const std::system_error&) {
    throw Errore(
        "Impossibile avviare la lettura delle statistiche: risorse del sistema esaurite. Chiudere "
        "altri programmi e riprovare.");
  }

  {
    Gruppi gruppi = ApriGruppi(motore, kGruppiPerGiorno);
    RiempiFoglioData(data, *gruppi.insieme, periodo);
    gruppi.Chiudi();
  }
  {
    Gruppi gruppi = per_tipo.get();
    RiempiFoglioTipoCamera(tipo_camera, *gruppi.insieme, *tipi_camere, periodo);
    gruppi.Chiudi();
  }
  {
    Gruppi gruppi = per_agenzia.get();
    RiempiFoglioAgenzia(agenzia, *gruppi.insieme, *tipi_camere, periodo);
    gruppi.Chiudi();
  }
  tipi_camere->Close();
  file_tipi->Close();

  // Only now, with the three workbooks complete, is anything written.
  fs::path destinazione = cartella.empty() ? fs::path(".") : fs::path(cartella);
  fs::create_directories(destinazione, errore);
  if (errore || !fs::is_directory(destinazione)) {
    throw Errore("Impossibile creare la cartella '" + destinazione.string() + "'" +
                 (errore ? ": " + errore.message() : std::string()));
  }
  std::vector<std::string> percorsi;
  for (const Cartella& c : kCartelle) percorsi.push_back((destinazione / c.file).string());
  SalvaTutte(cartelle, percorsi);
  for (excel::Workbook* c : cartelle) c->Close();
  excel.Quit();
  return percorsi;
}

std::string CartellaExcelPredefinita() {
  std::error_code errore;
  fs::path programma = fs::read_symlink("/proc/self/exe", errore);
  fs::path cartella = errore ? fs::current_path(errore) : programma.parent_path();
  return (cartella / "Excel").string();
}

}  // namespace vendrix
