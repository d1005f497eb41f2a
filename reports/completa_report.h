#ifndef VENDRIX_REPORTS_COMPLETA_REPORT_H_
#define VENDRIX_REPORTS_COMPLETA_REPORT_H_

// What the report run adds to each workbook once its first sheet is filled, leaving every cell
// of the first sheet where it is: the "Totale" row, column formats, fitted widths, frozen header,
// autofilter, print settings, charts and document properties; the sheets "Mesi" and "Riepilogo"
// of the daily workbook; the reconciliation rows of the agency sheet.

#include <cstdint>
#include <map>
#include <string>

#include "data/dbengine.h"
#include "data/valore.h"
#include "reports/cartella_lavoro.h"
#include "reports/fogli_report.h"

namespace vendrix {

// Sums of the statistics rows of hotel 1 without an agency text (empty or missing), the rows the
// agency sheet leaves out, by column of that sheet: Currency for amounts, whole counts.
using SommeSenzaAgenzia = std::map<int, excel::ValoreCella>;

// Sums the groups of `gruppi`, statistics grouped by hotel, agency and anything else (the
// room-type query), whose agency the agency sheet leaves out.
SommeSenzaAgenzia SommaSenzaAgenzia(Recordset& gruppi);

// Last year beside the daily workbook's summary and months.
struct ConfrontoReport {
  bool chiesto = false;  // false: the workbook as without comparison
  // Last year's statistics grouped by day (kGruppiPerGiorno) and its rooms sold through an
  // agency by day (kCamereAgenziaPerGiorno); nullptr when they are not available, and then
  // `motivo` says why.
  Recordset* gruppi = nullptr;
  Recordset* camere_agenzia = nullptr;
  PeriodoReport periodo;       // last year's period, the same rooms
  std::string tipi_soggiorno;  // the kinds of stay last year's statistics count
  std::string motivo;
};

// The daily workbook: its sheet "Data" filled for `periodo`, as sheet 1. `tipi_soggiorno` names
// the kinds of stay the statistics were worked out for; empty when the store does not record
// them. With a comparison asked, "Mesi" and "Riepilogo" get last year's figures beside their own
// (empty, with the reason under the summary, when they are not available) and last year's days
// go on a sheet of their own after them.
void CompletaReportData(excel::Workbook& cartella, const PeriodoReport& periodo,
                        const std::string& tipi_soggiorno,
                        const ConfrontoReport& confronto = ConfrontoReport{});

// The room-type workbook, its sheet "Tipo camera" filled.
void CompletaReportTipoCamera(excel::Workbook& cartella, const PeriodoReport& periodo);

// The agency workbook, its sheet "Agenzia" filled; `senza_agenzia` the rows it leaves out.
void CompletaReportAgenzia(excel::Workbook& cartella, const PeriodoReport& periodo,
                           const SommeSenzaAgenzia& senza_agenzia);

// Title, subject (the period) and application (this program and its version) of a workbook.
void ImpostaProprieta(excel::Workbook& cartella, const std::string& titolo,
                      const PeriodoReport& periodo);

}  // namespace vendrix

#endif  // VENDRIX_REPORTS_COMPLETA_REPORT_H_
