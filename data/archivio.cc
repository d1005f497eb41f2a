#include "data/archivio.h"

#include <filesystem>

namespace vendrix {

void CreaArchivio(DBEngine& motore, const std::string& percorso) {
  // An ordinary look-up of the name: an existing file is never examined, changed or recreated.
  std::error_code ec;
  if (std::filesystem::is_regular_file(percorso, ec)) return;

  using namespace tabelle;
  std::unique_ptr<Database> db = motore.Workspaces().CreateDatabase(percorso);
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

void ScriviPeriodo(DBEngine& motore, const std::string& percorso,
                   const PeriodoStatistiche& periodo) {
  using namespace tabelle;
  std::unique_ptr<Database> db = motore.OpenDatabase(percorso);
  TableDef td = db->CreateTableDef(kPeriodo);
  td.Fields.Append(td.CreateField(kDal, dbText, 8));
  td.Fields.Append(td.CreateField(kAl, dbText, 8));
  td.Fields.Append(td.CreateField(kConfermate, dbInteger, 2));
  td.Fields.Append(td.CreateField(kOpzionate, dbInteger, 2));
  td.Fields.Append(td.CreateField(kClienti, dbInteger, 2));
  td.Fields.Append(td.CreateField(kCreatoIl, dbText, 19));
  td.Fields.Append(td.CreateField(kVersione, dbText, 30));
  db->TableDefs().Append(td);
  auto riga = db->OpenRecordset(kPeriodo);
  riga->AddNew();
  riga->Fields(kDal) = Valore(ChiaveData(periodo.dal));
  riga->Fields(kAl) = Valore(ChiaveData(periodo.al));
  const auto zero_uno = [](bool si) { return Valore(static_cast<int16_t>(si ? 1 : 0)); };
  riga->Fields(kConfermate) = zero_uno(periodo.confermate);
  riga->Fields(kOpzionate) = zero_uno(periodo.opzionate);
  riga->Fields(kClienti) = zero_uno(periodo.clienti);
  riga->Fields(kCreatoIl) = Valore(periodo.creato_il);
  riga->Fields(kVersione) = Valore(periodo.versione);
  riga->Update();
  riga->Close();
  db->Close();
}

std::optional<PeriodoStatistiche> LeggiPeriodo(DBEngine& motore, const std::string& percorso) {
  using namespace tabelle;
  std::unique_ptr<Database> db = motore.OpenDatabase(percorso);
  if (!db->HaTabella(kPeriodo)) return std::nullopt;
  auto riga = db->OpenRecordset(kPeriodo);
  const auto testo = [&](const char* campo) {
    const Valore v = riga->Fields(campo).Value();
    return v.IsNull() ? std::string() : v.Testo();
  };
  const auto si = [&](const char* campo) {
    const Valore v = riga->Fields(campo).Value();
    return !v.IsNull() && v.IsNumero() && v.Numero() != 0;
  };
  PeriodoStatistiche periodo;
  std::optional<Giorno> dal, al;
  if (riga->RecordCount() > 0) {
    dal = GiornoDaChiave(testo(kDal));
    al = GiornoDaChiave(testo(kAl));
  }
  if (!dal || !al) {
    throw Errore("La tabella " + std::string(kPeriodo) + " di '" + percorso +
                 "' non dice per quale periodo sono le statistiche: ricalcolarle.");
  }
  periodo.dal = *dal;
  periodo.al = *al;
  periodo.confermate = si(kConfermate);
  periodo.opzionate = si(kOpzionate);
  periodo.clienti = si(kClienti);
  periodo.creato_il = testo(kCreatoIl);
  periodo.versione = testo(kVersione);
  riga->Close();
  db->Close();
  return periodo;
}

}  // namespace vendrix
