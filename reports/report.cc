// The "C&rea Excel" run: the three report workbooks from the statistics store.

#include "reports/report.h"

#include <filesystem>
#include <functional>
#include <future>
#include <list>
#include <memory>
#include <system_error>

#include "comune/date.h"
#include "comune/errore_sistema.h"
#include "comune/fine_ordinata.h"
#include "comune/nome_hotel.h"
#include "data/archivio.h"
#include "data/blocco_cartella.h"
#include "data/cartella_temporanea.h"
#include "data/dbengine.h"
#include "data/errore.h"
#include "data/tabelle.h"
#include "reports/cartella_lavoro.h"
#include "reports/completa_report.h"
#include "reports/descrizione_fogli.h"
#include "reports/fogli_report.h"
#include "reports/insieme_file.h"
#include "reports/report.h"

namespace vendrix {

namespace {

namespace fs = std::filesystem;

constexpr const char* kTipiCamere =
    "Select * From TipiCamere Where NumeroHotel = 1 and Tipologia = 'C'";

// The first sheet of each workbook, in the order of kFileReport.
const DescrizioneFoglio* const kFogli[] = {&kDescrizioneData, &kDescrizioneTipoCamera,
                                           &kDescrizioneAgenzia};

// A workbook is written as REPORT_x.xlsx.<6 random characters>.nuovo; saving it goes through
// further temporaries whose names begin with that one (Workbook::SaveAs, and the zip library
// when it rewrites the file). So any name of REPORT_x.xlsx. followed by text holding ".nuovo",
// whatever stands between, is a temporary.
constexpr char kSegnoProvvisorio[] = ".nuovo";

constexpr char kRimedioFinestra[] = ": premere \"Calcola\" per il periodo richiesto.";
constexpr char kRimedioBatch[] = ": eseguire prima vendrix-batch calcola per il periodo richiesto.";

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

// A grouped query on a statistics store, opened on a connection of its own.
struct Gruppi {
  std::unique_ptr<Database> vendrix;
  std::vector<std::unique_ptr<Recordset>> insiemi;
  void Chiudi() {
    for (auto& insieme : insiemi) insieme->Close();
    vendrix->Close();
  }
};

Gruppi ApriGruppi(DBEngine& motore, const std::vector<std::string_view>& sql,
                  const std::string& archivio) {
  Gruppi gruppi;
  gruppi.vendrix = motore.OpenDatabase(archivio);
  gruppi.insiemi = gruppi.vendrix->OpenRecordsets(sql);
  return gruppi;
}

// The journal of the workbooks' replacement, beside them (see reports/insieme_file.h).
constexpr char kGiornaleReport[] = ".REPORT.giornale";
// The previous workbooks are kept as REPORT_x.xlsx.<number>.vecchio until the new set is in place.
constexpr char kSegnoVecchio[] = ".vecchio";

// Saves the workbooks under temporary names in their folder, then puts them in place as one
// set: a failure leaves the previous reports as they were, with no half-written file, and a
// killed run leaves a set the next look at the folder makes whole. The caller holds the
// folder's lock (see kFileBloccoExcel).
void SalvaTutte(const std::vector<excel::Workbook*>& cartelle,
                const std::vector<std::string>& percorsi) {
  std::vector<std::string> provvisori;
  std::list<DaRimuovereAllaFine> alla_fine;
  try {
    std::vector<FileDellInsieme> insieme;
    for (size_t i = 0; i < cartelle.size(); ++i) {
      provvisori.push_back(NuovoFileTemporaneo(percorsi[i] + ".", kSegnoProvvisorio, percorsi[i]));
      alla_fine.emplace_back(provvisori.back(), true);
      cartelle[i]->SaveAs(provvisori.back(), percorsi[i]);
      insieme.push_back({fs::path(provvisori.back()).filename().string(),
                         fs::path(percorsi[i]).filename().string()});
    }
    SostituisciInsieme(fs::path(percorsi.front()).parent_path(), kGiornaleReport, insieme);
  } catch (...) {
    for (const std::string& p : provvisori) {
      std::error_code ignorato;
      fs::remove(p, ignorato);
    }
    throw;
  }
}

// Under the workbook folder's lock: a set of workbooks left mixed by a killed run made whole,
// then the temporaries of killed runs removed.
void RiordinaCartellaReport(const fs::path& destinazione) {
  CompletaInsiemeInterrotto(destinazione, kGiornaleReport);
  for (const char* file : kFileReport) {
    RimuoviAvanzi(destinazione, std::string(file) + ".", kSegnoProvvisorio);
    RimuoviAvanzi(destinazione, std::string(file) + ".", kSegnoVecchio);
  }
}

// What the run knows before it reads a statistic.
struct Premesse {
  PeriodoReport periodo;
  fs::path cartella_hotel;  // full path
  std::string vendrix;      // the statistics store
  std::string tipi_soggiorno;
};

PeriodoReport PeriodoDi(Giorno dal, Giorno al) {
  PeriodoReport periodo;
  periodo.giorno_dal = dal;
  periodo.giorno_al = al;
  periodo.dal = TestoData(dal);
  periodo.al = TestoData(al);
  periodo.giorni_periodo = (al - dal).count() + 1;
  return periodo;
}

// The period and the hotel folder of `r`, refused as the run refuses them.
Premesse PreparaPeriodo(const Richiesta& r) {
  if (const std::optional<std::string> rifiuto = RifiutoPeriodo(r.dal, r.al)) {
    throw Errore(*rifiuto);
  }
  Premesse p;
  p.periodo = PeriodoDi(r.dal, r.al);
  p.cartella_hotel = CartellaAlbergo(r.cartella_hotel);
  return p;
}

// The statistics store of `p`, refused when it cannot serve the period of `r`.
void ControllaStatistiche(const Richiesta& r, Premesse& p) {
  std::error_code errore;
  p.vendrix = (p.cartella_hotel / tabelle::kFileVendrix).string();
  if (!fs::is_regular_file(p.vendrix, errore)) {
    throw StatisticheDaCalcolare("Archivio delle statistiche '" + p.vendrix + "' non trovato");
  }

  DBEngine motore(p.cartella_hotel);
  // The statistics of another period would give a workbook of zeros, and sums of that period.
  // A store without the table (made elsewhere) is read as it is.
  const std::optional<PeriodoStatistiche> calcolato = LeggiPeriodo(motore, p.vendrix);
  if (calcolato && (calcolato->dal != r.dal || calcolato->al != r.al)) {
    throw StatisticheDaCalcolare(
        "Le statistiche sono del periodo " + TestoPeriodo(calcolato->dal, calcolato->al) + " (" +
        TestoTipiSoggiorno(calcolato->confermate, calcolato->opzionate, calcolato->clienti) + ")");
  }
  // The summary names the kinds of stay when the store records them.
  if (calcolato) {
    p.tipi_soggiorno =
        TestoTipiSoggiorno(calcolato->confermate, calcolato->opzionate, calcolato->clienti);
  }
}

// Last year's statistics as the report reads them: its day groups open, or why there are none.
struct AnnoPrecedenteLetto {
  std::optional<Gruppi> gruppi;
  PeriodoReport periodo;
  std::string tipi_soggiorno;
  std::string motivo;
};

// Waits for last year's statistics when they are still being worked out, then opens their day
// groups on a connection of their own; what cannot be read is not available, for the reason the
// error gives.
AnnoPrecedenteLetto LeggiAnnoPrecedente(DBEngine& motore, const ConfrontoAnnoPrecedente& dato,
                                        int64_t camere) {
  AnnoPrecedenteLetto letto;
  AnnoPrecedente esito;
  if (const auto* in_corso = std::get_if<AnnoPrecedenteInCorso>(&dato)) {
    esito = in_corso->esito.get();
  } else if (const auto* statistiche = std::get_if<StatisticheAnnoPrecedente>(&dato)) {
    esito = *statistiche;
  } else if (const auto* mancante = std::get_if<AnnoPrecedenteNonDisponibile>(&dato)) {
    esito = *mancante;
  }
  if (const auto* mancante = std::get_if<AnnoPrecedenteNonDisponibile>(&esito)) {
    letto.motivo = mancante->motivo;
    return letto;
  }
  const StatisticheAnnoPrecedente& statistiche = std::get<StatisticheAnnoPrecedente>(esito);
  try {
    if (statistiche.dal > statistiche.al) {
      throw Errore(MessaggioPeriodoInvertito(statistiche.dal, statistiche.al));
    }
    std::error_code errore;
    const std::string archivio = fs::absolute(statistiche.archivio, errore).string();
    if (errore || !fs::is_regular_file(archivio, errore)) {
      throw Errore("archivio delle statistiche '" + statistiche.archivio.string() +
                   "' non trovato.");
    }
    const std::optional<PeriodoStatistiche> calcolato = LeggiPeriodo(motore, archivio);
    if (!calcolato || calcolato->dal != statistiche.dal || calcolato->al != statistiche.al) {
      throw Errore("le statistiche dell'anno precedente non sono del periodo " +
                   TestoPeriodo(statistiche.dal, statistiche.al) + ".");
    }
    letto.periodo = PeriodoDi(statistiche.dal, statistiche.al);
    letto.periodo.totale_camere = camere;
    letto.tipi_soggiorno =
        TestoTipiSoggiorno(calcolato->confermate, calcolato->opzionate, calcolato->clienti);
    letto.gruppi = ApriGruppi(motore, {kGruppiPerGiorno, kCamereAgenziaPerGiorno}, archivio);
  } catch (const Errore& e) {
    letto.gruppi.reset();
    letto.motivo = e.what();
  }
  return letto;
}

// Starts reading last year's statistics on a thread of its own; where no thread can be had, they
// are read when asked for.
std::future<AnnoPrecedenteLetto> AvviaLettura(DBEngine& motore,
                                              const ConfrontoAnnoPrecedente& anno_precedente,
                                              int64_t camere) {
  try {
    return std::async(std::launch::async, LeggiAnnoPrecedente, std::ref(motore),
                      std::cref(anno_precedente), camere);
  } catch (const std::system_error&) {
    return std::async(std::launch::deferred, LeggiAnnoPrecedente, std::ref(motore),
                      std::cref(anno_precedente), camere);
  }
}

// Fills the first sheet of the three workbooks from the store `vendrix` and finishes the
// room-type and the agency workbook. The three grouped queries are most of the run: the engine
// works them out together, reading the statistics once.
void RiempiCartelle(DBEngine& motore, const std::string& vendrix,
                    const std::vector<excel::Workbook*>& cartelle, Recordset& tipi_camere,
                    PeriodoReport& periodo) {
  std::unique_ptr<Database> statistiche = motore.OpenDatabase(vendrix);
  std::vector<std::unique_ptr<Recordset>> gruppi = statistiche->OpenRecordsets(
      {kGruppiPerGiorno, kCamereAgenziaPerGiorno, kGruppiPerTipo, kGruppiPerAgenzia});
  periodo.notti = RiempiFoglioData(cartelle[0]->Sheets(1), *gruppi[0], *gruppi[1], periodo);
  RiempiFoglioTipoCamera(cartelle[1]->Sheets(1), *gruppi[2], tipi_camere, periodo);
  // Its groups by room type and agency cover every statistics row: what the agency sheet
  // leaves out is summed from them.
  const SommeSenzaAgenzia senza_agenzia = SommaSenzaAgenzia(*gruppi[2]);
  CompletaReportTipoCamera(*cartelle[1], periodo);
  RiempiFoglioAgenzia(cartelle[2]->Sheets(1), *gruppi[3], tipi_camere, periodo);
  CompletaReportAgenzia(*cartelle[2], periodo, senza_agenzia);
  for (auto& g : gruppi) g->Close();
  statistiche->Close();
}

// Finishes the daily workbook, with last year beside it when `letto` is being read.
void CompletaConConfronto(excel::Workbook& cartella, const PeriodoReport& periodo,
                          const std::string& tipi_soggiorno,
                          std::future<AnnoPrecedenteLetto>& letto) {
  ConfrontoReport confronto;
  AnnoPrecedenteLetto ap;
  if (letto.valid()) {
    ap = letto.get();
    confronto.chiesto = true;
    confronto.gruppi = ap.gruppi ? ap.gruppi->insiemi[0].get() : nullptr;
    confronto.camere_agenzia = ap.gruppi ? ap.gruppi->insiemi[1].get() : nullptr;
    confronto.periodo = ap.periodo;
    confronto.tipi_soggiorno = ap.tipi_soggiorno;
    confronto.motivo = ap.motivo;
  }
  CompletaReportData(cartella, periodo, tipi_soggiorno, confronto);
  if (ap.gruppi) ap.gruppi->Chiudi();
}

// Saves the workbooks into `destinazione` (created when missing) under the folder's lock, as one
// set. Returns their paths.
std::vector<std::string> SalvaNellaCartella(const std::vector<excel::Workbook*>& cartelle,
                                            const fs::path& destinazione) {
  std::error_code errore;
  fs::create_directories(destinazione, errore);
  if (errore || !fs::is_directory(destinazione)) {
    throw Errore("Impossibile creare la cartella '" + destinazione.string() + "'" +
                 (errore ? ": " + TestoErroreSistema(errore) : std::string()) + ".");
  }
  const BloccoCartella blocco_excel(destinazione, kFileBloccoExcel,
                                    BloccoCartella::Modo::kEsclusivo,
                                    "Altri fogli Excel sono in scrittura nella cartella " +
                                        destinazione.string() + ": riprovare al termine.");
  RiordinaCartellaReport(destinazione);
  std::vector<std::string> percorsi;
  for (const char* file : kFileReport) percorsi.push_back((destinazione / file).string());
  SalvaTutte(cartelle, percorsi);
  return percorsi;
}

}  // namespace

StatisticheDaCalcolare::StatisticheDaCalcolare(const std::string& motivo)
    : Errore(motivo + kRimedioFinestra), motivo_(motivo) {}

std::string StatisticheDaCalcolare::TestoSenzaFinestra() const { return motivo_ + kRimedioBatch; }

void CompletaReportInterrotti(const fs::path& cartella) {
  try {
    const BloccoCartella blocco_excel(cartella, kFileBloccoExcel, BloccoCartella::Modo::kEsclusivo);
    RiordinaCartellaReport(cartella);
  } catch (const Errore&) {
    // Another run writes there now (it will make the set whole), or nothing can be written.
  }
}

void ControllaReportExcel(const Richiesta& r) {
  Premesse premesse = PreparaPeriodo(r);
  ControllaStatistiche(r, premesse);
}

std::vector<std::string> CreaReportExcel(Interfaccia& /*ui*/, const Richiesta& r,
                                         const ConfrontoAnnoPrecedente& anno_precedente) {
  Premesse premesse = PreparaPeriodo(r);
  // Held to the end of the run: a calculation never replaces the store while it is read.
  const BloccoCartella blocco(premesse.cartella_hotel, kFileBloccoAlbergo,
                              BloccoCartella::Modo::kCondiviso);
  ControllaStatistiche(r, premesse);
  RimuoviTemporaneiAbbandonati();
  RimuoviTemporaneiAbbandonati(premesse.cartella_hotel);
  PeriodoReport& periodo = premesse.periodo;
  DBEngine motore(premesse.cartella_hotel);

  excel::Application excel;
  std::vector<excel::Workbook*> cartelle;
  for (const DescrizioneFoglio* foglio : kFogli) {
    excel::Workbook& nuova = excel.Workbooks().Add();
    nuova.Sheets(1).SetName(foglio->nome);
    ScriviIntestazioni(nuova.Sheets(1), *foglio);
    cartelle.push_back(&nuova);
  }
  periodo.totale_camere = ContaCamere(motore);
  periodo.hotel = NomeHotel(premesse.cartella_hotel);
  periodo.tipi_soggiorno = premesse.tipi_soggiorno;
  periodo.creato_il = OraLocale("%d/%m/%Y %H:%M");
  auto file_tipi = motore.OpenDatabase(tabelle::kFileTipiCamere);
  auto tipi_camere = file_tipi->OpenRecordset(kTipiCamere);

  // Last year, when asked, is read on a thread of its own, after waiting for it when it is still
  // being worked out elsewhere.
  std::future<AnnoPrecedenteLetto> anno_precedente_letto;
  if (!std::holds_alternative<std::monostate>(anno_precedente)) {
    anno_precedente_letto = AvviaLettura(motore, anno_precedente, periodo.totale_camere);
  }
  RiempiCartelle(motore, premesse.vendrix, cartelle, *tipi_camere, periodo);
  // The daily workbook is finished last, when last year, which may still be being worked out,
  // is most likely there.
  CompletaConConfronto(*cartelle[0], periodo, premesse.tipi_soggiorno, anno_precedente_letto);
  tipi_camere->Close();
  file_tipi->Close();

  // Only now, with the three workbooks complete, is anything written: into the workbook folder,
  // taken as it is when absolute.
  std::vector<std::string> percorsi =
      SalvaNellaCartella(cartelle, premesse.cartella_hotel / r.cartella_excel);
  for (excel::Workbook* c : cartelle) c->Close();
  excel.Quit();
  return percorsi;
}

}  // namespace vendrix
