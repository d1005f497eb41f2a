#include "calc/calcolo.h"

#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "calc/contesto.h"
#include "calc/date.h"
#include "calc/giorni.h"
#include "calc/linea_stato.h"
#include "calc/passi_in_parallelo.h"
#include "calc/pulizia.h"
#include "data/archivio.h"
#include "data/errore.h"
#include "data/tabelle.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vendrix {

namespace fs = std::filesystem;

namespace {

// The new statistics are written here, beside Vendrix.mdb, and take its place at the very end.
const std::string kSuffissoNuovo = ".nuovo";
// Files the database library may leave beside a database interrupted mid-write. A leftover one
// beside a fresh file of the same name would be taken for that file's own, so they go too.
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
  std::error_code errore;
  fs::rename(nuovo, finale, errore);
  if (errore) {
    throw Errore("Impossibile sostituire " + finale + " con i nuovi dati (" + errore.message() +
                 "). Chiudere i programmi che lo usano e ripetere il calcolo.");
  }
  fs::path cartella = fs::absolute(fs::path(finale), errore).parent_path();
  if (!errore) Sincronizza(cartella.string(), true);
}

Periodo FaiPeriodo(const std::string& dal, const std::string& al) {
  Periodo periodo;
  periodo.dal = dal;
  periodo.al = al;
  periodo.giorno_dal = NumeroGiorno(dal);
  periodo.giorno_al = NumeroGiorno(al);
  periodo.chiave_dal = DataAMG(dal);
  periodo.chiave_al = DataAMG(al);
  return periodo;
}

// The booking types that the two booking check boxes select; empty: no booking is read.
std::string CondizioneTipo(int confermate, int opzionate) {
  if (confermate == 1 && opzionate == 1) {
    return "(TipoPrenotazione = 'C' or TipoPrenotazione = 'D' or TipoPrenotazione = 'O')";
  }
  if (confermate == 1) return "(TipoPrenotazione = 'C' or TipoPrenotazione = 'D')";
  if (opzionate == 1) return "(TipoPrenotazione = 'O')";
  return {};
}

}  // namespace

void CalcolaStatistiche(Interfaccia& ui, const std::string& dataDal, const std::string& dataAl) {
  // The period is checked before anything is touched: a date that is not a date would otherwise
  // select nothing and replace the statistics with an empty table.
  Periodo periodo = FaiPeriodo(dataDal, dataAl);
  const int confermate = ui.Chk(0), opzionate = ui.Chk(1), clienti = ui.Chk(2);
  const std::string condizione = CondizioneTipo(confermate, opzionate);

  const std::string finale = tabelle::kFileVendrix;
  const std::string nuovo = finale + kSuffissoNuovo;
  LineaStato linea(ui);
  int64_t ignorati = 0;
  try {
    RimuoviTemporaneo(nuovo);
    std::error_code errore;
    if (fs::exists(nuovo, errore) || errore) {
      throw Errore("Impossibile eliminare il file " + nuovo +
                   " rimasto da un calcolo precedente: eliminarlo e ripetere il calcolo.");
    }
    DBEngine motore;
    // The new file counts only once it is synced and renamed into place (SostituisciFile); until
    // then nothing in it needs to survive a crash.
    motore.FileDiLavoro(nuovo);
    CreaArchivio(motore, nuovo);
    {
      ContestoCalcolo contesto(motore, nuovo, linea, std::move(periodo));
      const SorgenteOspiti in_casa = SorgenteClientiInCasa(contesto.periodo);
      const SorgenteOspiti storico = SorgenteStoricoClienti(contesto.periodo);
      // The passes work on threads of their own, the bookings pass on one and the two guest
      // passes on another, while this thread stores their rows: the bookings rows, then the
      // guests' rows, as if the passes had run here one after the other.
      std::optional<PassiInParallelo> prenotazioni, ospiti;
      if (!condizione.empty()) {
        prenotazioni.emplace(motore, contesto.periodo, [condizione](AmbitoPasso& ambito) {
          PassoPrenotazioni(ambito, condizione);
        });
      }
      if (clienti == 1) {
        ospiti.emplace(motore, contesto.periodo, [in_casa, storico](AmbitoPasso& ambito) {
          PassoClientiInCasa(ambito, in_casa);
          PassoStoricoClienti(ambito, storico);
        });
      }
      if (prenotazioni) ignorati += prenotazioni->Scrivi(contesto);
      if (ospiti) ignorati += ospiti->Scrivi(contesto);
      prenotazioni.reset();
      ospiti.reset();
      contesto.Chiudi();
    }
    PulisciAgenzie(motore, nuovo, linea);
    SostituisciFile(nuovo, finale);
  } catch (...) {
    linea.Fine();
    RimuoviTemporaneo(nuovo);
    throw;
  }
  linea.Fine();

  std::string messaggio = "Creazione dati completata!\r\nOra si possono generare i fogli Excel";
  if (ignorati > 0) {
    messaggio += "\r\nSoggiorni ignorati per date non valide: " + std::to_string(ignorati);
  }
  ui.MsgBox(messaggio, "Statistiche");
}

}  // namespace vendrix
