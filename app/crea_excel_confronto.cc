#include "app/crea_excel_confronto.h"

#include <chrono>
#include <filesystem>
#include <future>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "calc/calcolo.h"
#include "data/blocco_cartella.h"
#include "data/cartella_temporanea.h"
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

}  // namespace

std::vector<std::string> CreaExcelConConfronto(Interfaccia& ui, const Richiesta& r,
                                               std::string* senza_confronto) {
  if (senza_confronto != nullptr) senza_confronto->clear();
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

  if (const std::optional<std::string> rifiuto =
          RifiutoPeriodo(anno_precedente.dal, anno_precedente.al)) {
    if (senza_confronto != nullptr) *senza_confronto = *rifiuto;
    return CreaReportExcel(ui, r, AnnoPrecedenteNonDisponibile{*rifiuto});
  }
  // Last year's store lives in a folder of this run that no other user can enter, and goes with
  // it whatever happens.
  std::optional<CartellaTemporanea> temporanea;
  try {
    temporanea.emplace(cartella);
  } catch (const Errore& e) {
    if (senza_confronto != nullptr) *senza_confronto = e.what();
    return CreaReportExcel(ui, r, AnnoPrecedenteNonDisponibile{e.what()});
  }
  const std::string archivio = (temporanea->Percorso() / "anno-precedente.mdb").string();
  // Last year is worked out on a thread of its own while the report reads this year's
  // statistics, which it waits for only to fill last year's figures. That thread may not touch
  // the window: its progress is not shown.
  // Read by this thread only once the calculation's result has been taken from its future.
  int64_t righe_anno_precedente = -1;
  auto calcolo = [anno_precedente, archivio, &righe_anno_precedente]() -> AnnoPrecedente {
    try {
      Silenziosa nessuno;
      righe_anno_precedente = CalcolaStatisticheIn(nessuno, anno_precedente, archivio);
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
  // `esito` goes before `temporanea`: the calculation is over before its store is removed.
  std::vector<std::string> percorsi = CreaReportExcel(ui, r, AnnoPrecedenteInCorso{esito});
  if (senza_confronto != nullptr) {
    const AnnoPrecedente& fatto = esito.get();
    if (const auto* mancante = std::get_if<AnnoPrecedenteNonDisponibile>(&fatto)) {
      *senza_confronto = mancante->motivo;
    } else if (righe_anno_precedente == 0) {
      *senza_confronto = "nessun soggiorno nei file dell'hotel " +
                         TestoPeriodo(anno_precedente.dal, anno_precedente.al) + ".";
    }
  }
  return percorsi;
}

}  // namespace vendrix
