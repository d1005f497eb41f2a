#ifndef VENDRIX_TESTS_SUPPORT_LETTORE_XLSX_H_
#define VENDRIX_TESTS_SUPPORT_LETTORE_XLSX_H_

// Test-only reader of xlsx files: what a saved workbook holds, cell by cell, with the number
// formats, row heights and column widths the file declares. Knows nothing of how the program
// writes workbooks: it reads the parts of the file format the way a spreadsheet application does.

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vendrix::prova {

struct CellaLetta {
  enum class Tipo { kVuota, kTesto, kNumero, kBooleano, kErrore };
  Tipo tipo = Tipo::kVuota;
  std::string testo;    // kTesto: the text
  double numero = 0;    // kNumero: the number
  std::string grezzo;   // the value as the file spells it
  std::string formato;  // number format code ("General" when none)
  std::string formula;  // the formula without '=', empty when the cell holds a plain value
  bool grassetto = false;
};

// A series of a chart: the formulas of its categories and values ("'Tipo camera'!$A$2:$A$7")
// and the chart group it is drawn in ("barChart", "lineChart").
struct SerieLetta {
  std::string nome;
  std::string categorie;
  std::string valori;
  std::string gruppo;
  bool asse_secondario = false;  // its group stands on a value axis at the right
  bool liscia = false;  // a line series drawn as a smoothed curve (the file format's default)
};

// An axis of a chart as the file lays it out.
struct AsseLetto {
  std::string tipo;       // "valAx", "catAx" or "dateAx"
  std::string posizione;  // axPos: "b", "l", "r", "t"
  std::string direzione;  // orientation: "minMax" or "maxMin"
  std::optional<double> minimo;
  std::string formato;                       // number format of its labels, "" when none is given
  bool eliminato = false;                    // not drawn
  std::string unita_base, unita_principale;  // of a date axis: "days", "months"
  double passo = 0;                          // majorUnit, 0 when not given
};

struct GraficoLetto {
  std::string titolo;
  std::string direzione;  // of a bar chart: "col" or "bar"
  std::string raggruppamento;  // of its first group: "clustered", "stacked", "standard"
  std::vector<SerieLetta> serie;
  std::vector<std::string> titoli_assi;  // every axis title, in file order
  std::vector<AsseLetto> assi;           // in file order
  int riga = 0, colonna = 0;             // 1-based cell of its top left corner
};

struct FoglioLetto {
  std::string nome;
  std::map<std::pair<int, int>, CellaLetta> celle;  // by 1-based (row, column)
  std::map<int, double> altezze;                    // custom row heights, points
  std::map<int, double> larghezze;                  // column widths, characters
  std::string riquadro;       // top left cell of the scrolling pane when frozen ("A2"), or ""
  std::string filtro;         // autofilter range ("A1:Q7"), or ""
  bool orizzontale = false;   // printed landscape
  int pagine_in_larghezza = 0;  // fit to so many pages wide; 0 when not fitted
  std::string righe_stampa;     // rows printed on every page ("$1:$1"), or ""
  std::vector<GraficoLetto> grafici;
  std::string intestazione, pie_di_pagina;  // printed header and footer, in the file's codes
  bool selezionato = false;                 // its tab is selected
  std::map<std::pair<int, int>, std::string> note;  // cell comments by (row, column)

  // The cell at 1-based row and column; an empty cell ("General") when the file has none.
  CellaLetta Cella(int riga, int colonna) const;
  // Cell by address, "B7".
  CellaLetta Cella(const std::string& indirizzo) const;
  // Highest row holding a value (not merely a format); 0 for none.
  int UltimaRigaConValori() const;
  std::optional<double> Altezza(int riga) const;
  std::optional<double> Larghezza(int colonna) const;
};

struct CartellaLetta {
  std::vector<FoglioLetto> fogli;              // in workbook order
  int foglio_attivo = 1;                       // 1-based: the sheet the workbook opens on
  std::string titolo, soggetto, applicazione;  // document properties

  // The sheet of that name; throws std::runtime_error when there is none.
  const FoglioLetto& Foglio(const std::string& nome) const;
};

// Reads the workbook at `percorso`; throws std::runtime_error when it is not a readable xlsx
// file or a part it refers to is missing or malformed.
CartellaLetta LeggiXlsx(const std::string& percorso);

// True when the file starts like a zip archive (an xlsx file).
bool EFileZip(const std::string& percorso);

}  // namespace vendrix::prova

#endif  // VENDRIX_TESTS_SUPPORT_LETTORE_XLSX_H_
