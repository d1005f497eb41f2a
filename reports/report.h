#ifndef VENDRIX_REPORTS_REPORT_H_
#define VENDRIX_REPORTS_REPORT_H_

#include <string>
#include <vector>

#include "comune/interfaccia.h"
#include "comune/richiesta.h"
#include "data/errore.h"

namespace vendrix {

// The file names of the three workbooks, in the order the run writes them.
inline constexpr const char* kFileReport[] = {"REPORT_DATA.xlsx", "REPORT_TIPOCAMERA.xlsx",
                                              "REPORT_AGENZIA.xlsx"};

// The "C&rea Excel" run: reads the statistics from Vendrix.mdb and the room types from
// TipiCamere.mdb in r.cartella_hotel, and writes the three workbooks of kFileReport into
// r.cartella_excel (taken inside r.cartella_hotel when relative; created when missing). Returns
// the paths written. Throws Errore, without touching a file, when RifiutoPeriodo refuses the
// period, and StatisticheDaCalcolare when there are no statistics or they were computed for
// another period; on any other failure no half-written workbook is left. Workbooks of other names
// (such as those of older versions) are left alone. The run holds the hotel folder's lock shared
// to its end, and the workbook folder's own lock exclusive while it writes there: when a
// calculation or another run writing workbooks into the same folder holds them, it throws
// CartellaOccupata at once. Temporary workbooks of killed runs are removed.
std::vector<std::string> CreaReportExcel(Interfaccia& ui, const Richiesta& r);

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
