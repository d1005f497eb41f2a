#include "data/archivio.h"

#include <filesystem>

namespace vendrix {

void CreaArchivio(DBEngine& motore, const std::string& percorso) {
  // An ordinary look-up of the name: an existing file is never examined, changed or recreated.
  std::error_code ec;
  if (std::filesystem::is_regular_file(percorso, ec)) return;

  using namespace tabelle;
  std::unique_ptr<Database> db = motore.Workspaces(0).CreateDatabase(percorso, dbLangGeneral);
  TableDef td = db->CreateTableDef(kVendrix);
  struct Definizione {
    const char* nome;
    int tipo;
    int dimensione;
  };
  // The sizes of the fixed-size types are ignored by the engine; only the text sizes count.
  static constexpr Definizione kCampi[] = {
      {kNumeroHotel, dbInteger, 2}, {kDataRif, dbText, 8},      {kTotRO, dbCurrency, 5},
      {kTotBB, dbCurrency, 5},      {kTotHB, dbCurrency, 5},    {kTotFB, dbCurrency, 5},
      {kTotSupl, dbCurrency, 5},    {kTotRetta, dbCurrency, 5}, {kTipoCamera, dbText, 30},
      {kAgenzia, dbText, 100},      {kTotCamOcc, dbLong, 4},    {kTotPax, dbLong, 4},
      {kExtra, dbCurrency, 5},
  };
  for (const auto& c : kCampi) td.Fields.Append(td.CreateField(c.nome, c.tipo, c.dimensione));
  db->TableDefs().Append(td);
  db->Close();
}

}  // namespace vendrix
