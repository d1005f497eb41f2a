#include "app/crea_excel_confronto.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <future>
#include <optional>
#include <system_error>

#include "calc/calcolo.h"
#include "comune/errore_sistema.h"
#include "data/errore.h"
#include "reports/report.h"

namespace vendrix {

namespace {

namespace fs = std::filesystem;
using std::chrono::year_month_day;

// The status line of a run that may not reach the user.
class Silenziosa : public Interfaccia {
 public:
  void ImpostaStato(const std::string&) override {}
  void MsgBox(const std::string&, const std::string&) override {}
};

// A file of a name no other file has, created empty in `cartella`; its name is held until
// the object goes, which removes it with whatever the database library left beside it.
class FileTemporaneo {
 public:
  // Empty when no file could be created there.
  explicit FileTemporaneo(const fs::path& cartella) {
    std::string modello = (cartella / "vendrix-anno-precedente-XXXXXX").string();
    const int fd = ::mkstemp(modello.data());
    if (fd < 0) {
      errore_ = std::error_code(errno, std::generic_category());
      return;
    }
    ::close(fd);
    percorso_ = modello;
  }
  ~FileTemporaneo() {
    if (percorso_.empty()) return;
    for (const char* suffisso : {"", "-journal", "-wal", "-shm"}) {
      std::error_code ignorato;
      fs::remove(percorso_ + suffisso, ignorato);
    }
  }
  FileTemporaneo(const FileTemporaneo&) = delete;
  FileTemporaneo& operator=(const FileTemporaneo&) = delete;

  const std::string& Percorso() const { return percorso_; }
  const std::error_code& Problema() const { return errore_; }

 private:
  std::string percorso_;
  std::error_code errore_;
};

}  // namespace

Giorno UnAnnoPrima(Giorno giorno) {
  const year_month_day data(giorno);
  year_month_day prima = data - std::chrono::years(1);
  if (!prima.ok()) prima = prima.year() / prima.month() / std::chrono::last;
  return Giorno(prima);
}

std::vector<std::string> CreaExcelConConfronto(Interfaccia& ui, const Richiesta& r) {
  // A report that cannot be made is refused before last year is worked out for nothing.
  ControllaReportExcel(r);

  Richiesta anno_precedente = r;
  anno_precedente.dal = UnAnnoPrima(r.dal);
  anno_precedente.al = UnAnnoPrima(r.al);
  // Last year's actual stays: confirmed bookings, and the guests of the cards and the history.
  anno_precedente.confermate = true;
  anno_precedente.opzionate = false;
  anno_precedente.clienti = true;

  std::error_code errore;
  fs::path temporanea = fs::temp_directory_path(errore);
  std::optional<FileTemporaneo> file;
  if (!errore) file.emplace(temporanea);
  if (!file || file->Percorso().empty()) file.emplace(fs::absolute(r.cartella_hotel, errore));

  if (file->Percorso().empty()) {
    return CreaReportExcel(
        ui, r,
        AnnoPrecedenteNonDisponibile{"impossibile creare un file temporaneo (" +
                                     TestoErroreSistema(file->Problema()) + ")."});
  }
  const std::string archivio = file->Percorso();
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
  // `esito` goes before `file`: the calculation is over before its store is removed.
  return CreaReportExcel(ui, r, AnnoPrecedenteInCorso{esito});
}

}  // namespace vendrix
