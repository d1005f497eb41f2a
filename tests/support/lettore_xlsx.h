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
};

struct FoglioLetto {
  std::string nome;
  std::map<std::pair<int, int>, CellaLetta> celle;  // by 1-based (row, column)
  std::map<int, double> altezze;                    // custom row heights, points
  std::map<int, double> larghezze;                  // column widths, characters

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
  std::vector<FoglioLetto> fogli;  // in workbook order
};

// Reads the workbook at `percorso`; throws std::runtime_error when it is not a readable xlsx
// file or a part it refers to is missing or malformed.
CartellaLetta LeggiXlsx(const std::string& percorso);

// True when the file starts like a zip archive (an xlsx file).
bool EFileZip(const std::string& percorso);

}  // namespace vendrix::prova

#endif  // VENDRIX_TESTS_SUPPORT_LETTORE_XLSX_H_
