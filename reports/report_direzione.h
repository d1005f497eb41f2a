#ifndef VENDRIX_REPORTS_REPORT_DIREZIONE_H_
#define VENDRIX_REPORTS_REPORT_DIREZIONE_H_

// The manager's report: the reference day, the month and the year to date beside the same
// dates last year, what is on the books ahead, and the segments, in one workbook of three
// sheets ("Direzione", "Prossimi giorni", "Segmenti").

#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "comune/date.h"
#include "data/portafoglio.h"

namespace vendrix {

// "REPORT_DIREZIONE_YYYYMMDD.xlsx" of the reference day.
std::string NomeReportDirezione(Giorno giorno);

// The nights on the books the report shows after the reference day ("Prossimi giorni").
inline constexpr int kNottiProssimiGiorni = 90;

// The nights whose books the report reads for reference day `giorno`: from 1 January of the
// year before to the later of 31 December of the year and `giorno` + kNottiProssimiGiorni.
std::pair<Giorno, Giorno> NottiReportDirezione(Giorno giorno);

// What the report is made of.
struct DatiDirezione {
  std::string hotel;      // the hotel's name
  Giorno giorno;          // the reference day: the last night reported
  std::string creato_il;  // "DD/MM/YYYY HH:MM" of the run
  // False when the books of `giorno` are not known (the hotel files show today's): the
  // on-the-books parts are left out, with a line saying why.
  bool prenotazioni_note = true;
  // The books of NottiReportDirezione(giorno), with `giorno` as their reference day.
  Portafoglio portafoglio;
  std::vector<std::string> segmenti;  // in the order the sheets list them
  // The confirmed rooms picked up for each night of "Prossimi giorni" over the last day and the
  // last 7 days, from the snapshots of the books (nullopt: no snapshot of that day). Empty when
  // there is no snapshot of today: the two columns are then left out.
  std::map<Giorno, std::array<std::optional<int64_t>, 2>> pickup;
};

// Writes REPORT_DIREZIONE_<giorno>.xlsx into `cartella_excel` (created when missing), replacing
// the file of the same day only once the new one is complete. Holds the workbook folder's lock
// exclusive while it writes, as CreaReportExcel does (CartellaOccupata when another run writes
// there). Returns the path written. Throws Errore when the file cannot be written.
std::string ScriviReportDirezione(const DatiDirezione& dati,
                                  const std::filesystem::path& cartella_excel);

}  // namespace vendrix

#endif  // VENDRIX_REPORTS_REPORT_DIREZIONE_H_
