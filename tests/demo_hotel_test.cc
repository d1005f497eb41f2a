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
#include <vector>

#include "app/demo/hotel_demo.h"
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
    percorso_ = fs::temp_directory_path() /
                ("vendrix_demo_" + nome + "_" + std::to_string(getpid()));
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
  explicit Sql(const std::string& file) {
    if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << "apertura di " << file << ": " << sqlite3_errmsg(db_);
    }
  }
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

struct CampoAtteso {
  const char* nome;
  const char* tipo;
};
struct TabellaAttesa {
  const char* file;
  const char* tabella;
  std::vector<CampoAtteso> campi;
};

// The layout the runs read: every field named in the hotel tables, with the declared SQLite
// type that gives the engine its field type.
std::vector<TabellaAttesa> Attese() {
  std::vector<CampoAtteso> scheda = {
      {t::kNumeroHotel, "SMALLINT"},         {t::kNumeroProgressivo, "INTEGER"},
      {t::kNomeCliente, "VARCHAR(60)"},      {t::kNumeroCamera, "VARCHAR(10)"},
      {t::kDataArrivo, "VARCHAR(8)"},        {t::kDataPartenza, "VARCHAR(8)"},
      {t::kDataPartenzaReale, "VARCHAR(8)"}, {t::kPartito, "VARCHAR(1)"},
      {t::kNumeroComponente, "SMALLINT"},    {t::kCodiceCapoFamiglia, "INTEGER"},
      {t::kCodiceCapoGruppo, "INTEGER"}};
  std::vector<CampoAtteso> ditta = {{t::kNumeroHotel, "SMALLINT"},
                                    {t::kCodiceCliente, "INTEGER"},
                                    {t::kRagioneSociale, "VARCHAR(100)"}};
  std::vector<CampoAtteso> addebito = {
      {t::kNumeroHotel, "SMALLINT"},  {t::kCodiceCliente, "INTEGER"},
      {t::kNumeroCamera, "VARCHAR(10)"}, {t::kDataInizio, "VARCHAR(8)"},
      {t::kDataFine, "VARCHAR(8)"},   {t::kImportoTotale, "CURRENCY"},
      {t::kDescrizione, "VARCHAR(60)"}, {t::kVoceAddebito, "INTEGER"},
      {t::kArrangiamento, "VARCHAR(10)"}};
  return {
      {t::kFileTipiCamere,
       t::kTipiCamere,
       {{t::kNumeroHotel, "SMALLINT"},
        {t::kSigla, "VARCHAR(10)"},
        {t::kTipologia, "VARCHAR(1)"},
        {t::kDescrizione, "VARCHAR(50)"},
        {t::kQuantita, "SMALLINT"}}},
      {t::kFileNumeriCamere,
       t::kNumeriCamere,
       {{t::kNumeroHotel, "SMALLINT"},
        {t::kNumeroCamera, "VARCHAR(10)"},
        {t::kTipoCamera, "VARCHAR(10)"}}},
      {t::kFileCamerePrenotazione,
       t::kCamerePrenotazione,
       {{t::kNumeroHotel, "SMALLINT"},
        {t::kNumeroPrenotazione, "INTEGER"},
        {t::kNumeroCamera, "VARCHAR(10)"},
        {t::kDataArrivo, "VARCHAR(8)"},
        {t::kDataPartenza, "VARCHAR(8)"},
        {t::kTipoCamera, "VARCHAR(10)"},
        {t::kQuantitaCamere, "SMALLINT"},
        {t::kNumeroPersone, "SMALLINT"}}},
      {t::kFileSchedaPrenotazione,
       t::kSchedaPrenotazione,
       {{t::kNumeroHotel, "SMALLINT"},
        {t::kNumeroPrenotazione, "INTEGER"},
        {t::kTipoPrenotazione, "VARCHAR(1)"},
        {t::kDitta, "VARCHAR(100)"}}},
      {t::kFileSchedaCliente, t::kSchedaCliente, scheda},
      {t::kFileDittaIntestataria, t::kDittaIntestataria, ditta},
      {t::kFileArrangiamento, t::kArrangiamento, addebito},
      {t::kFileVociFattura,
       t::kVociFattura,
       {{t::kNumeroHotel, "SMALLINT"},
        {t::kCodice, "INTEGER"},
        {t::kDescrizione, "VARCHAR(60)"},
        {t::kReparto, "VARCHAR(10)"}}},
      {t::kFileArrangiamenti,
       t::kNomiArrangiamenti,
       {{t::kNumeroHotel, "SMALLINT"},
        {t::kSigla, "VARCHAR(10)"},
        {t::kDescrizione, "VARCHAR(60)"},
        {t::kTipo, "VARCHAR(1)"}}},
      {t::kFileSchedaStorico, t::kSchedaCliente, scheda},
      {t::kFileDittaStorico, t::kDittaIntestataria, ditta},
      {t::kFileArrangiamentoStorico, t::kArrangiamento, addebito},
  };
}

