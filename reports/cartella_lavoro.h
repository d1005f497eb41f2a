#ifndef VENDRIX_REPORTS_CARTELLA_LAVORO_H_
#define VENDRIX_REPORTS_CARTELLA_LAVORO_H_

// The workbook model the report run writes into: an application holding workbooks, each with
// worksheets of cells addressed by row and column, formulas with their stored result, the few
// formats the reports set, frozen panes, an autofilter, print settings and charts. The operations
// keep the names of the spreadsheet object model (Workbooks.Add, Cells, Range, NumberFormat,
// RowHeight, ColumnWidth, FreezePanes, AutoFilter, PageSetup, SaveAs, Close, Quit); what that
// model has no plain name for is named in Italian. Everything lives in memory until SaveAs writes
// the workbook as an xlsx file. Every failure throws Errore.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "data/errore.h"
#include "data/valore.h"

namespace vendrix::excel {

// Number formats the model gives cells on its own, and the text format the reports ask for.
inline constexpr const char* kFormatoGenerale = "";
inline constexpr const char* kFormatoTesto = "@";
inline constexpr const char* kFormatoValuta = "#,##0.00 [$€-410]";
inline constexpr const char* kFormatoPercentuale = "0.00%";

// Size of a worksheet, as the file format allows.
inline constexpr int kMassimoRighe = 1048576;
inline constexpr int kMassimoColonne = 16384;

enum class TipoCella { kVuota, kTesto, kIntero, kNumero, kValuta };

// What a cell holds: nothing, a text, a whole number, a number or a currency amount.
class ValoreCella {
 public:
  ValoreCella() = default;
  ValoreCella(std::string testo) : v_(std::move(testo)) {}
  ValoreCella(const char* testo) : v_(std::string(testo)) {}
  ValoreCella(int n) : v_(static_cast<int64_t>(n)) {}
  ValoreCella(int64_t n) : v_(n) {}
  ValoreCella(double x) : v_(x) {}
  ValoreCella(Valuta c) : v_(c) {}

  // The current value of a database field: Null leaves the cell empty, texts stay texts, whole
  // numbers (16 and 32 bit, booleans) become whole numbers, Currency stays Currency, doubles and
  // dates become numbers.
  static ValoreCella DaCampo(const Valore& valore);

  TipoCella Tipo() const { return static_cast<TipoCella>(v_.index()); }
  bool Vuota() const { return Tipo() == TipoCella::kVuota; }

  // The stored alternatives; each throws Errore when the cell holds another kind.
  const std::string& Testo() const;
  int64_t Intero() const;
  double Numero() const;

  // Conversions for arithmetic: an empty cell counts as 0. ComeValuta turns a number into
  // Currency (four decimals); ComeIntero takes a whole count (a number is rounded to the nearest
  // whole). Both throw Errore ("Tipo non corrispondente") for a text that is not a number.
  Valuta ComeValuta() const;
  int64_t ComeIntero() const;

  // Sum of two values as a cell addition makes it: an empty cell counts as 0; Currency when
  // either is Currency (exact); whole when both are whole; a number otherwise. Throws Errore for
  // a text operand and on overflow.
  friend ValoreCella operator+(const ValoreCella& a, const ValoreCella& b);

  friend bool operator==(const ValoreCella&, const ValoreCella&) = default;

