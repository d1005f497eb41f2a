#include "calc/calcolo.h"

#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "calc/contesto.h"
#include "calc/linea_stato.h"
#include "calc/passi_in_parallelo.h"
#include "calc/pulizia.h"
#include "comune/date.h"
#include "comune/errore_sistema.h"
#include "comune/fine_ordinata.h"
#include "comune/versione.h"
#include "data/archivio.h"
#include "data/blocco_cartella.h"
#include "data/cartella_temporanea.h"
#include "data/errore.h"
#include "data/tabelle.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vendrix {

namespace fs = std::filesystem;

namespace {

// The new statistics are written beside Vendrix.mdb, in a file of a unique name that begins with
// "Vendrix.mdb.nuovo.", which takes the place of Vendrix.mdb at the very end.
const std::string kSuffissoNuovo = ".nuovo";
// Files the database library may leave beside a database interrupted mid-write: their names
// begin with the database's name, so removing what begins with the temporary's name takes them.
const char* const kSuffissiCompagni[] = {"", "-journal", "-wal", "-shm"};

void RimuoviTemporaneo(const std::string& percorso) noexcept {
  for (const char* suffisso : kSuffissiCompagni) {
    std::error_code errore;
    fs::remove(percorso + suffisso, errore);
  }
}

// Makes the file's contents durable before it is renamed into place (a rename can otherwise
// reach the disk before the data). Best effort on folders: not every file system allows it.
void Sincronizza(const std::string& percorso, bool cartella) {
#ifndef _WIN32
  const int fd = ::open(percorso.c_str(), cartella ? O_RDONLY | O_DIRECTORY : O_RDONLY);
  if (fd < 0) {
    if (cartella) return;
    throw Errore("Impossibile aprire " + percorso + " per salvarlo su disco.");
  }
  const int esito = ::fsync(fd);
  ::close(fd);
  if (esito != 0 && !cartella) {
    throw Errore("Impossibile salvare su disco " + percorso +
                 ": spazio esaurito o errore di "
                 "scrittura.");
  }
#else
  (void)percorso;
  (void)cartella;
#endif
}

void SostituisciFile(const std::string& nuovo, const std::string& finale) {
  Sincronizza(nuovo, false);
  const SostituzioneInCorso sostituzione;
  std::error_code errore;
  fs::rename(nuovo, finale, errore);
  if (errore) {
    throw Errore("Impossibile sostituire " + finale + " con i nuovi dati (" +
                 TestoErroreSistema(errore) +
                 "). Chiudere i programmi che lo usano e ripetere il calcolo.");
  }
  fs::path cartella = fs::absolute(fs::path(finale), errore).parent_path();
  if (!errore) Sincronizza(cartella.string(), true);
}

Periodo FaiPeriodo(const Richiesta& r) {
  Periodo periodo;
  periodo.giorno_dal = r.dal;
  periodo.giorno_al = r.al;
  periodo.chiave_dal = ChiaveData(r.dal);
  periodo.chiave_al = ChiaveData(r.al);
  return periodo;
}

// The booking types that the two booking check boxes select; empty: no booking is read.
std::string CondizioneTipo(bool confermate, bool opzionate) {
  if (confermate && opzionate) {
    return "(TipoPrenotazione = 'C' or TipoPrenotazione = 'D' or TipoPrenotazione = 'O')";
  }
  if (confermate) return "(TipoPrenotazione = 'C' or TipoPrenotazione = 'D')";
  if (opzionate) return "(TipoPrenotazione = 'O')";
  return {};
}

// Refuses, before anything is touched, what would only replace the statistics with an empty
// table (a reversed period or no kind of stay) or fill the disk (a period too long for any
// report); returns the hotel folder as a full path, by which every file of the run is named
// whatever the current folder.
fs::path CartellaDelCalcolo(const Richiesta& r) {
  if (const std::optional<std::string> rifiuto = RifiutoPeriodo(r.dal, r.al)) {
    throw Errore(*rifiuto);
  }
  if (!r.confermate && !r.opzionate && !r.clienti) throw Errore(kNessunTipoSoggiorno);
  return CartellaAlbergo(r.cartella_hotel);
}

struct EsitoCalcolo {
  int64_t righe = 0;
  int64_t ignorati = 0;  // stays skipped for dates that are no calendar day
};

// How the agency clean-up is done: in a pass of its own over the stored table, with its
// progress on the status line, or as each row is stored, which gives the same table without
// reading it back but shows no progress of its own.
enum class Pulizia { kPassoProprio, kInScrittura };

// Builds the statistics of `r` into the store `nuovo`, a file that must not exist yet: the
// passes, the agency clean-up and table Periodo. The store counts only once its owner has synced
// it or put it to its use; on failure it may be left half-written.
EsitoCalcolo CostruisciArchivio(const fs::path& cartella, const std::string& nuovo,
                                LineaStato& linea, const Richiesta& r, Pulizia pulizia,
                                bool con_storico = true) {
  const bool clienti = r.clienti;
  const std::string condizione = CondizioneTipo(r.confermate, r.opzionate);
  EsitoCalcolo esito;
  DBEngine motore(cartella);
  // Nothing in the new file needs to survive a crash until its owner has put it to its use.
  motore.FileDiLavoro(nuovo);
  CreaArchivio(motore, nuovo);
  {
    ContestoCalcolo contesto(motore, nuovo, linea, FaiPeriodo(r));
    if (pulizia == Pulizia::kInScrittura) {
      contesto.filtri_agenzia = LeggiFiltri((motore.Cartella() / tabelle::kFileFiltro).string());
    }
    const SorgenteOspiti in_casa = SorgenteClientiInCasa(contesto.periodo);
    const SorgenteOspiti storico = SorgenteStoricoClienti(contesto.periodo, r.cartella_storico);
    // Each pass works on a thread of its own while this thread stores their rows: the bookings
    // rows, then the in-house guests' rows, then the history's, as if the passes had run here
    // one after the other. The history pass reads its files while the in-house guests are still
    // being walked, which is most of a period whose guests are not archived yet.
    std::optional<PassiInParallelo> prenotazioni, ospiti_in_casa, ospiti_storico;
    if (!condizione.empty()) {
      prenotazioni.emplace(motore, contesto.periodo, [condizione](AmbitoPasso& ambito) {
        PassoPrenotazioni(ambito, condizione);
      });
    }
    if (clienti) {
      ospiti_in_casa.emplace(motore, contesto.periodo, [in_casa](AmbitoPasso& ambito) {
        PassoClientiInCasa(ambito, in_casa);
      });
      if (con_storico) {
        ospiti_storico.emplace(motore, contesto.periodo, [storico](AmbitoPasso& ambito) {
          PassoStoricoClienti(ambito, storico);
        });
      }
    }
    for (std::optional<PassiInParallelo>* passi :
         {&prenotazioni, &ospiti_in_casa, &ospiti_storico}) {
      if (*passi) esito.ignorati += (*passi)->Scrivi(contesto);
    }
    prenotazioni.reset();
    ospiti_in_casa.reset();
    ospiti_storico.reset();
    // A store whose sums the report cannot make is no use: the previous one stays.
    contesto.ControllaSomme();
    contesto.Chiudi();
    esito.righe = contesto.righe_scritte;
  }
  if (pulizia == Pulizia::kPassoProprio) PulisciAgenzie(motore, nuovo, linea);
  PeriodoStatistiche registro;
  registro.dal = r.dal;
  registro.al = r.al;
  registro.confermate = r.confermate;
  registro.opzionate = r.opzionate;
  registro.clienti = r.clienti;
  registro.creato_il = OraLocale("%Y-%m-%d %H:%M:%S");  // as the store records it
  registro.versione = kVersione;
  ScriviPeriodo(motore, nuovo, registro);
  return esito;
}

// The completion message of a run that found no stay: an empty store is no result to make
// workbooks of. It names the kind of stay that holds the nights the period asks about: stays
// that have taken place are kept as guest cards, not as bookings.
std::string MessaggioNessunSoggiorno(const Richiesta& r) {
  std::string messaggio = "Nessun soggiorno trovato: 0 righe di statistiche.\r\nPeriodo " +
                          TestoPeriodo(r.dal, r.al) + ", " + TestoTipiSoggiorno(r) + ".\r\n";
  if (!r.clienti) {
    messaggio +=
        "I soggiorni già avvenuti sono tra i clienti: per i giorni passati, «Clienti in casa + "
        "storico».";
  } else if (!r.confermate) {
    messaggio +=
        "I soggiorni ancora da venire sono tra le prenotazioni: per i giorni futuri, "
        "«Prenotazioni confermate».";
  } else {
    messaggio +=
        "Nei file dell'hotel non c'è nessun soggiorno in questi giorni: controllare il "
        "periodo.";
  }
  return messaggio;
}

}  // namespace

