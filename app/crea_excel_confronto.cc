#include "app/crea_excel_confronto.h"

#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <system_error>
#include <utility>

#include "calc/calcolo.h"
#include "data/blocco_cartella.h"
#include "data/errore.h"
#include "reports/report.h"

namespace vendrix {

namespace {

namespace fs = std::filesystem;

// The status line of a run that may not reach the user.
class Silenziosa : public Interfaccia {
 public:
  void ImpostaStato(const std::string&) override {}
  void MsgBox(const std::string&, const std::string&) override {}
};

// Removes, when it goes, the file at `percorso` with whatever the database library left beside it.
class Rimozione {
 public:
  explicit Rimozione(std::string percorso) : percorso_(std::move(percorso)) {}
  ~Rimozione() {
    for (const char* suffisso : {"", "-journal", "-wal", "-shm"}) {
      std::error_code ignorato;
      fs::remove(percorso_ + suffisso, ignorato);
    }
  }
  Rimozione(const Rimozione&) = delete;
  Rimozione& operator=(const Rimozione&) = delete;

 private:
  std::string percorso_;
};

// A new empty file of a name no other file has, for last year's store: in the system's
// temporary folder, else in the hotel folder. Throws Errore when neither will do.
std::string FileAnnoPrecedente(const fs::path& cartella_hotel) {
  constexpr char kNome[] = "vendrix-anno-precedente-";
  std::error_code errore;
  const fs::path temporanea = fs::temp_directory_path(errore);
  if (!errore) {
    try {
      return NuovoFileTemporaneo((temporanea / kNome).string(), ".mdb");
    } catch (const Errore&) {
      // The hotel folder is tried next.
    }
  }
  return NuovoFileTemporaneo((cartella_hotel / kNome).string(), ".mdb");
}

}  // namespace

std::vector<std::string> CreaExcelConConfronto(Interfaccia& ui, const Richiesta& r) {
  const fs::path cartella = CartellaAlbergo(r.cartella_hotel);
  // Held, as the report holds it, from before last year is worked out: a calculation under way
  // refuses the run at once, and none starts before the report has read what it needs.
  const BloccoCartella blocco(cartella, kFileBloccoAlbergo, BloccoCartella::Modo::kCondiviso);
  // A report that cannot be made is refused before last year is worked out for nothing.
  ControllaReportExcel(r);

  Richiesta anno_precedente = r;
  anno_precedente.cartella_hotel = cartella;
  anno_precedente.dal = UnAnnoPrima(r.dal);
  anno_precedente.al = UnAnnoPrima(r.al);
  // Last year's actual stays: confirmed bookings, and the guests of the cards and the history.
  anno_precedente.confermate = true;
  anno_precedente.opzionate = false;
  anno_precedente.clienti = true;

  std::string archivio;
  try {
    archivio = FileAnnoPrecedente(cartella);
  } catch (const Errore& e) {
    return CreaReportExcel(ui, r, AnnoPrecedenteNonDisponibile{e.what()});
  }
  const Rimozione rimozione(archivio);
  // Last year is worked out on a thread of its own while the report reads this year's
  // statistics, which it waits for only to fill last year's figures. That thread may not touch
  // the window: its progress is not shown.
  auto calcolo = [anno_precedente, archivio]() -> AnnoPrecedente {
    try {
      Silenziosa nessuno;
      CalcolaStatisticheIn(nessuno, anno_precedente, archivio);
      return StatisticheAnnoPrecedente{archivio, anno_precedente.dal, anno_precedente.al};
    } catch (const Errore& e) {
      return AnnoPrecedenteNonDisponibile{e.what()};
    }
  };
  ui.ImpostaStato(kStatoConfronto);
  std::shared_future<AnnoPrecedente> esito;
  try {
    esito = std::async(std::launch::async, calcolo).share();
  } catch (const std::system_error&) {
    // No thread to be had: one after the other.
    std::promise<AnnoPrecedente> subito;
    subito.set_value(calcolo());
    esito = subito.get_future().share();
  }
  // `esito` goes before `rimozione`: the calculation is over before its store is removed.
  return CreaReportExcel(ui, r, AnnoPrecedenteInCorso{esito});
}

}  // namespace vendrix
