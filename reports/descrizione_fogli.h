#ifndef VENDRIX_REPORTS_DESCRIZIONE_FOGLI_H_
#define VENDRIX_REPORTS_DESCRIZIONE_FOGLI_H_

// One description per report sheet: its columns, each with heading, kind of value, number format
// and width. Headings, formats, widths, summary rows ("Totale", months) and the finishing of a
// sheet (frozen header, autofilter, print settings, fitted widths) all come from it. A later
// column is added by appending it to its sheet's description.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "comune/date.h"
#include "reports/cartella_lavoro.h"

namespace vendrix {

// What a column holds, which says how a summary row gives it: sums of amounts and counts, ratios
// worked out again from the summed figures (never averaged).
enum class Genere {
  kEtichetta,           // text: the row's name; "Totale" on a summary row
  kImporto,             // Currency amount, summed
  kRetta,               // "Totale Retta": summed; the room revenue of the ratios
  kConteggio,           // whole count, summed
  kOccupate,            // rooms sold, summed
  kCamereAgenzia,       // rooms sold through an agency, summed
  kOspiti,              // guests, summed
  kLibere,              // free rooms, summed: with the rooms sold, the room nights available
  kCapacita,            // room nights available; given, not summed, on a summary row
  kADR,                 // room revenue / rooms sold, to the cent
  kOccupazione,         // rooms sold / room nights available
  kOccupazioneAgenzia,  // rooms sold through an agency / room nights available
  kRevPar,              // room revenue / room nights available, to the cent
  kEntrataOspite,       // room revenue / guests, to the cent
  kAnnoPrecedente,      // a figure of last year beside the row's own: written by the comparison
  kVariazione,          // the change of a figure against last year's: written by the comparison
};

// True for the kinds a summary row sums.
bool ESomma(Genere genere);
// True for the summed kinds that are Currency amounts.
bool EImporto(Genere genere);

struct Colonna {
  std::string intestazione;
  Genere genere;
  std::string formato;  // number format of the column's numbers; "" for the general format
  double larghezza;     // width written for it, in characters; the least it ever gets
};

struct DescrizioneFoglio {
  std::string nome;
  std::vector<Colonna> colonne;

