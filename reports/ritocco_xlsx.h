#ifndef VENDRIX_REPORTS_RITOCCO_XLSX_H_
#define VENDRIX_REPORTS_RITOCCO_XLSX_H_

// Touches up an xlsx file the writing library has just closed, for what the library cannot write:
// a chart whose last series stand on a second value axis (drawn as lines on the right), a date
// axis, and the
// program that made the file named as its application.

#include <string>
#include <vector>

#include "reports/cartella_lavoro.h"

namespace vendrix::excel {

// Rewrites the parts of `file`: `grafici` are the file's charts in the order it numbers them
// (chart1.xml, chart2.xml, ...); `applicazione`, when not empty, replaces the application named in
// the document properties. Throws Errore naming `percorso` when the file cannot be rewritten.
void RitoccaXlsx(const std::string& file, const std::string& percorso,
                 const std::vector<const Grafico*>& grafici, const std::string& applicazione);

// The chart part `xml` with its last `secondarie` series moved to a line chart on a secondary
// value axis titled `titolo`, whose labels use `formato` (empty: as the cells), starting at zero
// when `da_zero`. Returns the part unchanged when it is not laid out as expected.
std::string AsseSecondario(const std::string& xml, int secondarie, const std::string& titolo,
                           const std::string& formato, bool da_zero = false);

// The chart part `xml` of a line chart with every series drawn as straight lines between its
// points: a reader draws a series that does not say so as a smoothed curve, which invents values
// between the days.
std::string LineeDritte(const std::string& xml);

// The chart part `xml` with its first category axis turned into a date axis laid out as `asse`.
// Returns the part unchanged for an axis of no dates or a part not laid out as expected.
std::string AsseDiDate(const std::string& xml, const AsseDate& asse);

}  // namespace vendrix::excel

#endif  // VENDRIX_REPORTS_RITOCCO_XLSX_H_
