#ifndef VENDRIX_REPORTS_REPORT_H_
#define VENDRIX_REPORTS_REPORT_H_

#include <filesystem>
#include <future>
#include <string>
#include <variant>
#include <vector>

#include "comune/date.h"
#include "comune/interfaccia.h"
#include "comune/richiesta.h"
#include "data/errore.h"

namespace vendrix {

// The file names of the three workbooks, in the order the run writes them.
inline constexpr const char* kFileReport[] = {"REPORT_DATA.xlsx", "REPORT_TIPOCAMERA.xlsx",
                                              "REPORT_AGENZIA.xlsx"};

// The workbooks' own lock file in the folder they are written to. The run holds it exclusive
// while it writes them: two runs writing into one folder (two hotels may share it) would mix
// their workbooks. It also proves the workbooks' temporaries stale: they are only ever created
// under it, so any the run finds there while holding it belongs to a run that has ended
// without removing it (it was killed).
inline constexpr char kFileBloccoExcel[] = ".REPORT.lock";

// Last year's statistics, worked out by whoever starts the report run: a statistics store of
// the period `dal`..`al`, which the run only reads.
struct StatisticheAnnoPrecedente {
  std::filesystem::path archivio;
  Giorno dal, al;
};

// Last year's statistics could not be worked out; `motivo` says why, in words for the user.
struct AnnoPrecedenteNonDisponibile {
  std::string motivo;
};

// What becomes of last year: its statistics, or why there are none.
using AnnoPrecedente = std::variant<StatisticheAnnoPrecedente, AnnoPrecedenteNonDisponibile>;

// Last year still being worked out elsewhere while the report run reads this year's statistics;
// the run waits for it only when it needs it.
struct AnnoPrecedenteInCorso {
  std::shared_future<AnnoPrecedente> esito;
};

// What the report run is given of last year: nothing (the workbooks without comparison), its
// statistics, why there are none, or the promise of one of the two.
using ConfrontoAnnoPrecedente = std::variant<std::monostate, StatisticheAnnoPrecedente,
                                             AnnoPrecedenteNonDisponibile, AnnoPrecedenteInCorso>;

// The "C&rea Excel" run: reads the statistics from Vendrix.mdb and the room types from
// TipiCamere.mdb in r.cartella_hotel, and writes the three workbooks of kFileReport into
// r.cartella_excel (taken inside r.cartella_hotel when relative; created when missing). Returns
// the paths written. Throws Errore, without touching a file, when RifiutoPeriodo refuses the
// period, and StatisticheDaCalcolare when there are no statistics or they were computed for
// another period; on any other failure no half-written workbook is left. Workbooks of other names
// (such as those of older versions) are left alone. The run holds the hotel folder's lock shared
// to its end, and the workbook folder's own lock exclusive while it writes there: when a
// calculation or another run writing workbooks into the same folder holds them, it throws
// CartellaOccupata at once. The three workbooks are replaced as one set (reports/insieme_file.h):
// after a failure the folder holds the previous set; a set a killed run left mixed is made whole
// first, and temporary workbooks of killed runs are removed.
// Given last year, the daily workbook sets it beside the period on "Mesi" and "Riepilogo" and
// adds a sheet of last year's days; a store of last year that cannot be read is reported on
// "Riepilogo" as not available and fails nothing. The first sheet of each workbook is the same
// with or without it.
std::vector<std::string> CreaReportExcel(Interfaccia& ui, const Richiesta& r,
                                         const ConfrontoAnnoPrecedente& anno_precedente = {});

// Makes whole, in the workbook folder `cartella`, a set of workbooks that a run killed while it
// put them in place left mixed, and removes the temporaries of killed runs; for whoever is about
// to show the folder. Does nothing while a run writes there, and never fails.
void CompletaReportInterrotti(const std::filesystem::path& cartella);

// Throws what CreaReportExcel throws before it reads a statistic or takes a lock (a period it
// refuses, StatisticheDaCalcolare), without writing anything: for a caller with work to do
// before it.
void ControllaReportExcel(const Richiesta& r);

// The statistics store cannot serve the period asked: it is missing, or its table Periodo names
// another period. The remedy is a calculation for the period asked; what() words it for the
// window ("premere "Calcola""), TestoSenzaFinestra() for the headless command.
class StatisticheDaCalcolare : public Errore {
 public:
  explicit StatisticheDaCalcolare(const std::string& motivo);
  std::string TestoSenzaFinestra() const;

 private:
  std::string motivo_;
};

}  // namespace vendrix

#endif  // VENDRIX_REPORTS_REPORT_H_