 private:
  std::variant<std::monostate, std::string, int64_t, double, Valuta> v_;
};

// For test output and messages.
std::string Descrivi(const ValoreCella& v);

// How a cell is shown: its number format, bold, text wrapped onto several lines, and aligned
// on the right (as numbers are, for a text standing among them).
struct FormatoCella {
  std::string numero = kFormatoGenerale;
  bool grassetto = false;
  bool a_capo = false;
  bool a_destra = false;
  friend bool operator==(const FormatoCella&, const FormatoCella&) = default;
};

// A stored cell: its value and its format, as an index into the formats of its sheet (0 is the
// general format). A sheet can hold a million rows: a cell is kept small.
struct Cella {
  ValoreCella valore;
  uint16_t formato = 0;
};

class Worksheet;

// A reference to one cell of a worksheet, as Cells(row, column) gives it.
class RiferimentoCella {
 public:
  // The value last written, as the cell holds it (a text read as a number comes back as the
  // number). An unwritten cell is empty.
  ValoreCella Value() const;
  // Writes the value as the spreadsheet application does with an assignment:
  // - in a cell formatted as text ("@") a text is kept as written;
  // - elsewhere a text that reads as a number in plain decimal form ("12", "10.00", "-3.5") is
  //   stored as that number, and a percentage ("85.71%", "0 %") as the number divided by 100;
  //   a cell still in the general format then gets a format that shows the number as written
  //   ("0", "0.00", ...) or kFormatoPercentuale;
  // - a Currency amount gives a cell in the general format kFormatoValuta.
  // Texts with leading zeros ("007"), exponents or more than 15 digits stay texts.
  void SetValue(const ValoreCella& valore);
  RiferimentoCella& operator=(const ValoreCella& valore) {
    SetValue(valore);
    return *this;
  }
  std::string NumberFormat() const;

  // Writes a formula ("SUBTOTAL(109,B2:B9)", without the leading '=') with the result it gives,
  // which Value() returns and the saved file stores, so that a reader that does not recalculate
  // sees it. The caller vouches that the two agree. A later SetValue drops the formula.
  void SetFormula(const std::string& formula, const ValoreCella& risultato);
  // The formula of the cell; empty when it holds a plain value.
  std::string Formula() const;

 private:
  friend class Worksheet;
  RiferimentoCella(Worksheet* foglio, int riga, int colonna)
      : foglio_(foglio), riga_(riga), colonna_(colonna) {}
  Worksheet* foglio_;
  int riga_;
  int colonna_;
};

// A rectangle of cells, as Range("A1:S1") or Range("A2", "A1000") gives it.
class Intervallo {
 public:
  // Gives every cell of the range the number format (creating the cells, empty).
  void NumberFormat(const std::string& formato);
  // Sets the height in points of every row of the range.
  void RowHeight(double punti);
  // Sets the width in characters of every column of the range (the whole column, as widths are
  // a property of columns).
  void ColumnWidth(double caratteri);
  // Shows the cells of the range in bold (creating the cells, empty).
  void FontBold();
  // Wraps the texts of the range onto several lines at word breaks (creating the cells, empty).
  void WrapText();
  // Aligns the cells of the range on the right (HorizontalAlignment = xlRight).
  void AllineaADestra();

  int PrimaRiga() const { return riga1_; }
  int UltimaRiga() const { return riga2_; }
  int PrimaColonna() const { return colonna1_; }
  int UltimaColonna() const { return colonna2_; }

