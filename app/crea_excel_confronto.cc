#include "app/crea_excel_confronto.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
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

// Passes everything on, the status texts with the prefix that says they are last year's.
class InterfacciaAnnoPrecedente : public Interfaccia {
 public:
  explicit InterfacciaAnnoPrecedente(Interfaccia& ui) : ui_(ui) {}
  void ImpostaStato(const std::string& testo) override {
    ui_.ImpostaStato(kPrefissoAnnoPrecedente + testo);
  }
  void MsgBox(const std::string& testo, const std::string& titolo) override {
    ui_.MsgBox(testo, titolo);
  }

 private:
  Interfaccia& ui_;
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

  ConfrontoAnnoPrecedente confronto;
  if (file->Percorso().empty()) {
    confronto = AnnoPrecedenteNonDisponibile{
        "impossibile creare un file temporaneo (" + TestoErroreSistema(file->Problema()) + ")."};
  } else {
    try {
      InterfacciaAnnoPrecedente stato(ui);
      CalcolaStatisticheIn(stato, anno_precedente, file->Percorso());
      confronto = StatisticheAnnoPrecedente{file->Percorso(), anno_precedente.dal,
                                            anno_precedente.al};
    } catch (const Errore& e) {
      confronto = AnnoPrecedenteNonDisponibile{e.what()};
    }
  }
  // Last year's texts on the status line are over.
  ui.ImpostaStato("Scrittura dei fogli Excel");
  return CreaReportExcel(ui, r, confronto);
}

}  // namespace vendrix
