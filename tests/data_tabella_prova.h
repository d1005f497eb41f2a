#ifndef VENDRIX_TESTS_DATA_TABELLA_PROVA_H_
#define VENDRIX_TESTS_DATA_TABELLA_PROVA_H_

// What the engine's tests share: a table written through the engine, and the pair of a text and
// the words its error message must hold.

#include <filesystem>
#include <string>
#include <vector>

#include "data/dbengine.h"

namespace vendrix {

// Writes table `tabella` into `file` (created when missing) with the given fields and rows, in
// one transaction.
inline void ScriviTabellaDiProva(DBEngine& motore, const std::string& file,
                                 const std::string& tabella, const std::vector<Field>& campi,
                                 const std::vector<std::vector<Valore>>& righe) {
  std::unique_ptr<Database> db = std::filesystem::exists(motore.Cartella() / file)
                                     ? motore.OpenDatabase(file)
                                     : motore.Workspaces().CreateDatabase(file);
  TableDef td = db->CreateTableDef(tabella);
  for (const auto& c : campi) td.Fields.Append(c);
  db->TableDefs().Append(td);
  auto rs = db->OpenRecordset(tabella);
  db->BeginTrans();
  for (const auto& riga : righe) {
    rs->AddNew();
    for (size_t i = 0; i < campi.size(); ++i) rs->Fields(campi[i].nome) = riga[i];
    rs->Update();
  }
  db->CommitTrans();
}

// A text given to the engine and words its error message must hold.
struct CasoErrore {
  const char* testo;
  const char* messaggio;
};

}  // namespace vendrix

#endif  // VENDRIX_TESTS_DATA_TABELLA_PROVA_H_