 private:
  friend class Worksheet;
  Intervallo(Worksheet* foglio, int riga1, int colonna1, int riga2, int colonna2)
      : foglio_(foglio), riga1_(riga1), colonna1_(colonna1), riga2_(riga2), colonna2_(colonna2) {}
  Worksheet* foglio_;
  int riga1_, colonna1_, riga2_, colonna2_;
};

// Reads an address such as "B7" into its 1-based row and column; throws Errore when the text is
// not a cell address inside the sheet.
std::pair<int, int> LeggiIndirizzo(std::string_view indirizzo);

// A rectangle of a named sheet, 1-based, as a chart refers to its data.
struct IntervalloFoglio {
  std::string foglio;
  int riga1 = 1, colonna1 = 1, riga2 = 1, colonna2 = 1;
  friend bool operator==(const IntervalloFoglio&, const IntervalloFoglio&) = default;
};

// Print settings of a sheet.
struct ImpostazioniPagina {
  bool orizzontale = false;     // landscape
  int pagine_in_larghezza = 0;  // fit to this many pages wide; 0 leaves the scale at 100 %
  int pagine_in_altezza = 0;    // with pagine_in_larghezza: and this many tall; 0 for any
  int righe_ripetute = 0;       // rows 1 to n printed on top of every page; 0 for none
  // Header and footer printed on every page, in the file format's codes ("&L", "&C", "&R" for
  // the three parts, "&P" page, "&N" pages, "&&" a literal '&'); empty for none. At most 255
  // characters each.
  std::string intestazione;
  std::string pie_di_pagina;
};

// A chart's category axis read as dates: one label every `passo` units, the points `base` apart
// (a day, or a month for a date on each month's first day).
enum class UnitaDate { kNessuna, kGiorni, kMesi };
struct AsseDate {
  UnitaDate unita = UnitaDate::kNessuna;  // kNessuna: categories shown as they are
  int passo = 1;
  std::string formato = "dd/mm/yyyy";  // of the labels
  UnitaDate base = UnitaDate::kGiorni;
};

enum class TipoGrafico { kLinee, kColonne, kColonneImpilate, kBarre };

struct SerieGrafico {
  std::string nome;
  IntervalloFoglio categorie;  // one row or one column
  IntervalloFoglio valori;     // as many cells as categorie
  // On the secondary (right) value axis, drawn as a line whatever the chart's type.
  bool asse_secondario = false;
};

// A chart placed on a sheet with its top left corner at a cell.
struct Grafico {
  TipoGrafico tipo = TipoGrafico::kColonne;
  std::string titolo;
  std::string titolo_categorie;         // title of the category axis
  std::string titolo_valori;            // title of the (primary) value axis
  std::string formato_valori;           // number format of its labels; empty: from the cells
  std::string titolo_valori_secondari;  // the secondary axis, when a series is on it
  std::string formato_valori_secondari;
  // Value axes that start at zero, whatever the smallest value (percentages and amounts: a
  // range cut below makes small differences look large).
  bool valori_da_zero = true;
  AsseDate asse_date;
  std::vector<SerieGrafico> serie;
  int riga = 1, colonna = 1;
  int larghezza = 640, altezza = 320;  // pixels
};

class Worksheet {
 public:
  explicit Worksheet(std::string nome) : nome_(std::move(nome)) {}

  const std::string& Name() const { return nome_; }
  // Renames the sheet. Throws Errore for a name the file format refuses: empty, longer than 31
  // characters, with one of []:*?/\ or starting or ending with an apostrophe.
  void SetName(const std::string& nome);

  // The cell at 1-based row and column; throws Errore outside the sheet.
  RiferimentoCella Cells(int riga, int colonna);
  // "A1", "A1:S1", or a first and a last cell; throws Errore for an address outside the sheet.
  Intervallo Range(std::string_view indirizzo);
  Intervallo Range(std::string_view prima, std::string_view ultima);

  // Keeps the rows above `riga` and the columns left of `colonna` in view while the rest
  // scrolls (FreezePanes on the cell at `riga`, `colonna`); (1, 1) freezes nothing.
  void FreezePanes(int riga, int colonna);
  // Puts the filter buttons on the first row of the range, filtering the rows below it.
  void AutoFilter(std::string_view indirizzo);
  ImpostazioniPagina& PageSetup() { return pagina_; }
  // Attaches a note (a comment shown on pointing at the cell) to a cell; replaces its note.
  void AddComment(int riga, int colonna, const std::string& testo);
  // Places a chart on the sheet. Throws Errore when it has no series, a series whose categories
  // and values differ in length or are not one row or column, or a secondary series before a
  // primary one.
  void AggiungiGrafico(Grafico grafico);

  // Widens each column from `prima` to `ultima` so that every value shows whole, with its
  // number format applied, at the default font: never narrower than the width set before. A
  // wrapped text needs only its longest word on one line and at most as many lines as its row's
  // height holds.
  void AllargaColonne(int prima, int ultima);
  // The width of a column in characters, 8.43 (the file format's default) when none was set.
  double LarghezzaColonna(int colonna) const;
  // The text a cell shows: its value through its number format (in the C locale: '.' for the
  // decimals and ',' for thousands, whose widths are those of the user's separators).
  std::string TestoMostrato(int riga, int colonna) const;

