// The hotel files written by CreaFileHotel, InserisciRighe and the sample hotel, read back with
// SQLite itself.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/demo/hotel_demo.h"
#include "data/dbengine.h"
#include "data/errore.h"
#include "data/tabelle.h"
#include "data/valore.h"

namespace vendrix::demo {
namespace {

namespace fs = std::filesystem;
namespace t = vendrix::tabelle;

// A folder of its own for each test, removed afterwards.
class Cartella {
 public:
  Cartella() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string nome = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : nome) {
      if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    percorso_ =
        fs::temp_directory_path() / ("vendrix_demo_" + nome + "_" + std::to_string(getpid()));
    fs::remove_all(percorso_);
    fs::create_directories(percorso_);
  }
  ~Cartella() { fs::remove_all(percorso_); }
  const fs::path& Percorso() const { return percorso_; }
  std::string operator/(const std::string& file) const { return (percorso_ / file).string(); }

 private:
  fs::path percorso_;
};

// A read-only SQLite connection; other files of the hotel can be attached under a name.
class Sql {
 public:
  // Read-only, except the in-memory database ":memory:".
  explicit Sql(const std::string& file) {
    const int modo = file == ":memory:" ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
    if (sqlite3_open_v2(file.c_str(), &db_, modo, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << "apertura di " << file << ": " << sqlite3_errmsg(db_);
    }
  }
  Sql(Sql&& altro) : db_(std::exchange(altro.db_, nullptr)) {}
  ~Sql() { sqlite3_close(db_); }

  void Allega(const std::string& file, const std::string& nome) {
    Righe("ATTACH DATABASE '" + file + "' AS " + nome);
  }

  // Every row, every value as text ("NULL" for Null).
  std::vector<std::vector<std::string>> Righe(const std::string& sql) {
    std::vector<std::vector<std::string>> righe;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
      return righe;
    }
    while (sqlite3_step(st) == SQLITE_ROW) {
      std::vector<std::string> riga;
      for (int i = 0; i < sqlite3_column_count(st); ++i) {
        const unsigned char* testo = sqlite3_column_text(st, i);
        riga.push_back(testo ? reinterpret_cast<const char*>(testo) : "NULL");
      }
      righe.push_back(riga);
    }
    sqlite3_finalize(st);
    return righe;
  }

  int64_t Numero(const std::string& sql) {
    auto righe = Righe(sql);
    if (righe.size() != 1 || righe[0].size() != 1) {
      ADD_FAILURE() << sql << ": non un solo valore";
      return -1;
    }
    return std::stoll(righe[0][0]);
  }