void CalcolaStatistiche(Interfaccia& ui, const Richiesta& r, const std::function<void()>& dopo) {
  const fs::path cartella = CartellaDelCalcolo(r);
  // Held to the end of the run: no other calculation replaces the store meanwhile and no report
  // reads a store that is being replaced.
  const BloccoCartella blocco(cartella, kFileBloccoAlbergo, BloccoCartella::Modo::kEsclusivo);
  const std::string finale = (cartella / tabelle::kFileVendrix).string();
  // With the lock held no other run is writing here: whatever temporary is left was a killed
  // run's (or that of a version that used one fixed name).
  RimuoviAvanzi(cartella, tabelle::kFileVendrix + kSuffissoNuovo);
  RimuoviTemporaneiAbbandonati();
  RimuoviTemporaneiAbbandonati(cartella);
  // The name is reserved, then its empty file removed for CreaArchivio to create the store
  // there; under the lock nothing else takes it meanwhile.
  const std::string nuovo = NuovoFileTemporaneo(finale + kSuffissoNuovo + ".");
  RimuoviTemporaneo(nuovo);
  const DaRimuovereAllaFine alla_fine(nuovo, true);
  LineaStato linea(ui);
  EsitoCalcolo esito;
  try {
    esito = CostruisciArchivio(cartella, nuovo, linea, r, Pulizia::kPassoProprio);
    SostituisciFile(nuovo, finale);
  } catch (const Errore& e) {
    linea.Fine();
    RimuoviTemporaneo(nuovo);
    // The user knows the store by its own name, not by that of the file it was built in.
    std::string messaggio = e.what();
    for (size_t da = messaggio.find(nuovo); da != std::string::npos;
         da = messaggio.find(nuovo, da)) {
      messaggio.replace(da, nuovo.size(), finale);
    }
    throw Errore(messaggio);
  } catch (...) {
    linea.Fine();
    RimuoviTemporaneo(nuovo);
    throw;
  }
  linea.Fine();
  if (dopo) dopo();

  const int64_t righe = esito.righe;
  std::string messaggio;
  if (righe == 0) {
    messaggio = MessaggioNessunSoggiorno(r);
  } else {
    messaggio = "Creazione dati completata!\r\nOra si possono generare i fogli Excel";
    messaggio += "\r\nPeriodo " + TestoPeriodo(r.dal, r.al) + ", " + TestoTipiSoggiorno(r) + ": " +
                 std::to_string(righe) + (righe == 1 ? " riga" : " righe") + " di statistiche.";
  }
  if (esito.ignorati > 0) {
    messaggio += "\r\nSoggiorni ignorati per date non valide: " + std::to_string(esito.ignorati);
  }
  ui.MsgBox(messaggio, "Statistiche");
}

int64_t CalcolaStatisticheIn(Interfaccia& ui, const Richiesta& r, const fs::path& archivio,
                             bool storico) {
  const fs::path cartella = CartellaDelCalcolo(r);
  std::error_code errore;
  const std::string percorso = fs::absolute(archivio, errore).string();
  if (errore) {
    throw Errore("Percorso delle statistiche non valido: " + archivio.string() + " (" +
                 TestoErroreSistema(errore) + ").");
  }
  LineaStato linea(ui);
  EsitoCalcolo esito;
  try {
    // Whatever is there goes, companions included: the store is built from nothing.
    RimuoviTemporaneo(percorso);
    if (fs::exists(percorso, errore) || errore) {
      throw Errore("Impossibile eliminare il file " + percorso + ": eliminarlo e riprovare.");
    }
    // Nobody watches this run's progress: the clean-up is done as rows are stored.
    esito = CostruisciArchivio(cartella, percorso, linea, r, Pulizia::kInScrittura, storico);
  } catch (...) {
    linea.Fine();
    RimuoviTemporaneo(percorso);
    throw;
  }
  linea.Fine();
  return esito.righe;
}

}  // namespace vendrix