  // What the writer needs: the rows (row r at index r - 1, each as long as its last cell used;
  // a cell never written is empty with format 0), the formats the cells refer to, heights by
  // row, widths by column, formulas by (row, column) and the rest of the sheet's settings.
  const std::vector<std::vector<Cella>>& Righe() const { return righe_; }
  const std::vector<FormatoCella>& Formati() const { return formati_; }
  const std::map<int, double>& AltezzeRighe() const { return altezze_righe_; }
  const std::map<int, double>& LarghezzeColonne() const { return larghezze_colonne_; }
  const std::map<std::pair<int, int>, std::string>& Formule() const { return formule_; }
  std::pair<int, int> RiquadriBloccati() const { return riquadri_; }
  const std::optional<IntervalloFoglio>& FiltroAutomatico() const { return filtro_; }
  const ImpostazioniPagina& Pagina() const { return pagina_; }
  const std::vector<Grafico>& Grafici() const { return grafici_; }
  const std::map<std::pair<int, int>, std::string>& Commenti() const { return commenti_; }

 private:
  friend class RiferimentoCella;
  friend class Intervallo;
  // The cell, created empty when missing; nullptr from Trova when missing.
  Cella& Crea(int riga, int colonna);
  const Cella* Trova(int riga, int colonna) const;
  uint16_t IndiceFormato(const FormatoCella& formato);
  // Changes one attribute of the format of every cell of a range.
  template <typename Modifica>
  void CambiaFormato(int riga1, int colonna1, int riga2, int colonna2, Modifica modifica);

  std::string nome_;
  std::vector<std::vector<Cella>> righe_;
  std::vector<FormatoCella> formati_{FormatoCella{}};
  std::map<int, double> altezze_righe_;
  std::map<int, double> larghezze_colonne_;
  std::map<std::pair<int, int>, std::string> formule_;
  std::pair<int, int> riquadri_{1, 1};
  std::optional<IntervalloFoglio> filtro_;
  ImpostazioniPagina pagina_;
  std::vector<Grafico> grafici_;
  std::map<std::pair<int, int>, std::string> commenti_;
};

// The document properties a workbook carries in its file.
struct ProprietaDocumento {
  std::string titolo;
  std::string soggetto;
  std::string applicazione;  // the program that wrote the file, with its version
};

// A workbook: one or more worksheets, in order.
class Workbook {
 public:
  Workbook();

  // The sheet at 1-based `indice`. Throws Errore outside 1 to Count().
  Worksheet& Sheets(int indice);
  Worksheet& Worksheets(int indice) { return Sheets(indice); }
  int Count() const { return static_cast<int>(fogli_.size()); }
  // Adds a sheet named `nome` after the last one (Worksheets.Add after the last). Throws
  // Errore for a name the file format refuses or one the workbook already has.
  Worksheet& AggiungiFoglio(const std::string& nome);
  ProprietaDocumento& BuiltinDocumentProperties() { return proprieta_; }
  // Makes the sheet at 1-based `indice` the one the workbook opens on, active and selected
  // (Worksheets(indice).Activate). Throws Errore outside 1 to Count(). The first sheet until set.
  void Activate(int indice);
  int FoglioAttivo() const { return attivo_; }

  // Writes the workbook as an xlsx file under `percorso`, replacing a file of that name. On
  // failure throws Errore naming the file; a file already there is then left as it was and
  // nothing half-written remains.
  void SaveAs(const std::string& percorso) const;
  // The same, with messages naming `nome` (the file the user knows) instead of `percorso`.
  void SaveAs(const std::string& percorso, const std::string& nome) const;

  // Closes the workbook; it leaves its application's Workbooks. No reference to it may be used
  // afterwards.
  void Close();

 private:
  friend class Workbooks;
  class Workbooks* elenco_ = nullptr;
  std::vector<std::unique_ptr<Worksheet>> fogli_;
  ProprietaDocumento proprieta_;
  int attivo_ = 1;
};

class Workbooks {
 public:
  // A new, empty workbook whose sheet is named "Foglio1".
  Workbook& Add();
  int Count() const { return static_cast<int>(cartelle_.size()); }

 private:
  friend class Workbook;
  friend class Application;
  void Rimuovi(const Workbook* cartella);
  std::vector<std::unique_ptr<Workbook>> cartelle_;
};

// The spreadsheet application: the root of the model.
class Application {
 public:
  class Workbooks& Workbooks() {
    return cartelle_;
  }
  // Ends the instance: every workbook still open is dropped unsaved.
  void Quit();

 private:
  class Workbooks cartelle_;
};

}  // namespace vendrix::excel

#endif  // VENDRIX_REPORTS_CARTELLA_LAVORO_H_