 private:
  sqlite3* db_ = nullptr;
};

std::string Leggi(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// ---- CreaFileHotel ---------------------------------------------------------------------------

// The layout the runs read: each file's one table with its fields in order, each with the
// declared SQLite type that gives the engine its field type.
constexpr const char* kScheda =
    "NumeroHotel SMALLINT, NumeroProgressivo INTEGER, NomeCliente VARCHAR(60), NumeroCamera "
    "VARCHAR(10), DataArrivo VARCHAR(8), DataPartenza VARCHAR(8), DataPartenzaReale VARCHAR(8), "
    "Partito VARCHAR(1), NumeroComponente SMALLINT, CodiceCapoFamiglia INTEGER, CodiceCapoGruppo "
    "INTEGER";
constexpr const char* kDitta =
    "NumeroHotel SMALLINT, CodiceCliente INTEGER, RagioneSociale VARCHAR(100)";
constexpr const char* kAddebito =
    "NumeroHotel SMALLINT, CodiceCliente INTEGER, NumeroCamera VARCHAR(10), DataInizio "
    "VARCHAR(8), DataFine VARCHAR(8), ImportoTotale CURRENCY, Descrizione VARCHAR(60), "
    "VoceAddebito INTEGER, Arrangiamento VARCHAR(10)";
const struct {
  const char* file;
  const char* tabella;
  const char* campi;
} kAttese[] = {
    {t::kFileTipiCamere, t::kTipiCamere,
     "NumeroHotel SMALLINT, Sigla VARCHAR(10), Tipologia VARCHAR(1), Descrizione VARCHAR(50), "
     "Quantita SMALLINT"},
    {t::kFileNumeriCamere, t::kNumeriCamere,
     "NumeroHotel SMALLINT, NumeroCamera VARCHAR(10), TipoCamera VARCHAR(10)"},
    {t::kFileCamerePrenotazione, t::kCamerePrenotazione,
     "NumeroHotel SMALLINT, NumeroPrenotazione INTEGER, NumeroCamera VARCHAR(10), DataArrivo "
     "VARCHAR(8), DataPartenza VARCHAR(8), TipoCamera VARCHAR(10), QuantitàCamere SMALLINT, "
     "NumeroPersone SMALLINT"},
    {t::kFileSchedaPrenotazione, t::kSchedaPrenotazione,
     "NumeroHotel SMALLINT, NumeroPrenotazione INTEGER, TipoPrenotazione VARCHAR(1), Ditta "
     "VARCHAR(100)"},
    {t::kFileSchedaCliente, t::kSchedaCliente, kScheda},
    {t::kFileDittaIntestataria, t::kDittaIntestataria, kDitta},
    {t::kFileArrangiamento, t::kArrangiamento, kAddebito},
    {t::kFileVociFattura, t::kVociFattura,
     "NumeroHotel SMALLINT, Codice INTEGER, Descrizione VARCHAR(60), Reparto VARCHAR(10)"},
    {t::kFileArrangiamenti, t::kNomiArrangiamenti,
     "NumeroHotel SMALLINT, Sigla VARCHAR(10), Descrizione VARCHAR(60), Tipo VARCHAR(1)"},
    {t::kFileSchedaStorico, t::kSchedaCliente, kScheda},
    {t::kFileDittaStorico, t::kDittaIntestataria, kDitta},
    {t::kFileArrangiamentoStorico, t::kArrangiamento, kAddebito},
};

TEST(CreaFileHotel, OgniFileHaLaSuaTabellaVuotaConICampiEITipiAttesi) {
  Cartella cartella;
  CreaFileHotel(cartella.Percorso().string());
  for (const auto& attesa : kAttese) {
    SCOPED_TRACE(attesa.file);
    ASSERT_TRUE(fs::exists(cartella.Percorso() / attesa.file));
    Sql sql(cartella / attesa.file);
    auto tabelle = sql.Righe("SELECT name FROM sqlite_master");
    ASSERT_EQ(tabelle.size(), 1u);  // one table, no index
    EXPECT_EQ(tabelle[0][0], attesa.tabella);
    EXPECT_EQ(sql.Righe(std::string("SELECT group_concat(name || ' ' || type, ', ') FROM "
                                    "(SELECT * FROM pragma_table_info('") +
                        attesa.tabella + "') ORDER BY cid)")[0][0],
              attesa.campi);
    EXPECT_EQ(sql.Numero(std::string("SELECT count(*) FROM \"") + attesa.tabella + "\""), 0);
  }
}

TEST(CreaFileHotel, SostituisceIFileGiaPresentiEFallisceSeLaCartellaEUnFile) {
  Cartella cartella;
  CreaFileHotel(cartella.Percorso().string());
  InserisciRighe(cartella / t::kFileTipiCamere, t::kTipiCamere, {t::kNumeroHotel, t::kSigla},
                 {{Valore(int16_t{1}), Valore("DBL")}});
  std::ofstream(cartella.Percorso() / t::kFileVociFattura) << "non un database";

  CreaFileHotel(cartella.Percorso().string());
  EXPECT_EQ(Sql(cartella / t::kFileTipiCamere).Numero("SELECT count(*) FROM TipiCamere"), 0);
  EXPECT_EQ(Sql(cartella / t::kFileVociFattura).Numero("SELECT count(*) FROM VociFattura"), 0);

  std::string file = cartella / "un_file";
  std::ofstream(file) << "x";
  EXPECT_THROW(CreaFileHotel(file + "/sotto"), Errore);
}

// ---- InserisciRighe ------------------------------------------------------------------------

// Rows with a value of every kind, each in a field of its own: each comes back as written, in
// the field it was given for.
TEST(InserisciRighe, OgniTipoDiValoreSiRileggeNelSuoCampo) {
  Cartella cartella;
  CreaFileHotel(cartella.Percorso().string());
  const std::string file = cartella / t::kFileSchedaCliente;
  const struct {
    const char* campo;
    Valore valore;
    const char* letto;  // typeof() and quote() of the stored value
  } casi[] = {
      {t::kDataPartenzaReale, Valore(), "null NULL"},
      {t::kNomeCliente, Valore("D'ANGELO NICOLÒ"), "text 'D''ANGELO NICOLÒ'"},
      {t::kPartito, Valore(""), "text ''"},
      {t::kNumeroHotel, Valore(int16_t{-7}), "integer -7"},
      {t::kNumeroProgressivo, Valore(int32_t{24000123}), "integer 24000123"},
      {t::kCodiceCapoGruppo, Valore(12.75), "real 12.75"},
      {t::kNumeroComponente, Valore(true), "integer 1"},
      {t::kCodiceCapoFamiglia, Valore(false), "integer 0"},
  };
  std::vector<std::string> campi;
  std::vector<Valore> riga;
  for (const auto& caso : casi) {
    campi.push_back(caso.campo);
    riga.push_back(caso.valore);
  }
  InserisciRighe(file, t::kSchedaCliente, campi, {riga, riga});
  Sql sql(file);
  EXPECT_EQ(sql.Numero("SELECT count(*) FROM Scheda_Cliente"), 2);
  for (const auto& caso : casi) {
    EXPECT_EQ(sql.Righe(std::string("SELECT typeof(\"") + caso.campo + "\") || ' ' || quote(\"" +
                        caso.campo + "\") FROM Scheda_Cliente LIMIT 1")[0][0],
              caso.letto)
        << caso.campo;
  }
  // Currency: the decimal amount, exact to the fourth decimal.
  const std::string addebiti = cartella / t::kFileArrangiamento;
  InserisciRighe(
      addebiti, t::kArrangiamento, {t::kImportoTotale},
      {{Valore(Valuta::DaDecimillesimi(855000))}, {Valore(Valuta::DaDecimillesimi(-123456))}});
  EXPECT_EQ(Sql(addebiti).Righe("SELECT group_concat(quote(ImportoTotale), ' ') FROM "
                                "Arrangiamento")[0][0],
            "85.5 -12.3456");
}

TEST(InserisciRighe, GliErroriNominanoFileETabellaENonLascianoRigheAMeta) {
  Cartella cartella;
  CreaFileHotel(cartella.Percorso().string());
  const std::string file = cartella / t::kFileTipiCamere;
  const std::string mancante = cartella / "Mancante.mdb";
  struct Caso {
    const char* nome;
    std::string file;
    std::string tabella;
    std::vector<std::string> campi;
    std::vector<std::vector<Valore>> righe;
    std::vector<std::string> nel_messaggio;
  };
  const Caso casi[] = {
      {"file mancante",
       mancante,
       t::kTipiCamere,
       {t::kSigla},
       {{Valore("A")}},
       {"Mancante.mdb", t::kTipiCamere}},
      {"tabella mancante",
       file,
       "NonCe",
       {t::kSigla},
       {{Valore("A")}},
       {t::kFileTipiCamere, "NonCe"}},
      {"campo mancante",
       file,
       t::kTipiCamere,
       {"NonCe"},
       {{Valore("A")}},
       {t::kFileTipiCamere, t::kTipiCamere}},
      {"terza riga troppo corta",
       file,
       t::kTipiCamere,
       {t::kSigla, t::kQuantita},
       {{Valore("A"), Valore(int16_t{1})}, {Valore("B"), Valore(int16_t{2})}, {Valore("C")}},
       {t::kFileTipiCamere, t::kTipiCamere}},
      {"nessun campo", file, t::kTipiCamere, {}, {{}}, {t::kFileTipiCamere, t::kTipiCamere}},
  };
  for (const Caso& caso : casi) {
    SCOPED_TRACE(caso.nome);
    try {
      InserisciRighe(caso.file, caso.tabella, caso.campi, caso.righe);
      ADD_FAILURE() << "nessun errore";
    } catch (const Errore& e) {
      for (const std::string& parte : caso.nel_messaggio) {
        EXPECT_NE(std::string(e.what()).find(parte), std::string::npos) << e.what();
      }
    }
    EXPECT_EQ(Sql(file).Numero("SELECT count(*) FROM TipiCamere"), 0);
  }
  EXPECT_FALSE(fs::exists(mancante));
}

// ---- The sample hotel --------------------------------------------------------------------------

TEST(ScriviHotelDemo, StessoSemeStessiFileSemeDiversoAltriDati) {
  Cartella cartella;
  OpzioniDemo opzioni;
  opzioni.camere = 25;
  opzioni.seme = 42;
  ScriviHotelDemo(cartella / "a", opzioni);
  ScriviHotelDemo(cartella / "b", opzioni);
  ScriviHotelDemo(cartella / "b", opzioni);  // written over: the same again
  opzioni.seme = 43;
  ScriviHotelDemo(cartella / "c", opzioni);
  int diversi = 0;
  std::vector<const char*> file_scritti = {t::kFileFiltro};
  for (const auto& attesa : kAttese) file_scritti.push_back(attesa.file);
  for (const char* file : file_scritti) {
    SCOPED_TRACE(file);
    std::string a = Leggi(cartella.Percorso() / "a" / file);
    ASSERT_FALSE(a.empty());
    EXPECT_TRUE(a == Leggi(cartella.Percorso() / "b" / file));
    diversi += a != Leggi(cartella.Percorso() / "c" / file);
  }
  // The fixed lists (items, boards, room types, rooms) do not depend on the seed; the stays do.
  EXPECT_GE(diversi, 8);
  Sql a(cartella / "a/Arrangiamento.mdb"), c(cartella / "c/Arrangiamento.mdb");
  EXPECT_NE(a.Righe("SELECT * FROM Arrangiamento"), c.Righe("SELECT * FROM Arrangiamento"));
}

TEST(ScriviHotelDemo, OpzioniNonValideSonoRifiutateConUnMessaggio) {
  struct Caso {
    const char* nome;
    void (*cambia)(OpzioniDemo&);
  };
  const Caso casi[] = {
      {"data inesistente", [](OpzioniDemo& o) { o.dal = "30/02/2024"; }},
      {"anno di tre cifre", [](OpzioniDemo& o) { o.dal = "01/01/024"; }},
      {"data al contrario", [](OpzioniDemo& o) { o.dal = "2024/01/01"; }},
      {"nessuna camera", [](OpzioniDemo& o) { o.camere = 0; }},
      {"nessun giorno", [](OpzioniDemo& o) { o.giorni = 0; }},
      {"storico negativo", [](OpzioniDemo& o) { o.giorni_storico = -1; }},
      {"occupazione nulla", [](OpzioniDemo& o) { o.occupazione = 0; }},
      {"occupazione oltre il tutto", [](OpzioniDemo& o) { o.occupazione = 1.5; }},
  };
  EXPECT_EQ(ControllaOpzioni(OpzioniDemo{}), "");
  Cartella cartella;
  for (const Caso& caso : casi) {
    SCOPED_TRACE(caso.nome);
    OpzioniDemo opzioni;
    caso.cambia(opzioni);
    EXPECT_NE(ControllaOpzioni(opzioni), "");
    EXPECT_THROW(ScriviHotelDemo(cartella / "h", opzioni), Errore);
  }
  EXPECT_FALSE(fs::exists(cartella.Percorso() / "h"));
}

TEST(ScriviHotelDemo, UnaCameraPerUnGiornoSenzaStoricoBasta) {
  Cartella cartella;
  OpzioniDemo opzioni;
  opzioni.camere = 1;
  opzioni.giorni = 1;
  opzioni.giorni_storico = 0;
  opzioni.occupazione = 1;
  RiepilogoDemo r = ScriviHotelDemo(cartella.Percorso().string(), opzioni);
  EXPECT_EQ(r.camere_letto, 1);
  EXPECT_EQ(r.notti_vendute, 1);  // full house: the one room is sold on the one day
  EXPECT_EQ(r.schede_storico, 0);
  EXPECT_EQ(Sql(cartella / t::kFileTipiCamere)
                .Numero("SELECT sum(Quantita) FROM TipiCamere WHERE Tipologia = 'C'"),
            1);
}

struct Hotel {
  const char* nome;
  OpzioniDemo opzioni;
};

OpzioniDemo Opzioni(int camere, int giorni, const char* dal, int storico, uint32_t seme,
                    double occupazione = 0.75) {
  OpzioniDemo o;
  o.camere = camere;
  o.giorni = giorni;
  o.dal = dal;
  o.giorni_storico = storico;
  o.seme = seme;
  o.occupazione = occupazione;
  return o;
}

class HotelDemo : public testing::TestWithParam<Hotel> {
 protected:
  void SetUp() override {
    riepilogo_ = ScriviHotelDemo(cartella_.Percorso().string(), GetParam().opzioni);
  }
  // A connection that sees every hotel file under a name of its own; the two small lists of
  // items and boards (VociFattura, NomiArrangiamenti) are copied in, as SQLite attaches at most
  // ten files.
  Sql Tutti() {
    Sql sql(":memory:");
    for (auto [f, tabella] : {std::pair{t::kFileVociFattura, t::kVociFattura},
                              std::pair{t::kFileArrangiamenti, t::kNomiArrangiamenti}}) {
      sql.Allega(cartella_ / f, "x");
      sql.Righe(std::string("CREATE TABLE ") + tabella + " AS SELECT * FROM x." + tabella);
      sql.Righe("DETACH DATABASE x");
    }
    const std::pair<const char*, const char*> file[] = {
        {t::kFileTipiCamere, "tipi"},          {t::kFileNumeriCamere, "numeri"},
        {t::kFileCamerePrenotazione, "righe"}, {t::kFileSchedaPrenotazione, "pren"},
        {t::kFileSchedaCliente, "schede"},     {t::kFileDittaIntestataria, "ditte"},
        {t::kFileArrangiamento, "addebiti"},   {t::kFileSchedaStorico, "st_schede"},
        {t::kFileDittaStorico, "st_ditte"},    {t::kFileArrangiamentoStorico, "st_addebiti"}};
    for (auto [f, nome] : file) sql.Allega(cartella_ / f, nome);
    return sql;
  }
  // Date key of `dal`.
  std::string ChiaveDal() {
    const std::string& d = GetParam().opzioni.dal;
    return d.substr(6, 4) + d.substr(3, 2) + d.substr(0, 2);
  }

  Cartella cartella_;
  RiepilogoDemo riepilogo_;
};

// ScartoAnno of the archived card s, and the code sets the company lookups search.
const std::string kScarto = "CAST(substr(s.DataArrivo, 3, 2) AS INTEGER) * 1000000";
const std::string kDitte = "(SELECT CodiceCliente FROM ditte.Ditta_Intestataria)";
const std::string kDitteSt = "(SELECT CodiceCliente FROM st_ditte.Ditta_Intestataria)";

// Every path of the three passes has data to walk: each count must be above 0.
TEST_P(HotelDemo, IDatiToccanoOgniCasoDeiPassaggi) {
  std::vector<std::pair<std::string, std::string>> casi = {
      {"prenotazione senza ditta",
       "SELECT count(*) FROM pren.Scheda_Prenotazione WHERE Ditta = '' OR Ditta IS NULL"},
      {"ditta con apostrofo",
       "SELECT count(*) FROM pren.Scheda_Prenotazione WHERE Ditta LIKE '%''%'"},
      {"prenotazione di piu' righe",
       "SELECT count(*) FROM (SELECT 1 FROM righe.Camere_Prenotazione GROUP BY "
       "NumeroPrenotazione HAVING count(*) > 1)"},
      {"riga di due camere",
       "SELECT count(*) FROM righe.Camere_Prenotazione WHERE \"QuantitàCamere\" = 2"},
      {"riga senza persone",
       "SELECT count(*) FROM righe.Camere_Prenotazione WHERE NumeroPersone = 0"},
      {"riga di tipo non camera",
       "SELECT count(*) FROM righe.Camere_Prenotazione r JOIN tipi.TipiCamere c ON c.Sigla = "
       "r.TipoCamera WHERE c.Tipologia <> 'C'"},
      {"riga senza addebiti",
       "SELECT count(*) FROM righe.Camere_Prenotazione r WHERE NOT EXISTS (SELECT 1 FROM "
       "addebiti.Arrangiamento a WHERE a.CodiceCliente = r.NumeroPrenotazione AND "
       "a.NumeroCamera = '*' || r.NumeroCamera)"},
      {"cliente in casa", "SELECT count(*) FROM schede.Scheda_Cliente WHERE Partito = 'N'"},
      {"cliente partito prima del previsto",
       "SELECT count(*) FROM schede.Scheda_Cliente WHERE Partito = 'S' AND "
       "DataPartenzaReale < DataPartenza"},
      {"storico partito prima del previsto",
       "SELECT count(*) FROM st_schede.Scheda_Cliente WHERE DataPartenzaReale < DataPartenza"},
      {"secondo ospite della camera",
       "SELECT count(*) FROM schede.Scheda_Cliente WHERE NumeroComponente = 2"},
      {"storico in camera non piu' esistente",
       "SELECT count(*) FROM st_schede.Scheda_Cliente WHERE NumeroCamera NOT IN (SELECT "
       "NumeroCamera FROM numeri.NumeriCamere)"},
      {"ditta propria",
       "SELECT count(*) FROM schede.Scheda_Cliente s WHERE NumeroProgressivo IN " + kDitte},
      {"ditta del capofamiglia",
       "SELECT count(*) FROM schede.Scheda_Cliente s WHERE NumeroProgressivo NOT IN " + kDitte +
           " AND CodiceCapoFamiglia IN " + kDitte},
      {"ditta del capogruppo",
       "SELECT count(*) FROM schede.Scheda_Cliente s WHERE CodiceCapoFamiglia > 0 AND "
       "NumeroProgressivo NOT IN " +
           kDitte + " AND CodiceCapoFamiglia NOT IN " + kDitte + " AND CodiceCapoGruppo IN " +
           kDitte},
      {"capogruppo senza ditta",
       "SELECT count(*) FROM schede.Scheda_Cliente s WHERE CodiceCapoGruppo > 0 AND "
       "CodiceCapoGruppo NOT IN " +
           kDitte},
      {"storico con ditta del capofamiglia",
       "SELECT count(*) FROM st_schede.Scheda_Cliente s WHERE NumeroProgressivo NOT IN " +
           kDitteSt + " AND CodiceCapoFamiglia + " + kScarto + " IN " + kDitteSt},
      {"storico con ditta del capogruppo",
       "SELECT count(*) FROM st_schede.Scheda_Cliente s WHERE CodiceCapoFamiglia > 0 AND "
       "NumeroProgressivo NOT IN " +
           kDitteSt + " AND CodiceCapoFamiglia + " + kScarto + " NOT IN " + kDitteSt +
           " AND CodiceCapoGruppo + " + kScarto + " IN " + kDitteSt},
      {"voce senza reparto", "SELECT count(*) FROM VociFattura WHERE Reparto = ''"},
      {"cambio camera",
       "SELECT count(*) FROM addebiti.Arrangiamento a JOIN schede.Scheda_Cliente s ON "
       "s.NumeroProgressivo = a.CodiceCliente WHERE a.NumeroCamera NOT LIKE '*%' AND "
       "a.NumeroCamera <> s.NumeroCamera"},
  };
  for (const char* tipo : {"C", "D", "O", "X"}) {
    casi.push_back({std::string("prenotazione di tipo ") + tipo,
                    "SELECT count(*) FROM pren.Scheda_Prenotazione WHERE TipoPrenotazione = '" +
                        std::string(tipo) + "'"});
  }
  for (const char* schede : {"schede", "st_schede"}) {
    casi.push_back({std::string(schede) + " in camera non letto",
                    "SELECT count(*) FROM " + std::string(schede) +
                        ".Scheda_Cliente s JOIN numeri.NumeriCamere n USING (NumeroCamera) JOIN "
                        "tipi.TipiCamere c ON c.Sigla = n.TipoCamera WHERE c.Tipologia <> 'C'"});
  }
  // How the charge lines of bookings, of live cards and of archived cards are sorted.
  const std::string voce =
      " a JOIN VociFattura v ON v.Codice = a.VoceAddebito WHERE a.Descrizione NOT GLOB "
      "'*SUPPL*' AND ";
  const std::pair<std::string, std::string> linee[] = {
      {"prenotazioni", "addebiti.Arrangiamento a WHERE a.NumeroCamera LIKE '*%'"},
      {"schede", "addebiti.Arrangiamento a WHERE a.NumeroCamera NOT LIKE '*%'"},
      {"storico", "st_addebiti.Arrangiamento a WHERE 1"}};
  for (const auto& [nome, da] : linee) {
    const std::string conta = "SELECT count(*) FROM (SELECT a.* FROM " + da + ")";
    casi.push_back({nome + ": SUPPL", conta + " a WHERE Descrizione GLOB '*SUPPL*'"});
    casi.push_back({nome + ": extra", conta + voce + "v.Reparto <> 'ARR'"});
    casi.push_back({nome + ": voce mancante", conta + " a WHERE VoceAddebito NOT IN (SELECT "
                                                      "Codice FROM VociFattura)"});
    casi.push_back({nome + ": pensione mancante",
                    conta + voce +
                        "v.Reparto = 'ARR' AND a.Arrangiamento NOT IN (SELECT Sigla "
                        "FROM NomiArrangiamenti)"});
    for (const char* tipo : {"S", "C", "M", "1", "P", "A", "D"}) {
      casi.push_back({nome + ": pensione di tipo " + tipo,
                      conta + voce + "v.Reparto = 'ARR' AND a.Arrangiamento IN (SELECT Sigla " +
                          "FROM NomiArrangiamenti WHERE Tipo = '" + tipo + "')"});
    }
  }
  Sql sql = Tutti();
  for (const auto& [nome, conta] : casi) EXPECT_GT(sql.Numero(conta), 0) << nome;
}

// What holds for every row: the links the passes follow lead somewhere, the forms are right.
// Each count is of the rows that break the rule.
TEST_P(HotelDemo, ICollegamentiEIFormatiReggonoSuOgniRiga) {
  const std::string dal = "'" + ChiaveDal() + "'";
  const std::pair<const char*, std::string> casi[] = {
      {"addebito di prenotazione senza la sua riga",
       "SELECT count(*) FROM addebiti.Arrangiamento a WHERE NumeroCamera LIKE '*%' AND NOT "
       "EXISTS (SELECT 1 FROM righe.Camere_Prenotazione r WHERE r.NumeroPrenotazione = "
       "a.CodiceCliente AND '*' || r.NumeroCamera = a.NumeroCamera)"},
      {"riga senza prenotazione",
       "SELECT count(*) FROM righe.Camere_Prenotazione WHERE NumeroPrenotazione NOT IN (SELECT "
       "NumeroPrenotazione FROM pren.Scheda_Prenotazione)"},
      {"righe di una prenotazione non numerate 1, 2, 3",
       "SELECT count(*) FROM righe.Camere_Prenotazione r WHERE NumeroCamera NOT IN ('1','2','3') "
       "OR (SELECT count(*) FROM righe.Camere_Prenotazione q WHERE q.NumeroPrenotazione = "
       "r.NumeroPrenotazione AND q.NumeroCamera = r.NumeroCamera) <> 1"},
      {"quantita' o persone fuori misura",
       "SELECT count(*) FROM righe.Camere_Prenotazione WHERE \"QuantitàCamere\" NOT BETWEEN 1 "
       "AND 2 OR NumeroPersone NOT BETWEEN 0 AND 4 OR DataPartenza <= DataArrivo OR "
       "DataArrivo NOT GLOB '[12][0-9][0-9][0-9][01][0-9][0-3][0-9]'"},
      {"numeri doppi",
       "SELECT (SELECT count(*) - count(DISTINCT NumeroPrenotazione) FROM "
       "pren.Scheda_Prenotazione) + (SELECT count(*) - count(DISTINCT NumeroProgressivo) FROM "
       "schede.Scheda_Cliente) + (SELECT count(*) - count(DISTINCT NumeroProgressivo) FROM "
       "st_schede.Scheda_Cliente) + (SELECT count(*) - count(DISTINCT Sigla) FROM "
       "tipi.TipiCamere)"},
      {"Quantita diversa dalle camere del tipo",
       "SELECT count(*) FROM tipi.TipiCamere t WHERE Quantita <> (SELECT count(*) FROM "
       "numeri.NumeriCamere n WHERE n.TipoCamera = t.Sigla)"},
      {"scheda viva fuori dalle camere dell'hotel",
       "SELECT count(*) FROM schede.Scheda_Cliente WHERE NumeroCamera NOT IN (SELECT "
       "NumeroCamera FROM numeri.NumeriCamere)"},
      {"partito senza data reale o in casa con",
       "SELECT count(*) FROM schede.Scheda_Cliente WHERE (Partito = 'S') <> (DataPartenzaReale "
       "IS NOT NULL) OR Partito NOT IN ('S','N')"},
      {"in casa con partenza prima di una partenza reale",
       "SELECT count(*) FROM schede.Scheda_Cliente WHERE Partito = 'N' AND DataPartenza <= "
       "(SELECT max(DataPartenzaReale) FROM schede.Scheda_Cliente)"},
      {"date della scheda fuori ordine",
       "SELECT count(*) FROM schede.Scheda_Cliente WHERE DataArrivo NOT GLOB "
       "'[12][0-9][0-9][0-9][01][0-9][0-3][0-9]' OR DataPartenza <= DataArrivo OR "
       "DataPartenzaReale <= DataArrivo"},
      {"componente senza il precedente nella camera",
       "SELECT count(*) FROM schede.Scheda_Cliente s WHERE NumeroComponente > 1 AND NOT EXISTS "
       "(SELECT 1 FROM schede.Scheda_Cliente c WHERE c.NumeroCamera = s.NumeroCamera AND "
       "c.DataArrivo = s.DataArrivo AND c.NumeroComponente = s.NumeroComponente - 1)"},
      {"capo che non e' una scheda viva",
       "SELECT count(*) FROM schede.Scheda_Cliente s WHERE (CodiceCapoFamiglia > 0 AND "
       "CodiceCapoFamiglia NOT IN (SELECT NumeroProgressivo FROM schede.Scheda_Cliente)) OR "
       "(CodiceCapoGruppo > 0 AND CodiceCapoGruppo NOT IN (SELECT NumeroProgressivo FROM "
       "schede.Scheda_Cliente))"},
      {"addebito o ditta senza scheda",
       "SELECT (SELECT count(*) FROM addebiti.Arrangiamento WHERE NumeroCamera NOT LIKE '*%' "
       "AND CodiceCliente NOT IN (SELECT NumeroProgressivo FROM schede.Scheda_Cliente)) + "
       "(SELECT count(*) FROM ditte.Ditta_Intestataria WHERE RagioneSociale = '' OR "
       "CodiceCliente NOT IN (SELECT NumeroProgressivo FROM schede.Scheda_Cliente))"},
      {"storico non numerato con l'anno di arrivo",
       "SELECT count(*) FROM st_schede.Scheda_Cliente s WHERE NumeroProgressivo / 1000000 * "
       "1000000 <> " +
           kScarto + " OR NumeroProgressivo % 1000000 = 0"},
      {"capo dello storico che non si trova con lo scarto della scheda",
       "SELECT count(*) FROM st_schede.Scheda_Cliente s WHERE (CodiceCapoFamiglia > 0 AND "
       "(CodiceCapoFamiglia >= 1000000 OR CodiceCapoFamiglia + " +
           kScarto +
           " NOT IN (SELECT NumeroProgressivo FROM st_schede.Scheda_Cliente))) OR "
           "(CodiceCapoGruppo > 0 AND (CodiceCapoGruppo >= 1000000 OR CodiceCapoGruppo + " +
           kScarto + " NOT IN (SELECT NumeroProgressivo FROM st_schede.Scheda_Cliente)))"},
      {"storico non partito entro la data di inizio",
       "SELECT count(*) FROM st_schede.Scheda_Cliente WHERE Partito <> 'S' OR "
       "DataPartenzaReale > " +
           dal + " OR DataPartenza > " + dal},
      {"addebito o ditta dello storico senza numero d'archivio",
       "SELECT (SELECT count(*) FROM st_addebiti.Arrangiamento WHERE CodiceCliente NOT IN "
       "(SELECT NumeroProgressivo FROM st_schede.Scheda_Cliente)) + (SELECT count(*) FROM "
       "st_ditte.Ditta_Intestataria WHERE CodiceCliente NOT IN (SELECT NumeroProgressivo FROM "
       "st_schede.Scheda_Cliente))"},
      {"addebito fuori dal soggiorno della scheda",
       "SELECT count(*) FROM addebiti.Arrangiamento a JOIN schede.Scheda_Cliente s ON "
       "s.NumeroProgressivo = a.CodiceCliente WHERE a.NumeroCamera NOT LIKE '*%' AND "
       "(a.DataFine <= a.DataInizio OR a.DataInizio < s.DataArrivo OR a.DataFine > "
       "s.DataPartenza)"},
      {"addebito fuori dal soggiorno della riga",
       "SELECT count(*) FROM addebiti.Arrangiamento a JOIN righe.Camere_Prenotazione r ON "
       "r.NumeroPrenotazione = a.CodiceCliente AND '*' || r.NumeroCamera = a.NumeroCamera WHERE "
       "a.DataFine <= a.DataInizio OR a.DataInizio < r.DataArrivo OR a.DataFine > "
       "r.DataPartenza"},
      {"importo non positivo o non in centesimi",
       "SELECT count(*) FROM (SELECT ImportoTotale i FROM addebiti.Arrangiamento UNION ALL "
       "SELECT ImportoTotale FROM st_addebiti.Arrangiamento) WHERE typeof(i) NOT IN "
       "('real','integer') OR i <= 0 OR abs(i * 100 - round(i * 100)) > 1e-6"},
  };
  Sql sql = Tutti();
  for (const auto& [nome, conta] : casi) EXPECT_EQ(sql.Numero(conta), 0) << nome;
  for (const auto& attesa : kAttese) {
    EXPECT_EQ(Sql(cartella_ / attesa.file)
                  .Numero(std::string("SELECT count(*) FROM \"") + attesa.tabella +
                          "\" WHERE NumeroHotel IS NOT 1"),
              0)
        << attesa.file;
  }
}

TEST_P(HotelDemo, IlRiepilogoContaCioCheEScritto) {
  const OpzioniDemo& o = GetParam().opzioni;
  Sql sql = Tutti();
  const std::pair<int64_t, const char*> conti[] = {
      {riepilogo_.tipi_camere, "tipi.TipiCamere"},
      {riepilogo_.camere, "numeri.NumeriCamere"},
      {riepilogo_.prenotazioni, "pren.Scheda_Prenotazione"},
      {riepilogo_.righe_camere, "righe.Camere_Prenotazione"},
      {riepilogo_.schede_clienti, "schede.Scheda_Cliente"},
      {riepilogo_.schede_storico, "st_schede.Scheda_Cliente"},
      {riepilogo_.ditte, "ditte.Ditta_Intestataria"},
      {riepilogo_.ditte_storico, "st_ditte.Ditta_Intestataria"},
      {riepilogo_.addebiti, "addebiti.Arrangiamento"},
      {riepilogo_.addebiti_storico, "st_addebiti.Arrangiamento"}};
  for (auto [conto, tabella] : conti) {
    EXPECT_EQ(conto, sql.Numero(std::string("SELECT count(*) FROM ") + tabella)) << tabella;
  }
  EXPECT_EQ(riepilogo_.camere_letto, o.camere);
  EXPECT_EQ(sql.Numero("SELECT sum(Quantita) FROM tipi.TipiCamere WHERE Tipologia = 'C'"),
            o.camere);

  // Room nights sold from `dal`: rooms of the bookings that count and first guests of live
  // cards. Date keys become SQLite dates for the day arithmetic.
  auto iso = [](const std::string& k) {
    return "date(substr(" + k + ",1,4)||'-'||substr(" + k + ",5,2)||'-'||substr(" + k + ",7,2))";
  };
  const std::string dal = iso("'" + ChiaveDal() + "'");
  const std::string fine = "date(" + dal + ", '+" + std::to_string(o.giorni) + " days')";
  const std::string notti = "CAST(max(0, julianday(min(" + iso("DataPartenza") + ", " + fine +
                            ")) - julianday(max(" + iso("DataArrivo") + ", " + dal +
                            "))) AS INTEGER)";
  int64_t prenotate =
      sql.Numero("SELECT sum(\"QuantitàCamere\" * " + notti +
                 ") FROM righe.Camere_Prenotazione r JOIN pren.Scheda_Prenotazione p USING "
                 "(NumeroPrenotazione) JOIN tipi.TipiCamere c ON c.Sigla = r.TipoCamera WHERE "
                 "p.TipoPrenotazione IN ('C','D','O') AND c.Tipologia = 'C'");
  int64_t in_casa = sql.Numero("SELECT sum(" + notti +
                               ") FROM schede.Scheda_Cliente JOIN numeri.NumeriCamere n USING "
                               "(NumeroCamera) JOIN tipi.TipiCamere c ON c.Sigla = n.TipoCamera "
                               "WHERE NumeroComponente = 1 AND c.Tipologia = 'C'");
  EXPECT_GT(prenotate, 0);
  EXPECT_GT(in_casa, 0);
  EXPECT_EQ(riepilogo_.notti_vendute, prenotate + in_casa);
}

TEST_P(HotelDemo, IlFiltroHaDueOTreRigheCrLfCheTrovanoAgenzie) {
  std::string testo = Leggi(cartella_.Percorso() / t::kFileFiltro);
  std::vector<std::string> righe;
  size_t inizio = 0;
  for (size_t fine; (fine = testo.find("\r\n", inizio)) != std::string::npos; inizio = fine + 2) {
    righe.push_back(testo.substr(inizio, fine - inizio));
  }
  EXPECT_EQ(inizio, testo.size());  // every line ends with CR LF
  EXPECT_GE(righe.size(), 2u);
  EXPECT_LE(righe.size(), 3u);
  Sql sql = Tutti();
  for (const std::string& riga : righe) {
    EXPECT_FALSE(riga.empty());
    EXPECT_EQ(riga.find_first_of("\r\n"), std::string::npos) << riga;
    std::string quotata;
    for (char c : riga) quotata += c == '\'' ? "''" : std::string(1, c);
    EXPECT_GT(sql.Numero("SELECT count(*) FROM (SELECT Ditta n FROM pren.Scheda_Prenotazione "
                         "UNION ALL SELECT RagioneSociale FROM ditte.Ditta_Intestataria UNION "
                         "ALL SELECT RagioneSociale FROM st_ditte.Ditta_Intestataria) WHERE "
                         "instr(n, '" +
                         quotata + "') > 0"),
              0)
        << riga;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Alberghi, HotelDemo,
    testing::Values(Hotel{"predefinito", OpzioniDemo{}},
                    Hotel{"a_cavallo_d_anno", Opzioni(40, 120, "01/03/2024", 150, 7)},
                    Hotel{"piccolo", Opzioni(12, 90, "15/12/2023", 100, 99)},
                    Hotel{"pieno", Opzioni(20, 70, "29/02/2028", 400, 2024, 0.95)}),
    [](const testing::TestParamInfo<Hotel>& info) { return std::string(info.param.nome); });

// The share of nights sold follows the option, and a room holds about 1.8 guests.
TEST(ScriviHotelDemo, OccupazioneEOspitiPerCameraSeguonoLeOpzioni) {
  for (double occupazione : {0.4, 0.75, 0.95}) {
    SCOPED_TRACE(occupazione);
    Cartella cartella;
    OpzioniDemo o = Opzioni(60, 140, "05/05/2025", 30, 5, occupazione);
    RiepilogoDemo r = ScriviHotelDemo(cartella.Percorso().string(), o);
    double venduta = double(r.notti_vendute) / (double(r.camere_letto) * o.giorni);
    EXPECT_NEAR(venduta, occupazione, 0.06);
    Sql sql(cartella / t::kFileSchedaCliente);
    int64_t schede = sql.Numero(
        "SELECT count(*) FROM Scheda_Cliente WHERE NumeroCamera GLOB "
        "'[0-9]*'");
    int64_t camere = sql.Numero(
        "SELECT count(*) FROM Scheda_Cliente WHERE NumeroCamera GLOB "
        "'[0-9]*' AND NumeroComponente = 1");
    ASSERT_GT(camere, 0);
    EXPECT_NEAR(double(schede) / camere, 1.85, 0.25);
  }
}

// The program reads the files through its engine, with bare file names from the hotel's folder:
// the cross-file SQL of the bookings pass must find rows, and the fields must come back with the
// types the runs add up (16-bit, 32-bit, Currency, text).
TEST(ScriviHotelDemo, IlMotoreRispondeAllSqlDeiPassaggiConITipiDeiCampi) {
  Cartella cartella;
  ScriviHotelDemo(cartella.Percorso().string(), OpzioniDemo{});
  const fs::path prima = fs::current_path();
  fs::current_path(cartella.Percorso());
  struct Ritorna {
    fs::path dove;
    ~Ritorna() { fs::current_path(dove); }
  } ritorna{prima};

  DBEngine motore;
  auto righe = motore.OpenDatabase(t::kFileCamerePrenotazione);
  auto rs = righe->OpenRecordset(
      "Select * From Camere_Prenotazione Where NumeroHotel = 1 and DataArrivo <= '20240229' and "
      "DataPartenza > '20240101' and TipoCamera In (Select Sigla From TipiCamere In "
      "'TipiCamere.mdb' Where NumeroHotel = 1 and Tipologia = 'C') and NumeroPersone > 0;");
  rs->FindFirst("NumeroHotel = 1");
  ASSERT_FALSE(rs->NoMatch());
  EXPECT_EQ(rs->Fields(t::kNumeroPrenotazione).Value().Tipo(), TipoValore::kLungo);
  EXPECT_EQ(rs->Fields(t::kQuantitaCamere).Value().Tipo(), TipoValore::kIntero);
  EXPECT_EQ(rs->Fields(t::kNumeroPersone).Value().Tipo(), TipoValore::kIntero);
  EXPECT_EQ(rs->Fields(t::kNumeroCamera).Value().Tipo(), TipoValore::kTesto);
  EXPECT_EQ(rs->Fields(t::kDataArrivo).Value().Tipo(), TipoValore::kTesto);

  auto addebiti = motore.OpenDatabase(t::kFileArrangiamentoStorico);
  auto linee = addebiti->OpenRecordset(t::kArrangiamento);
  linee->FindFirst("NumeroHotel = 1 and VoceAddebito = 10");
  ASSERT_FALSE(linee->NoMatch());
  Valore importo = linee->Fields(t::kImportoTotale).Value();
  ASSERT_EQ(importo.Tipo(), TipoValore::kValuta);
  EXPECT_EQ(importo.ComeValuta().Decimillesimi() % 100, 0);  // whole cents
  EXPECT_EQ(linee->Fields(t::kCodiceCliente).Value().Tipo(), TipoValore::kLungo);
}

// ---- vendrix-demo --------------------------------------------------------------------------

TEST(VendrixDemo, ArgomentiUscitaERiepilogo) {
  const fs::path programma = fs::path(VENDRIX_APP_DIR) / "vendrix-demo";
  ASSERT_TRUE(fs::exists(programma)) << "compilare il target vendrix-demo";
  Cartella cartella;
  std::ofstream(cartella.Percorso() / "un_file") << "x";
  struct Caso {
    const char* nome;
    std::string argomenti;
    int uscita;
    const char* in_uscita;  // text expected on stdout (exit 0) or stderr
  };
  const std::string hotel = (cartella.Percorso() / "hotel").string();
  const Caso casi[] = {
      {"aiuto", "--help", 0, "--camere"},
      {"senza cartella", "", 2, "Uso:"},
      {"numero non valido", hotel + " --camere 3x", 2, "--camere"},
      {"opzione sconosciuta", hotel + " --stelle 5", 2, "--stelle"},
      {"valore mancante", hotel + " --giorni", 2, "--giorni"},
      {"data non valida", hotel + " --dal 31/04/2024", 2, "31/04/2024"},
      {"camere fuori misura", hotel + " --camere 0", 2, "camere"},
      {"due cartelle", hotel + " altra", 2, "altra"},
      {"cartella impossibile", (cartella.Percorso() / "un_file" / "sotto").string(), 1, "un_file"},
      {"hotel scritto", hotel + " --camere 8 --giorni 20 --storico 10 --seme 3", 0, "8 da letto"},
  };
  for (const Caso& caso : casi) {
    SCOPED_TRACE(caso.nome);
    const fs::path out = cartella.Percorso() / "out.txt", err = cartella.Percorso() / "err.txt";
    std::string comando =
        programma.string() + " " + caso.argomenti + " >" + out.string() + " 2>" + err.string();
    int stato = std::system(comando.c_str());
    ASSERT_TRUE(WIFEXITED(stato));
    EXPECT_EQ(WEXITSTATUS(stato), caso.uscita);
    std::string testo = Leggi(caso.uscita == 0 ? out : err);
    EXPECT_NE(testo.find(caso.in_uscita), std::string::npos) << testo;
  }
  EXPECT_TRUE(fs::exists(cartella.Percorso() / "hotel" / t::kFileArrangiamentoStorico));
}

}  // namespace
}  // namespace vendrix::demo