TEST(CreaFileHotel, OgniFileHaLaSuaTabellaVuotaConICampiEITipiAttesi) {
  Cartella cartella;
  CreaFileHotel(cartella.Percorso().string());
  for (const TabellaAttesa& attesa : Attese()) {
    SCOPED_TRACE(attesa.file);
    ASSERT_TRUE(fs::exists(cartella.Percorso() / attesa.file));
    Sql sql(cartella / attesa.file);
    auto tabelle = sql.Righe("SELECT name FROM sqlite_master WHERE type = 'table'");
    ASSERT_EQ(tabelle.size(), 1u);
    EXPECT_EQ(tabelle[0][0], attesa.tabella);
    auto campi = sql.Righe(std::string("SELECT name, type FROM pragma_table_info('") +
                           attesa.tabella + "') ORDER BY cid");
    ASSERT_EQ(campi.size(), attesa.campi.size());
    for (size_t i = 0; i < campi.size(); ++i) {
      EXPECT_EQ(campi[i][0], attesa.campi[i].nome);
      EXPECT_EQ(campi[i][1], attesa.campi[i].tipo) << attesa.campi[i].nome;
    }
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

TEST(InserisciRighe, OgniTipoDiValoreSiRileggeComeScritto) {
  Cartella cartella;
  CreaFileHotel(cartella.Percorso().string());
  const std::string file = cartella / t::kFileArrangiamento;
  struct Caso {
    const char* nome;
    const char* campo;
    Valore valore;
    const char* tipo_sqlite;
    const char* letto;  // quote() of the stored value
  };
  const Caso casi[] = {
      {"Null", t::kArrangiamento, Valore(), "null", "NULL"},
      {"testo con apostrofo", t::kDescrizione, Valore("L'Agenzia Viaggi"), "text",
       "'L''Agenzia Viaggi'"},
      {"testo UTF-8", t::kDescrizione, Valore("Società già pagata"), "text",
       "'Società già pagata'"},
      {"testo vuoto", t::kNumeroCamera, Valore(""), "text", "''"},
      {"intero a 16 bit", t::kNumeroHotel, Valore(int16_t{-7}), "integer", "-7"},
      {"intero a 32 bit", t::kCodiceCliente, Valore(int32_t{24000123}), "integer", "24000123"},
      {"doppio", t::kImportoTotale, Valore(12.75), "real", "12.75"},
      {"valuta con centesimi", t::kImportoTotale, Valore(Valuta::DaDecimillesimi(855000)), "real",
       "85.5"},
      {"valuta a quattro decimali", t::kImportoTotale,
       Valore(Valuta::DaDecimillesimi(-123456)), "real", "-12.3456"},
      {"booleano vero", t::kVoceAddebito, Valore(true), "integer", "1"},
      {"booleano falso", t::kVoceAddebito, Valore(false), "integer", "0"},
  };
  for (const Caso& caso : casi) {
    SCOPED_TRACE(caso.nome);
    InserisciRighe(file, t::kArrangiamento, {caso.campo}, {{caso.valore}});
    Sql sql(file);
    auto riga = sql.Righe(std::string("SELECT typeof(\"") + caso.campo + "\"), quote(\"" +
                          caso.campo + "\") FROM Arrangiamento ORDER BY rowid DESC LIMIT 1");
    ASSERT_EQ(riga.size(), 1u);
    EXPECT_EQ(riga[0][0], caso.tipo_sqlite);
    EXPECT_EQ(riga[0][1], caso.letto);
  }
}

TEST(InserisciRighe, ScriveMoltiCampiEMolteRigheNellOrdineDato) {
  Cartella cartella;
  CreaFileHotel(cartella.Percorso().string());
  const std::string file = cartella / t::kFileCamerePrenotazione;
  InserisciRighe(file, t::kCamerePrenotazione,
                 {t::kNumeroPrenotazione, t::kNumeroCamera, t::kQuantitaCamere, t::kNumeroHotel},
                 {{Valore(int32_t{7}), Valore("1"), Valore(int16_t{2}), Valore(int16_t{1})},
                  {Valore(int32_t{7}), Valore("2"), Valore(int16_t{1}), Valore(int16_t{1})}});
  Sql sql(file);
  auto righe = sql.Righe(
      "SELECT NumeroHotel, NumeroPrenotazione, NumeroCamera, \"QuantitàCamere\", NumeroPersone "
      "FROM Camere_Prenotazione ORDER BY rowid");
  std::vector<std::vector<std::string>> attese = {{"1", "7", "1", "2", "NULL"},
                                                  {"1", "7", "2", "1", "NULL"}};
  EXPECT_EQ(righe, attese);
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
      {"file mancante", mancante, t::kTipiCamere, {t::kSigla}, {{Valore("A")}},
       {"Mancante.mdb", t::kTipiCamere}},
      {"tabella mancante", file, "NonCe", {t::kSigla}, {{Valore("A")}},
       {t::kFileTipiCamere, "NonCe"}},
      {"campo mancante", file, t::kTipiCamere, {"NonCe"}, {{Valore("A")}},
       {t::kFileTipiCamere, t::kTipiCamere}},
      {"terza riga troppo corta", file, t::kTipiCamere, {t::kSigla, t::kQuantita},
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

const char* const kFileDemo[] = {
    t::kFileTipiCamere,         t::kFileNumeriCamere,     t::kFileCamerePrenotazione,
    t::kFileSchedaPrenotazione, t::kFileSchedaCliente,    t::kFileDittaIntestataria,
    t::kFileArrangiamento,      t::kFileVociFattura,      t::kFileArrangiamenti,
    t::kFileSchedaStorico,      t::kFileDittaStorico,     t::kFileArrangiamentoStorico,
    t::kFileFiltro};

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
  for (const char* file : kFileDemo) {
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
      {"data senza zeri", [](OpzioniDemo& o) { o.dal = "1/1/2024"; }},
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
  std::string File(const char* file) { return cartella_ / file; }
  // The file, with every other hotel file attached under its table's name in lower case
  // (history files: "storico_" + table).
  Sql Apri(const char* file) {
    Sql sql(File(file));
    const std::pair<const char*, const char*> allegati[] = {
        {t::kFileTipiCamere, "tipi"},          {t::kFileNumeriCamere, "numeri"},
        {t::kFileCamerePrenotazione, "righe"}, {t::kFileSchedaPrenotazione, "pren"},
        {t::kFileSchedaCliente, "schede"},     {t::kFileDittaIntestataria, "ditte"},
        {t::kFileArrangiamento, "addebiti"},   {t::kFileVociFattura, "voci"},
        {t::kFileArrangiamenti, "tratt"},      {t::kFileSchedaStorico, "st_schede"},
        {t::kFileDittaStorico, "st_ditte"},    {t::kFileArrangiamentoStorico, "st_addebiti"}};
    for (auto [f, nome] : allegati) {
      if (std::string(f) != file) sql.Allega(File(f), nome);
    }
    return sql;
  }

  Cartella cartella_;
  RiepilogoDemo riepilogo_;
};

// Every path of the three passes has data to walk.
TEST_P(HotelDemo, IDatiToccanoOgniCasoDeiPassaggi) {
  struct Caso {
    const char* nome;
    const char* file;
    const char* sql;  // a count that must not be 0
  };
  // Charge lines by how they are sorted; :F: is replaced by the lines' selection.
  const std::string tipo_pensione =
      "SELECT count(*) FROM Arrangiamento a JOIN voci.VociFattura v ON v.Codice = a.VoceAddebito "
      "JOIN tratt.NomiArrangiamenti n ON n.Sigla = a.Arrangiamento WHERE v.Reparto = 'ARR' AND "
      "a.Descrizione NOT LIKE '%SUPPL%' AND ";
  std::vector<Caso> casi = {
      {"prenotazione confermata C", t::kFileSchedaPrenotazione,
       "SELECT count(*) FROM Scheda_Prenotazione WHERE TipoPrenotazione = 'C'"},
      {"prenotazione confermata D", t::kFileSchedaPrenotazione,
       "SELECT count(*) FROM Scheda_Prenotazione WHERE TipoPrenotazione = 'D'"},
      {"prenotazione opzionata O", t::kFileSchedaPrenotazione,
       "SELECT count(*) FROM Scheda_Prenotazione WHERE TipoPrenotazione = 'O'"},
      {"prenotazione annullata", t::kFileSchedaPrenotazione,
       "SELECT count(*) FROM Scheda_Prenotazione WHERE TipoPrenotazione NOT IN ('C','D','O')"},
      {"prenotazione senza ditta", t::kFileSchedaPrenotazione,
       "SELECT count(*) FROM Scheda_Prenotazione WHERE Ditta = '' OR Ditta IS NULL"},
      {"ditta con apostrofo", t::kFileSchedaPrenotazione,
       "SELECT count(*) FROM Scheda_Prenotazione WHERE Ditta LIKE '%''%'"},
      {"prenotazione di piu' righe", t::kFileCamerePrenotazione,
       "SELECT count(*) FROM (SELECT NumeroPrenotazione FROM Camere_Prenotazione "
       "GROUP BY 1 HAVING count(*) > 1)"},
      {"riga di due camere", t::kFileCamerePrenotazione,
       "SELECT count(*) FROM Camere_Prenotazione WHERE \"QuantitàCamere\" = 2"},
      {"riga senza persone", t::kFileCamerePrenotazione,
       "SELECT count(*) FROM Camere_Prenotazione WHERE NumeroPersone = 0"},
      {"riga di tipo non camera", t::kFileCamerePrenotazione,
       "SELECT count(*) FROM Camere_Prenotazione r JOIN tipi.TipiCamere c ON c.Sigla = "
       "r.TipoCamera WHERE c.Tipologia <> 'C'"},
      {"riga senza addebiti", t::kFileCamerePrenotazione,
       "SELECT count(*) FROM Camere_Prenotazione r WHERE NOT EXISTS (SELECT 1 FROM "
       "addebiti.Arrangiamento a WHERE a.CodiceCliente = r.NumeroPrenotazione AND "
       "a.NumeroCamera = '*' || r.NumeroCamera)"},
      {"tipo di camera non letto", t::kFileTipiCamere,
       "SELECT count(*) FROM TipiCamere WHERE Tipologia <> 'C'"},
      {"cliente in casa", t::kFileSchedaCliente,
       "SELECT count(*) FROM Scheda_Cliente WHERE Partito = 'N'"},
      {"cliente partito", t::kFileSchedaCliente,
       "SELECT count(*) FROM Scheda_Cliente WHERE Partito = 'S'"},
      {"partito prima del previsto", t::kFileSchedaCliente,
       "SELECT count(*) FROM Scheda_Cliente WHERE Partito = 'S' AND DataPartenzaReale < "
       "DataPartenza"},
      {"storico partito prima del previsto", t::kFileSchedaStorico,
       "SELECT count(*) FROM Scheda_Cliente WHERE DataPartenzaReale < DataPartenza"},
      {"secondo ospite della camera", t::kFileSchedaCliente,
       "SELECT count(*) FROM Scheda_Cliente WHERE NumeroComponente = 2"},
      {"scheda in camera non letto", t::kFileSchedaCliente,
       "SELECT count(*) FROM Scheda_Cliente s JOIN numeri.NumeriCamere n ON n.NumeroCamera = "
       "s.NumeroCamera JOIN tipi.TipiCamere c ON c.Sigla = n.TipoCamera WHERE c.Tipologia <> 'C'"},
      {"storico in camera non letto", t::kFileSchedaStorico,
       "SELECT count(*) FROM Scheda_Cliente s JOIN numeri.NumeriCamere n ON n.NumeroCamera = "
       "s.NumeroCamera JOIN tipi.TipiCamere c ON c.Sigla = n.TipoCamera WHERE c.Tipologia <> 'C'"},
      {"storico in camera non piu' esistente", t::kFileSchedaStorico,
       "SELECT count(*) FROM Scheda_Cliente WHERE NumeroCamera NOT IN (SELECT NumeroCamera FROM "
       "numeri.NumeriCamere)"},
      {"ditta propria", t::kFileSchedaCliente,
       "SELECT count(*) FROM Scheda_Cliente s WHERE s.NumeroProgressivo IN "
       "(SELECT CodiceCliente FROM ditte.Ditta_Intestataria)"},
      {"ditta del capofamiglia", t::kFileSchedaCliente,
       "SELECT count(*) FROM Scheda_Cliente s WHERE s.NumeroProgressivo NOT IN (SELECT "
       "CodiceCliente FROM ditte.Ditta_Intestataria) AND s.CodiceCapoFamiglia IN "
       "(SELECT CodiceCliente FROM ditte.Ditta_Intestataria)"},
      {"ditta del capogruppo", t::kFileSchedaCliente,
       "SELECT count(*) FROM Scheda_Cliente s WHERE s.CodiceCapoFamiglia > 0 AND "
       "s.NumeroProgressivo NOT IN (SELECT CodiceCliente FROM ditte.Ditta_Intestataria) AND "
       "s.CodiceCapoFamiglia NOT IN (SELECT CodiceCliente FROM ditte.Ditta_Intestataria) AND "
       "s.CodiceCapoGruppo IN (SELECT CodiceCliente FROM ditte.Ditta_Intestataria)"},
      {"capogruppo senza ditta", t::kFileSchedaCliente,
       "SELECT count(*) FROM Scheda_Cliente s WHERE s.CodiceCapoGruppo > 0 AND "
       "s.CodiceCapoGruppo NOT IN (SELECT CodiceCliente FROM ditte.Ditta_Intestataria)"},
      {"storico con ditta del capofamiglia", t::kFileSchedaStorico,
       "SELECT count(*) FROM Scheda_Cliente s WHERE s.NumeroProgressivo NOT IN (SELECT "
       "CodiceCliente FROM st_ditte.Ditta_Intestataria) AND s.CodiceCapoFamiglia + "
       "CAST(substr(s.DataArrivo, 3, 2) AS INTEGER) * 1000000 IN "
       "(SELECT CodiceCliente FROM st_ditte.Ditta_Intestataria)"},
      {"storico con ditta del capogruppo", t::kFileSchedaStorico,
       "SELECT count(*) FROM Scheda_Cliente s WHERE s.CodiceCapoFamiglia > 0 AND "
       "s.NumeroProgressivo NOT IN (SELECT CodiceCliente FROM st_ditte.Ditta_Intestataria) AND "
       "s.CodiceCapoFamiglia + CAST(substr(s.DataArrivo, 3, 2) AS INTEGER) * 1000000 NOT IN "
       "(SELECT CodiceCliente FROM st_ditte.Ditta_Intestataria) AND s.CodiceCapoGruppo + "
       "CAST(substr(s.DataArrivo, 3, 2) AS INTEGER) * 1000000 IN (SELECT CodiceCliente FROM "
       "st_ditte.Ditta_Intestataria)"},
      {"voce di addebito mancante", t::kFileArrangiamento,
       "SELECT count(*) FROM Arrangiamento WHERE VoceAddebito NOT IN (SELECT Codice FROM "
       "voci.VociFattura)"},
      {"arrangiamento mancante", t::kFileArrangiamento,
       "SELECT count(*) FROM Arrangiamento a JOIN voci.VociFattura v ON v.Codice = "
       "a.VoceAddebito WHERE v.Reparto = 'ARR' AND a.Arrangiamento NOT IN (SELECT Sigla FROM "
       "tratt.NomiArrangiamenti)"},
      {"voce senza reparto", t::kFileVociFattura,
       "SELECT count(*) FROM VociFattura WHERE Reparto = ''"},
      {"cambio camera", t::kFileArrangiamento,
       "SELECT count(*) FROM Arrangiamento a JOIN schede.Scheda_Cliente s ON "
       "s.NumeroProgressivo = a.CodiceCliente WHERE a.NumeroCamera NOT LIKE '*%' AND "
       "a.NumeroCamera <> s.NumeroCamera"},
  };
  // Supplements, extras and every board basis, for the lines of bookings, of live cards and of
  // archived cards.
  const std::pair<const char*, const char*> gruppi[] = {
      {t::kFileArrangiamento, "a.NumeroCamera LIKE '*%'"},
      {t::kFileArrangiamento, "a.NumeroCamera NOT LIKE '*%'"},
      {t::kFileArrangiamentoStorico, "1"}};
  static std::vector<std::string> testi;  // the texts must outlive the cases
  testi.clear();
  testi.reserve(64);
  for (auto [file, dove] : gruppi) {
    auto aggiungi = [&](const std::string& nome, const std::string& sql) {
      testi.push_back(nome + " (" + dove + ")");
      const char* n = testi.back().c_str();
      testi.push_back(sql);
      casi.push_back({n, file, testi.back().c_str()});
    };
    aggiungi("supplemento SUPPL",
             std::string("SELECT count(*) FROM Arrangiamento a WHERE a.Descrizione GLOB "
                         "'*SUPPL*' AND ") + dove);
    aggiungi("extra",
             "SELECT count(*) FROM Arrangiamento a JOIN voci.VociFattura v ON v.Codice = "
             "a.VoceAddebito WHERE v.Reparto <> 'ARR' AND a.Descrizione NOT GLOB '*SUPPL*' AND " +
                 std::string(dove));
    for (const char* tipo : {"S", "C", "M", "1", "P", "A"}) {
      aggiungi(std::string("pensione di tipo ") + tipo,
               tipo_pensione + "n.Tipo = '" + tipo + "' AND " + dove);
    }
    aggiungi("pensione di tipo non elencato",
             tipo_pensione + "n.Tipo NOT IN ('S','C','M','1','P','A') AND " + dove);
    aggiungi("pensione non in elenco",
             "SELECT count(*) FROM Arrangiamento a JOIN voci.VociFattura v ON v.Codice = "
             "a.VoceAddebito WHERE v.Reparto = 'ARR' AND a.Arrangiamento NOT IN (SELECT Sigla "
             "FROM tratt.NomiArrangiamenti) AND " +
                 std::string(dove));
  }
  for (const Caso& caso : casi) {
    Sql sql = Apri(caso.file);
    EXPECT_GT(sql.Numero(caso.sql), 0) << caso.nome;
  }
}

// What holds for every row: the links the passes follow lead somewhere, the forms are right.
TEST_P(HotelDemo, ICollegamentiEIFormatiReggonoSuOgniRiga) {
  const std::string dal = GetParam().opzioni.dal;
  const std::string chiave_dal = dal.substr(6, 4) + dal.substr(3, 2) + dal.substr(0, 2);
  struct Caso {
    const char* nome;
    const char* file;
    std::string sql;  // a count of the rows that break the rule
  };
  const Caso casi[] = {
      {"ogni addebito di prenotazione appartiene a una riga", t::kFileArrangiamento,
       "SELECT count(*) FROM Arrangiamento a WHERE a.NumeroCamera LIKE '*%' AND NOT EXISTS "
       "(SELECT 1 FROM righe.Camere_Prenotazione r WHERE r.NumeroPrenotazione = "
       "a.CodiceCliente AND '*' || r.NumeroCamera = a.NumeroCamera)"},
      {"ogni riga ha la sua prenotazione", t::kFileCamerePrenotazione,
       "SELECT count(*) FROM Camere_Prenotazione WHERE NumeroPrenotazione NOT IN "
       "(SELECT NumeroPrenotazione FROM pren.Scheda_Prenotazione)"},
      {"righe di una prenotazione numerate 1, 2, 3", t::kFileCamerePrenotazione,
       "SELECT count(*) FROM Camere_Prenotazione r WHERE CAST(NumeroCamera AS INTEGER) NOT "
       "BETWEEN 1 AND 3 OR (SELECT count(*) FROM Camere_Prenotazione q WHERE "
       "q.NumeroPrenotazione = r.NumeroPrenotazione AND q.NumeroCamera = r.NumeroCamera) <> 1"},
      {"quantita' e persone nei limiti", t::kFileCamerePrenotazione,
       "SELECT count(*) FROM Camere_Prenotazione WHERE \"QuantitàCamere\" NOT BETWEEN 1 AND 2 "
       "OR NumeroPersone NOT BETWEEN 0 AND 4"},
      {"numeri di prenotazione unici", t::kFileSchedaPrenotazione,
       "SELECT count(*) - count(DISTINCT NumeroPrenotazione) FROM Scheda_Prenotazione"},
      {"ogni camera ha un tipo", t::kFileNumeriCamere,
       "SELECT count(*) FROM NumeriCamere WHERE TipoCamera NOT IN (SELECT Sigla FROM "
       "tipi.TipiCamere)"},
      {"Quantita conta le camere del tipo", t::kFileTipiCamere,
       "SELECT count(*) FROM TipiCamere t WHERE Quantita <> (SELECT count(*) FROM "
       "numeri.NumeriCamere n WHERE n.TipoCamera = t.Sigla)"},
      {"ogni scheda viva in una camera dell'hotel", t::kFileSchedaCliente,
       "SELECT count(*) FROM Scheda_Cliente WHERE NumeroCamera NOT IN (SELECT NumeroCamera "
       "FROM numeri.NumeriCamere)"},
      {"numeri di scheda unici", t::kFileSchedaCliente,
       "SELECT count(*) - count(DISTINCT NumeroProgressivo) FROM Scheda_Cliente"},
      {"partiti con data reale, in casa senza", t::kFileSchedaCliente,
       "SELECT count(*) FROM Scheda_Cliente WHERE (Partito = 'S') <> (DataPartenzaReale IS NOT "
       "NULL) OR Partito NOT IN ('S','N')"},
      {"in casa: partenza dopo ogni partenza reale", t::kFileSchedaCliente,
       "SELECT count(*) FROM Scheda_Cliente WHERE Partito = 'N' AND DataPartenza <= (SELECT "
       "max(DataPartenzaReale) FROM Scheda_Cliente WHERE Partito = 'S')"},
      {"componenti numerati da 1 nella camera", t::kFileSchedaCliente,
       "SELECT count(*) FROM Scheda_Cliente s WHERE NumeroComponente > 1 AND NOT EXISTS (SELECT "
       "1 FROM Scheda_Cliente c WHERE c.NumeroCamera = s.NumeroCamera AND c.DataArrivo = "
       "s.DataArrivo AND c.NumeroComponente = s.NumeroComponente - 1)"},
      {"capofamiglia e capogruppo sono schede vive", t::kFileSchedaCliente,
       "SELECT count(*) FROM Scheda_Cliente s WHERE (s.CodiceCapoFamiglia > 0 AND "
       "s.CodiceCapoFamiglia NOT IN (SELECT NumeroProgressivo FROM Scheda_Cliente)) OR "
       "(s.CodiceCapoGruppo > 0 AND s.CodiceCapoGruppo NOT IN (SELECT NumeroProgressivo FROM "
       "Scheda_Cliente))"},
      {"ogni addebito di scheda ha la sua scheda", t::kFileArrangiamento,
       "SELECT count(*) FROM Arrangiamento WHERE NumeroCamera NOT LIKE '*%' AND CodiceCliente "
       "NOT IN (SELECT NumeroProgressivo FROM schede.Scheda_Cliente)"},
      {"ogni ditta ha la sua scheda", t::kFileDittaIntestataria,
       "SELECT count(*) FROM Ditta_Intestataria WHERE CodiceCliente NOT IN (SELECT "
       "NumeroProgressivo FROM schede.Scheda_Cliente) OR RagioneSociale = ''"},
      {"storico numerato con l'anno di arrivo", t::kFileSchedaStorico,
       "SELECT count(*) FROM Scheda_Cliente WHERE NumeroProgressivo / 1000000 <> "
       "CAST(substr(DataArrivo, 3, 2) AS INTEGER) OR NumeroProgressivo % 1000000 = 0"},
      {"numeri di storico unici", t::kFileSchedaStorico,
       "SELECT count(*) - count(DISTINCT NumeroProgressivo) FROM Scheda_Cliente"},
      {"capi dello storico: numero vivo + scarto dell'anno della scheda", t::kFileSchedaStorico,
       "SELECT count(*) FROM Scheda_Cliente s WHERE (s.CodiceCapoFamiglia > 0 AND "
       "(s.CodiceCapoFamiglia >= 1000000 OR s.CodiceCapoFamiglia + CAST(substr(s.DataArrivo, 3, "
       "2) AS INTEGER) * 1000000 NOT IN (SELECT NumeroProgressivo FROM Scheda_Cliente))) OR "
       "(s.CodiceCapoGruppo > 0 AND (s.CodiceCapoGruppo >= 1000000 OR s.CodiceCapoGruppo + "
       "CAST(substr(s.DataArrivo, 3, 2) AS INTEGER) * 1000000 NOT IN (SELECT NumeroProgressivo "
       "FROM Scheda_Cliente)))"},
      {"storico: tutti partiti entro la data di inizio", t::kFileSchedaStorico,
       "SELECT count(*) FROM Scheda_Cliente WHERE Partito <> 'S' OR DataPartenzaReale > '" +
           chiave_dal + "' OR DataPartenza > '" + chiave_dal + "'"},
      {"addebiti dello storico con il numero d'archivio", t::kFileArrangiamentoStorico,
       "SELECT count(*) FROM Arrangiamento WHERE CodiceCliente NOT IN (SELECT NumeroProgressivo "
       "FROM st_schede.Scheda_Cliente)"},
      {"ditte dello storico con il numero d'archivio", t::kFileDittaStorico,
       "SELECT count(*) FROM Ditta_Intestataria WHERE CodiceCliente NOT IN (SELECT "
       "NumeroProgressivo FROM st_schede.Scheda_Cliente)"},
      {"date di arrivo e partenza in ordine", t::kFileSchedaCliente,
       "SELECT count(*) FROM Scheda_Cliente WHERE length(DataArrivo) <> 8 OR DataArrivo GLOB "
       "'*[^0-9]*' OR DataPartenza <= DataArrivo OR DataPartenzaReale <= DataArrivo"},
      {"righe: date in ordine", t::kFileCamerePrenotazione,
       "SELECT count(*) FROM Camere_Prenotazione WHERE length(DataArrivo) <> 8 OR DataArrivo "
       "GLOB '*[^0-9]*' OR DataPartenza <= DataArrivo"},
      {"addebiti entro il soggiorno della scheda", t::kFileArrangiamento,
       "SELECT count(*) FROM Arrangiamento a JOIN schede.Scheda_Cliente s ON "
       "s.NumeroProgressivo = a.CodiceCliente WHERE a.NumeroCamera NOT LIKE '*%' AND "
       "(a.DataFine <= a.DataInizio OR a.DataInizio < s.DataArrivo OR a.DataFine > "
       "s.DataPartenza)"},
      {"addebiti entro il soggiorno della riga", t::kFileArrangiamento,
       "SELECT count(*) FROM Arrangiamento a JOIN righe.Camere_Prenotazione r ON "
       "r.NumeroPrenotazione = a.CodiceCliente AND '*' || r.NumeroCamera = a.NumeroCamera WHERE "
       "a.DataFine <= a.DataInizio OR a.DataInizio < r.DataArrivo OR a.DataFine > "
       "r.DataPartenza"},
      {"importi in centesimi, positivi", t::kFileArrangiamento,
       "SELECT count(*) FROM Arrangiamento WHERE typeof(ImportoTotale) NOT IN "
       "('real','integer') OR ImportoTotale <= 0 OR abs(ImportoTotale * 100 - "
       "round(ImportoTotale * 100)) > 1e-6"},
      {"importi dello storico in centesimi", t::kFileArrangiamentoStorico,
       "SELECT count(*) FROM Arrangiamento WHERE ImportoTotale <= 0 OR abs(ImportoTotale * 100 "
       "- round(ImportoTotale * 100)) > 1e-6"},
      {"sigle dei tipi uniche", t::kFileTipiCamere,
       "SELECT count(*) - count(DISTINCT Sigla) FROM TipiCamere"},
  };
  for (const Caso& caso : casi) {
    Sql sql = Apri(caso.file);
    EXPECT_EQ(sql.Numero(caso.sql), 0) << caso.nome;
  }
  for (const char* file : kFileDemo) {
    if (std::string(file) == t::kFileFiltro) continue;
    Sql sql(File(file));
    std::string tabella = sql.Righe("SELECT name FROM sqlite_master")[0][0];
    EXPECT_EQ(sql.Numero("SELECT count(*) FROM \"" + tabella + "\" WHERE NumeroHotel IS NOT 1"),
              0)
        << file;
  }
}

TEST_P(HotelDemo, IlRiepilogoContaCioCheEScritto) {
  const OpzioniDemo& o = GetParam().opzioni;
  const std::pair<int64_t, std::pair<const char*, const char*>> conti[] = {
      {riepilogo_.tipi_camere, {t::kFileTipiCamere, t::kTipiCamere}},
      {riepilogo_.camere, {t::kFileNumeriCamere, t::kNumeriCamere}},
      {riepilogo_.prenotazioni, {t::kFileSchedaPrenotazione, t::kSchedaPrenotazione}},
      {riepilogo_.righe_camere, {t::kFileCamerePrenotazione, t::kCamerePrenotazione}},
      {riepilogo_.schede_clienti, {t::kFileSchedaCliente, t::kSchedaCliente}},
      {riepilogo_.schede_storico, {t::kFileSchedaStorico, t::kSchedaCliente}},
      {riepilogo_.ditte, {t::kFileDittaIntestataria, t::kDittaIntestataria}},
      {riepilogo_.ditte_storico, {t::kFileDittaStorico, t::kDittaIntestataria}},
      {riepilogo_.addebiti, {t::kFileArrangiamento, t::kArrangiamento}},
      {riepilogo_.addebiti_storico, {t::kFileArrangiamentoStorico, t::kArrangiamento}}};
  for (auto [conto, dove] : conti) {
    EXPECT_EQ(conto, Sql(File(dove.first)).Numero(std::string("SELECT count(*) FROM \"") +
                                                  dove.second + "\""))
        << dove.first;
  }
  Sql tipi(File(t::kFileTipiCamere));
  EXPECT_EQ(riepilogo_.camere_letto, o.camere);
  EXPECT_EQ(tipi.Numero("SELECT sum(Quantita) FROM TipiCamere WHERE Tipologia = 'C'"), o.camere);

  // Room nights sold from `dal`: rooms of bookings that count and first guests of live cards.
  // Date keys YYYYMMDD become SQLite dates for the day arithmetic.
  auto iso = [](const std::string& chiave) {
    return "date(substr(" + chiave + ",1,4)||'-'||substr(" + chiave + ",5,2)||'-'||substr(" +
           chiave + ",7,2))";
  };
  const std::string dal = "'" + o.dal.substr(6, 4) + o.dal.substr(3, 2) + o.dal.substr(0, 2) + "'";
  const std::string fine = "date(" + iso(dal) + ", '+" + std::to_string(o.giorni) + " days')";
  const std::string notti = "CAST(max(0, julianday(min(" + iso("DataPartenza") + ", " + fine +
                            ")) - julianday(max(" + iso("DataArrivo") + ", " + iso(dal) +
                            "))) AS INTEGER)";
  int64_t prenotate = Apri(t::kFileCamerePrenotazione)
                          .Numero("SELECT coalesce(sum(\"QuantitàCamere\" * " + notti +
                                  "), 0) FROM Camere_Prenotazione r JOIN pren.Scheda_Prenotazione "
                                  "p USING (NumeroPrenotazione) JOIN tipi.TipiCamere c ON "
                                  "c.Sigla = r.TipoCamera WHERE p.TipoPrenotazione IN "
                                  "('C','D','O') AND c.Tipologia = 'C'");
  int64_t in_casa = Apri(t::kFileSchedaCliente)
                        .Numero("SELECT coalesce(sum(" + notti +
                                "), 0) FROM Scheda_Cliente s JOIN numeri.NumeriCamere n USING "
                                "(NumeroCamera) JOIN tipi.TipiCamere c ON c.Sigla = n.TipoCamera "
                                "WHERE s.NumeroComponente = 1 AND c.Tipologia = 'C'");
  EXPECT_GT(prenotate, 0);
  EXPECT_GT(in_casa, 0);
  EXPECT_EQ(riepilogo_.notti_vendute, prenotate + in_casa);
}

TEST_P(HotelDemo, IlFiltroHaDueOTreRigheCrLfCheTrovanoAgenzie) {
  std::string testo = Leggi(cartella_.Percorso() / t::kFileFiltro);
  ASSERT_GE(testo.size(), 2u);
  EXPECT_EQ(testo.substr(testo.size() - 2), "\r\n");
  std::vector<std::string> righe;
  for (size_t inizio = 0, fine; (fine = testo.find("\r\n", inizio)) != std::string::npos;
       inizio = fine + 2) {
    righe.push_back(testo.substr(inizio, fine - inizio));
  }
  EXPECT_GE(righe.size(), 2u);
  EXPECT_LE(righe.size(), 3u);
  Sql sql = Apri(t::kFileSchedaPrenotazione);
  for (const std::string& riga : righe) {
    EXPECT_FALSE(riga.empty());
    EXPECT_EQ(riga.find_first_of("\r\n"), std::string::npos);
    std::string quotata;
    for (char c : riga) quotata += c == '\'' ? std::string("''") : std::string(1, c);
    EXPECT_GT(sql.Numero("SELECT count(*) FROM (SELECT Ditta AS nome FROM Scheda_Prenotazione "
                         "UNION ALL SELECT RagioneSociale FROM ditte.Ditta_Intestataria UNION "
                         "ALL SELECT RagioneSociale FROM st_ditte.Ditta_Intestataria) WHERE "
                         "instr(nome, '" + quotata + "') > 0"),
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
    int64_t schede = sql.Numero("SELECT count(*) FROM Scheda_Cliente WHERE NumeroCamera GLOB "
                                "'[0-9]*'");
    int64_t camere = sql.Numero("SELECT count(*) FROM Scheda_Cliente WHERE NumeroCamera GLOB "
                                "'[0-9]*' AND NumeroComponente = 1");
    ASSERT_GT(camere, 0);
    EXPECT_NEAR(double(schede) / camere, 1.85, 0.25);
  }
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
      {"cartella impossibile", (cartella.Percorso() / "un_file" / "sotto").string(), 1,
       "un_file"},
      {"hotel scritto", hotel + " --camere 8 --giorni 20 --storico 10 --seme 3", 0, "8 da letto"},
  };
  for (const Caso& caso : casi) {
    SCOPED_TRACE(caso.nome);
    const fs::path out = cartella.Percorso() / "out.txt", err = cartella.Percorso() / "err.txt";
    std::string comando = programma.string() + " " + caso.argomenti + " >" + out.string() +
                          " 2>" + err.string();
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
