// Criteria of FindFirst / FindNext, taken differentially: a find with an equality at the top may
// take its candidates from an index, while the same criteria joined by Or to a condition no row
// meets must be met by a full scan; both must visit the same rows, on a fresh set and on one that
// reuses the shapes it parsed, and again after rows were changed with Edit / Update.
//
// Input: criteria texts separated by '\n' (at most four); after a byte 0x01, edits as triples of
// bytes (row, field, value), applied inside a transaction that is rolled back at the end.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/dbengine.h"
#include "data/errore.h"
#include "data/valore.h"
#include "tests/fuzz/cartella_fuzz.h"

namespace vendrix {
namespace {

constexpr const char* kCampi[] = {"Id", "Nome", "Sigla", "Importo", "Numero"};
constexpr int kRighe = 16;

// Values the rows and the edits take, per field: texts that read as numbers and ones that do not,
// quotes, Null, duplicates, numbers at the edges.
Valore ValoreN(int campo, int i) {
  static const Valore kTesti[] = {
      Valore(),      Valore(""),   Valore("12"), Valore(" 7"), Valore("1e3"),
      Valore("a'b"), Valore("BB"), Valore("bb"), Valore("-0"), Valore("citt\xc3\xa0"),
      Valore("12.0")};
  static const Valore kNumeri[] = {Valore(),       Valore(0.5),  Valore(-3.0),
                                   Valore(12.0),   Valore(-0.0), Valore(1e300),
                                   Valore(1000.0), Valore(7.0),  Valore(-1.5)};
  // Id is never Null: the full scan's "Or Id Is Null" must add no row.
  static const Valore kInteri[] = {Valore(int32_t{5}),  Valore(int32_t{0}),  Valore(int32_t{7}),
                                   Valore(int32_t{12}), Valore(int32_t{-3}), Valore(int32_t{1000})};
  if (campo == 0) return kInteri[i % std::size(kInteri)];
  if (campo <= 2) return kTesti[i % std::size(kTesti)];
  if (campo == 3 && i % std::size(kNumeri) == 5) return Valore();  // beyond Currency
  return kNumeri[i % std::size(kNumeri)];
}

void Guasto(const std::string& cosa) {
  std::fprintf(stderr, "GUASTO: %s\n", cosa.c_str());
  std::abort();
}

// The table the criteria are tried on, in a file of its own.
struct Banco {
  DBEngine motore;
  std::unique_ptr<Database> db;

  Banco() {
    db = motore.Workspaces().CreateDatabase((CartellaFuzz("criteri") / "Criteri.mdb").string());
    TableDef t = db->CreateTableDef("T");
    t.Fields.Append(t.CreateField("Id", dbLong));
    t.Fields.Append(t.CreateField("Nome", dbText, 20));
    t.Fields.Append(t.CreateField("Sigla", dbText, 5));
    t.Fields.Append(t.CreateField("Importo", dbCurrency));
    t.Fields.Append(t.CreateField("Numero", dbDouble));
    db->TableDefs().Append(t);
    auto rs = db->OpenRecordset("T");
    for (int r = 0; r < kRighe; ++r) {
      rs->AddNew();
      rs->Fields("Id") = Valore(int32_t{r % 11});
      for (int c = 1; c < 5; ++c) rs->Fields(kCampi[c]) = ValoreN(c, r * (c + 2) + 1);
      rs->Update();
    }
  }
};

// What a row holds, as text: rows are told apart by their contents, whatever the edits did.
std::string Riga(Recordset& rs) {
  std::string s;
  for (const char* c : kCampi) {
    Valore v = rs.Fields(c).Value();
    s += v.IsNull() ? std::string("<null>") : v.Testo();
    s += '|';
  }
  return s;
}

// The rows a find visits, in order; nothing when the criteria are refused.
std::optional<std::vector<std::string>> Trovati(Recordset& rs, std::string_view criteri) {
  std::vector<std::string> righe;
  try {
    for (rs.FindFirst(criteri); !rs.NoMatch(); rs.FindNext(criteri)) {
      righe.push_back(Riga(rs));
      if (righe.size() > kRighe) Guasto("FindNext visita più righe di quante ne abbia la tabella");
    }
  } catch (const Errore&) {
    return std::nullopt;
  }
  return righe;
}

void Confronta(Database& db, Recordset& usato, const std::string& criteri) {
  const std::string scansione = "(" + criteri + ") Or Id Is Null";
  auto a = Trovati(usato, criteri);
  auto fresco = db.OpenRecordset("T");
  auto b = Trovati(*fresco, scansione);
  auto c = Trovati(usato, scansione);
  if (!a) return;
  if (!b || !c) Guasto("criteri accettati soli e rifiutati fra parentesi: " + criteri);
  if (*a != *b || *b != *c)
    Guasto("la ricerca indicizzata e la scansione differiscono: " + criteri);
}

}  // namespace
}  // namespace vendrix

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dati, size_t dimensione) {
  using namespace vendrix;
  static Banco* banco = new Banco();  // one file for the whole run, never closed
  const std::string ingresso(reinterpret_cast<const char*>(dati), dimensione);
  const size_t separa = ingresso.find('\x01');
  const std::string testi = ingresso.substr(0, separa);
  const std::string modifiche = separa == std::string::npos ? "" : ingresso.substr(separa + 1);
  std::vector<std::string> criteri;
  for (size_t inizio = 0; criteri.size() < 4;) {
    size_t fine = testi.find('\n', inizio);
    criteri.push_back(testi.substr(inizio, fine - inizio));
    if (fine == std::string::npos) break;
    inizio = fine + 1;
  }

  Database& db = *banco->db;
  db.BeginTrans();
  {
    auto rs = db.OpenRecordset("T");
    for (const std::string& c : criteri) Confronta(db, *rs, c);
    bool modificato = false;
    for (size_t i = 0; i + 3 <= modifiche.size() && i < 24; i += 3) {
      const int riga = static_cast<unsigned char>(modifiche[i]) % 11;
      const int campo = static_cast<unsigned char>(modifiche[i + 1]) % 5;
      rs->FindFirst("Id = " + std::to_string(riga));
      if (rs->NoMatch()) continue;
      rs->Edit();
      rs->Fields(kCampi[campo]) = ValoreN(campo, static_cast<unsigned char>(modifiche[i + 2]));
      rs->Update();
      modificato = true;
    }
    if (modificato) {
      for (const std::string& c : criteri) Confronta(db, *rs, c);
    }
  }
  db.Rollback();
  return 0;
}
