#ifndef VENDRIX_REPORTS_REPORT_H_
#define VENDRIX_REPORTS_REPORT_H_

#include <string>
#include <vector>

#include "calc/interfaccia.h"

namespace vendrix {

// The "C&rea Excel" run: reads the period from the date boxes of `ui`, the statistics from
// Vendrix.mdb and the room types from TipiCamere.mdb in the working folder, and writes
// REPORT_DATA.XLS, REPORT_TIPOCAMERA.XLS and REPORT_AGENZIA.XLS into `cartella` (created when
// missing). Returns the paths written. Throws Errore, without touching a file, when the dates are
// not valid or out of order; on any other failure no half-written workbook is left.
std::vector<std::string> CreaReportExcel(Interfaccia& ui, const std::string& cartella);

// The folder the window writes the workbooks into: the "Excel" folder of the program folder.
std::string CartellaExcelPredefinita();

}  // namespace vendrix

#endif  // VENDRIX_REPORTS_REPORT_H_