  // 1-based column of the first column of that kind; 0 when the sheet has none.
  int Indice(Genere genere) const;
  // 1-based column headed `intestazione`; throws Errore when the sheet has none.
  int Indice(const std::string& intestazione) const;
  int NumeroColonne() const { return static_cast<int>(colonne.size()); }
};

// The headings of the board mix, in their order on the sheets: with the extras, the amounts
// "Totale Retta" is made of.
inline constexpr const char* kTrattamenti[] = {"RO", "BB", "HB", "FB", "Supplementi"};

extern const DescrizioneFoglio kDescrizioneData;
extern const DescrizioneFoglio kDescrizioneMesi;
// "Mesi" with last year's figures after its own columns.
extern const DescrizioneFoglio kDescrizioneMesiConfronto;
// Last year's days, laid out as "Data".
extern const DescrizioneFoglio kDescrizioneDataAnnoPrecedente;
extern const DescrizioneFoglio kDescrizioneTipoCamera;
extern const DescrizioneFoglio kDescrizioneAgenzia;

// A change against last year: relative for amounts and counts, in percentage points for shares.
inline constexpr const char* kFormatoVariazioneRelativa = "+0.00%;-0.00%;0.00%";
inline constexpr const char* kFormatoPuntiPercentuali = "+0.00\" pp\";-0.00\" pp\";0.00\" pp\"";

// How the reports show dates: days, and months (a date on the month's first day).
inline constexpr const char* kFormatoData = "dd/mm/yyyy";
inline constexpr const char* kFormatoMese = "mm/yyyy";
// A day as a spreadsheet stores a date: the days since 30/12/1899.
excel::ValoreCella SerialeData(Giorno giorno);

// A change of a figure of "Mesi" against last year: its heading, the columns it compares (by
// heading) and whether it is in percentage points (occupancy) rather than relative.
struct ColonnaVariazione {
  const char* intestazione;
  const char* attuale;
  const char* anno_precedente;
  bool in_punti;
};
extern const ColonnaVariazione kVariazioniMesi[5];

// "B", "AA": the letters of a 1-based column.
std::string LettereColonna(int colonna);
// "B7".
std::string Cella(int riga, int colonna);
// "'Tipo camera'!B7" when `foglio` is not empty.
std::string CellaDi(const std::string& foglio, int riga, int colonna);
// The data rows, 2 to `ultima`, of column `colonna` of sheet `foglio`: a series of a chart.
excel::IntervalloFoglio DatiColonna(const std::string& foglio, int colonna, int ultima);

// The number format of the amount axes of the charts: whole euros.
inline constexpr const char* kFormatoEuroIntero = "#,##0 [$€-410]";
// A chart of `tipo` titled `titolo`, its axes titled `categorie` and `valori`, its values in
// `formato`, its top left corner at row `riga` and column `colonna`; no series yet.
excel::Grafico NuovoGrafico(excel::TipoGrafico tipo, std::string titolo, std::string categorie,
                            std::string valori, std::string formato, int riga, int colonna);

// Row 1: the headings of the description, 45 points high, bold, wrapped; the widths written.
void ScriviIntestazioni(excel::Worksheet& foglio, const DescrizioneFoglio& descrizione);

// The formulas of a share (parte / base) and of an amount per unit (importo / base, to the cent)
// over cell addresses or expressions, 0 when the base is 0.
std::string QuotaDi(const std::string& parte, const std::string& base);
std::string ImportoPer(const std::string& importo, const std::string& base);

// A summed figure of a summary row: the formula that gives it and its value (Currency for
// amounts, a whole number for counts). Without a formula the value is written as it is.
struct Somma {
  std::string formula;
  excel::ValoreCella valore;
};

// The exact sum of a column over rows `prima` to `ultima` of the sheet as it stands: Currency for
// amounts, a whole number for counts. 0 when `ultima` < `prima`.
excel::ValoreCella SommaEsatta(excel::Worksheet& foglio, int colonna, int prima, int ultima,
                               Genere genere);

// Writes a summary row: `etichetta` in the first column (a date in the first column's format), the
// summed columns from `somme` (by column; a summed column missing there gets 0), the ratio columns
// as formulas over the row's cells guarded against a zero divisor, with their results stored. A
// sheet with a kCapacita column takes the room nights available from `capacita`, written in that
// column; otherwise they are free rooms plus rooms sold. Every cell gets its column's number
// format, and bold when `grassetto`.
void ScriviRigaSintesi(excel::Worksheet& foglio, const DescrizioneFoglio& descrizione, int riga,
                       const excel::ValoreCella& etichetta, const std::map<int, Somma>& somme,
                       int64_t capacita = 0, bool grassetto = true);

// The "Totale" row of the data rows 2 to `ultima` (none when `ultima` < 2), one row below an
// empty one: SUBTOTAL(109, ...) of the summed columns, so that it follows the autofilter. Returns
// its row.
int ScriviTotale(excel::Worksheet& foglio, const DescrizioneFoglio& descrizione, int ultima,
                 int64_t capacita = 0);

// Gives the numbers of rows 2 to `ultima` that are still in the general format their column's
// format, so that a zero amount shows as one.
void FormattaColonne(excel::Worksheet& foglio, const DescrizioneFoglio& descrizione, int ultima);

// Finishes a sheet: header row frozen, autofilter over the header and the data rows 2 to
// `ultima_dati`, landscape, one page wide, header repeated on every page, widths fitted to every
// value of columns 1 to `ultima_colonna` (at least the description's).
void RifinisciFoglio(excel::Worksheet& foglio, const DescrizioneFoglio& descrizione,
                     int ultima_dati, int ultima_colonna);

}  // namespace vendrix

#endif  // VENDRIX_REPORTS_DESCRIZIONE_FOGLI_H_
