// The database engine layer: files, tables, fields, finds, writes, transactions, errors, and the
// statistics store it creates.

#include <gtest/gtest.h>
#include <iconv.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "data/archivio.h"
#include "data/dbengine.h"
#include "tests/data_tabella_prova.h"
#include "tests/support/variabile_ambiente.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;

// A statement run straight on the file, as any SQLite tool would.
std::vector<std::vector<std::string>> Grezzo(const std::string& file, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* st = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  std::vector<std::vector<std::string>> righe;
  while (st && sqlite3_step(st) == SQLITE_ROW) {
    std::vector<std::string> r;
    for (int i = 0; i < sqlite3_column_count(st); ++i) {
      const char* t = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
      r.push_back(t ? t : "NULL");
    }
    righe.push_back(r);
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  return righe;
}

template <typename F>
std::string Messaggio(F&& f) {
  try {
    f();
  } catch (const Errore& e) {
    return e.what();
  }
  return "(nessun errore)";
}

// Each test runs in a folder of its own, which is the working folder.
class MotoreDati : public ::testing::Test {
 protected:
  void SetUp() override {
    precedente_ = fs::current_path();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    cartella_ = fs::temp_directory_path() /
                ("vx_db_" + std::string(info->name()) + "_" + std::to_string(getpid()));
    fs::remove_all(cartella_);
    fs::create_directories(cartella_);
    fs::current_path(cartella_);
  }
  void TearDown() override {
    fs::current_path(precedente_);
    fs::remove_all(cartella_);
  }

  // Writes table `tabella` into `file` (created when missing) with the given fields and rows.
  void ScriviTabella(const std::string& file, const std::string& tabella,
                     const std::vector<Field>& campi,
                     const std::vector<std::vector<Valore>>& righe) {
    ScriviTabellaDiProva(motore_, file, tabella, campi, righe);
  }

  // Values of field `campo` of every row visited by FindFirst / FindNext with `criteri`.
  static std::vector<std::string> Visita(Recordset& rs, const std::string& criteri,
                                         const std::string& campo = "Id") {
    std::vector<std::string> visti;
    rs.FindFirst(criteri);
    while (!rs.NoMatch()) {
      visti.push_back(rs.Fields(campo).Value().Testo());
      rs.FindNext(criteri);
    }
    return visti;
  }

  DBEngine motore_;
  fs::path precedente_, cartella_;
};

Valuta V(int64_t n) { return Valuta::DaDecimillesimi(n); }

const std::vector<Field> kCampiProva = {
    {"Id", dbLong, 0},     {"NumeroHotel", dbInteger, 0}, {"Sigla", dbText, 10},
    {"Codice", dbLong, 0}, {"NumTesto", dbText, 10},      {"Importo", dbCurrency, 0},
    {"Nota", dbText, 20},  {"DataInizio", dbText, 8},     {"DataFine", dbText, 8},
};

const std::vector<std::vector<Valore>> kRigheProva = {
    //      Id   Hotel         Sigla      Codice  NumTesto  Importo        Nota  Inizio      Fine
    {int32_t{1}, int16_t{1}, "BB", int32_t{7}, "12", V(105000), "x", "20240701", "20240704"},
    {int32_t{2}, int16_t{2}, "BB", int32_t{7}, "12.0", V(105000), "y", "20240701", "20240704"},
    {int32_t{3}, int16_t{1}, "HB", int32_t{-3}, "abc", V(200000), Valore(), "20240702", "20240703"},
    {int32_t{4}, int16_t{1}, "bb", int32_t{8}, " 12 ", V(199999), "x", "20240630", "20240702"},
    {int32_t{5}, int16_t{1}, "O'Hara", int32_t{12}, "7", V(0), Valore(), "20240703", "20240705"},
    {int32_t{6}, int16_t{1}, Valore(), int32_t{12}, Valore(), Valore(), "z", "20240701",
     "20240702"},
    {int32_t{7}, int16_t{1}, "BB", int32_t{9}, "012", V(100000), "x", "20240702", "20240710"},
};

TEST_F(MotoreDati, LeFindSeguonoICriteri) {
  ScriviTabella("Prova.mdb", "Prova", kCampiProva, kRigheProva);
  auto db = motore_.OpenDatabase("Prova.mdb");
  auto rs = db->OpenRecordset("Prova");
  using Ids = std::vector<std::string>;
  struct Caso {
    const char* criteri;
    Ids attesi;
    const char* perche;
  };
  const Caso casi[] = {
      {"NumeroHotel = 1", {"1", "3", "4", "5", "6", "7"}, "a walk visits hotel 1 in table order"},
      {"NumeroHotel = 1 and Sigla = 'BB'", {"1", "7"}, "and narrows"},
      {"NumeroHotel = 1 and (Sigla = 'BB' or Sigla = 'HB')", {"1", "3", "7"}, "or in parentheses"},
      {"NumeroHotel = 1 and Sigla = 'BB' or Sigla = 'HB'", {"1", "3", "7"}, "and binds tighter"},
      {"Sigla = 'bb'", {"4"}, "texts compare case-sensitively"},
      {"Sigla = 'O''Hara'", {"5"}, "doubled apostrophe"},
      {"Sigla = \"O'Hara\"", {"5"}, "double-quoted text"},
      {"Sigla > 'BB' and Sigla < 'bb'", {"3", "5"}, "plain code order: upper case before lower"},
      {"NumTesto = 12", {"1", "2", "4", "7"}, "a number against a text field reads the texts"},
      {"NumTesto > 11", {"1", "2", "4", "7"}, "and orders them as numbers"},
      {"NumTesto = '12'", {"1"}, "a text against a text field is exact"},
      {"Codice = '7'", {"1", "2"}, "a text against a number field reads the text"},
      {"Codice = 'sette'", {}, "a text that is no number matches no number"},
      {"Codice = -3", {"3"}, "negative number"},
      {"Codice = 12 and NumeroHotel = 1", {"5", "6"}, "equality on either field"},
      {"Nota <> 'x'", {"2", "6"}, "Null never matches, not even <>"},
      {"Not (Sigla = 'BB')", {"3", "4", "5"}, "Not of a comparison with Null stays unmatched"},
      {"Nota Is Null", {"3", "5"}, "Is Null"},
      {"Nota is not null and NumeroHotel=1", {"1", "4", "6", "7"}, "Is Not Null, any case"},
      {"Importo >= 10.5 and Importo < 20", {"1", "2", "4"}, "Currency against decimals"},
      {"Importo = 19.9999", {"4"}, "Currency equality is exact"},
      {"Importo = 0", {"5"}, "zero amount, not Null"},
      {"[Sigla] = 'BB' AND [NumeroHotel]=1", {"1", "7"}, "bracketed names, upper-case AND"},
      {"1 = NumeroHotel and 'HB' = Sigla", {"3"}, "literal on the left"},
      {"NumeroHotel = 1 and DataInizio <= '20240702' and DataFine > '20240702'",
       {"1", "3", "7"},
       "date keys compared as quoted text"},
      {"NumeroHotel = 3", {}, "nothing matches"},
      {"Sigla = 'BB' or Nota = 'z'", {"1", "2", "6", "7"}, "or without any index"},
      {"NumeroHotel = 1 and Codice = 12 and Sigla = Null", {}, "= Null never matches"},
  };
  for (const auto& c : casi) {
    EXPECT_EQ(Visita(*rs, c.criteri), c.attesi) << c.criteri << " — " << c.perche;
  }
}

TEST_F(MotoreDati, OgniValoreQuotatoSelezionaSoloSeStesso) {
  const std::vector<std::string> testi = {"O'Hara", "'", "''",       "x' or 'a'='a",
                                          "a\"b",   "",  "D'Ami'co", "x"};
  std::vector<std::vector<Valore>> righe;
  for (size_t i = 0; i < testi.size(); ++i) righe.push_back({int32_t(i), testi[i]});
  ScriviTabella("Q.mdb", "Q", {{"Id", dbLong, 0}, {"Sigla", dbText, 30}}, righe);
  auto db = motore_.OpenDatabase("Q.mdb");
  auto rs = db->OpenRecordset("Q");
  for (size_t i = 0; i < testi.size(); ++i) {
    EXPECT_EQ(Visita(*rs, "Sigla = " + Quota(testi[i])),
              std::vector<std::string>{std::to_string(i)})
        << testi[i];
  }
  EXPECT_EQ(Quota("O'Hara"), "'O''Hara'");
  EXPECT_EQ(Quota(""), "''");
  std::string criteri = "Sigla = ";
  Quota("D'Ami'co", criteri);
  EXPECT_EQ(criteri, "Sigla = 'D''Ami''co'") << "the appending form quotes the same way";
}

TEST_F(MotoreDati, FindNextProsegueDopoLaRigaCorrenteENoMatchLasciaSenzaRiga) {
  ScriviTabella("Prova.mdb", "Prova", kCampiProva, kRigheProva);
  auto db = motore_.OpenDatabase("Prova.mdb");
  auto rs = db->OpenRecordset("Select * From Prova Order by Codice desc, Id");
  EXPECT_EQ(rs->Fields("Id").Value().Testo(), "5") << "a fresh set stands on its first row";
  EXPECT_EQ(Visita(*rs, "NumeroHotel = 1"),
            (std::vector<std::string>{"5", "6", "7", "4", "1", "3"}));
  EXPECT_TRUE(rs->NoMatch());
  EXPECT_THROW(rs->Fields("Id").Value(), Errore) << "no current row after a failed find";
  rs->FindFirst("Sigla = 'BB'");
  rs->FindNext("Codice = 7");
  EXPECT_EQ(rs->Fields("Id").Value().Testo(), "1") << "FindNext with another criteria goes on";
  rs->FindFirst("Sigla = 'BB'");
  EXPECT_EQ(rs->Fields("Id").Value().Testo(), "7");
}

TEST_F(MotoreDati, LeFindVedonoLeRigheAggiunteEModificate) {
  ScriviTabella("Prova.mdb", "Prova", kCampiProva, kRigheProva);
  auto db = motore_.OpenDatabase("Prova.mdb");
  auto rs = db->OpenRecordset("Prova");
  EXPECT_EQ(Visita(*rs, "Sigla = 'BB' and NumeroHotel = 1"), (std::vector<std::string>{"1", "7"}));
  rs->AddNew();
  rs->Fields("Id") = int32_t{8};
  rs->Fields("NumeroHotel") = int16_t{1};
  rs->Fields("Sigla") = "BB";
  rs->Update();
  rs->FindFirst("Id = 3");
  rs->Edit();
  rs->Fields("Sigla") = "BB";
  rs->Update();
  rs->FindFirst("Id = 1");
  rs->Edit();
  rs->Fields("Sigla") = "FB";
  rs->Update();
  EXPECT_EQ(Visita(*rs, "Sigla = 'BB' and NumeroHotel = 1"),
            (std::vector<std::string>{"3", "7", "8"}));
  EXPECT_EQ(Visita(*rs, "Sigla = 'FB'"), std::vector<std::string>{"1"});
  EXPECT_EQ(rs->RecordCount(), 8);
  auto di_nuovo = db->OpenRecordset("Prova");
  EXPECT_EQ(Visita(*di_nuovo, "Sigla = 'BB' and NumeroHotel = 1"),
            (std::vector<std::string>{"3", "7", "8"}))
      << "the changes are in the file";
}

TEST_F(MotoreDati, CriteriMalformatiDannoUnErroreChiaro) {
  ScriviTabella("Prova.mdb", "Prova", kCampiProva, kRigheProva);
  auto db = motore_.OpenDatabase("Prova.mdb");
  auto rs = db->OpenRecordset("Prova");
  const CasoErrore casi[] = {
      {"", "Criterio non valido"},
      {"NumeroHotel", "Criterio non valido"},
      {"NumeroHotel =", "Criterio non valido"},
      {"NumeroHotel = 'abc", "Criterio non valido"},
      {"NumeroHotel = 1 and", "Criterio non valido"},
      {"(NumeroHotel = 1", "Criterio non valido"},
      {"NumeroHotel = 1)", "Criterio non valido"},
      {"NumeroHotel == 1", "Criterio non valido"},
      {"NumeroHotel = 1 xor Id = 2", "Criterio non valido"},
      {"Sigla Like 'B*'", "Criterio non valido"},
      {"NumeroHotel = 1abc", "Criterio non valido"},
      {"NumeroHotel = Id", "Criterio non valido"},
      {"[NumeroHotel = 1", "Criterio non valido"},
      {"NumeroHotel = #01/07/2024#", "Criterio non valido"},
      {"Manca = 1", "Campo 'Manca' non trovato nella tabella 'Prova' del database 'Prova.mdb'"},
  };
  for (const auto& c : casi) {
    std::string m = Messaggio([&] { rs->FindFirst(c.testo); });
    EXPECT_NE(m.find(c.messaggio), std::string::npos) << c.testo << " -> " << m;
  }
  std::string profondo(5000, '(');
  EXPECT_NE(Messaggio([&] { rs->FindFirst(profondo + "Id = 1"); }).find("Criterio non valido"),
            std::string::npos);
}

TEST_F(MotoreDati, ICampiSiScrivonoNelTipoDelCampo) {
  ScriviTabella("T.mdb", "T",
                {{"Piccolo", dbInteger, 2},
                 {"Lungo", dbLong, 4},
                 {"Soldi", dbCurrency, 5},
                 {"Reale", dbDouble, 8},
                 {"Breve", dbText, 5},
                 {"Si", dbBoolean, 1},
                 {"Giorno", dbDate, 8}},
                {});
  auto db = motore_.OpenDatabase("T.mdb");
  auto rs = db->OpenRecordset("T");
  rs->AddNew();
  rs->Fields("Piccolo") = 2.5;    // rounded half to even
  rs->Fields("Lungo") = "123";    // numeric text
  rs->Fields("Soldi") = 0.99995;  // four decimals, half away from zero
  rs->Fields("Reale") = int32_t{3};
  rs->Fields("Breve") = "àèìòùxyz";  // cut by characters, not bytes
  rs->Fields("Si") = int16_t{-1};
  rs->Fields("Giorno") = 45474.0;  // days since 30/12/1899
  EXPECT_EQ(rs->Fields("Soldi").Value(), Valore(V(10000))) << "the row being built is read back";
  rs->Update();
  rs->MoveLast();
  EXPECT_EQ(rs->Fields("Piccolo").Value(), Valore(int16_t{2}));
  EXPECT_EQ(rs->Fields("Lungo").Value(), Valore(int32_t{123}));
  EXPECT_EQ(rs->Fields("Soldi").Value(), Valore(V(10000)));
  EXPECT_EQ(rs->Fields("Reale").Value(), Valore(3.0));
  EXPECT_EQ(rs->Fields("Breve").Value(), Valore("àèìòù"));
  EXPECT_EQ(rs->Fields("Si").Value(), Valore(true));
  EXPECT_EQ(rs->Fields("Giorno").Value(), Valore(DataOra{45474}));

  struct Caso {
    const char* campo;
    Valore valore;
    const char* messaggio;
  };
  const Caso casi[] = {
      {"Piccolo", Valore(int32_t{40000}), "Overflow nel campo 'Piccolo'"},
      {"Piccolo", Valore(-32768.6), "Overflow nel campo 'Piccolo'"},
      {"Lungo", Valore(3e9), "Overflow nel campo 'Lungo'"},
      {"Lungo", Valore("abc"), "Tipo non corrispondente nel campo 'Lungo'"},
      {"Soldi", Valore("dieci"), "Tipo non corrispondente nel campo 'Soldi'"},
      {"Soldi", Valore(1e300), "Overflow nel campo 'Soldi'"},
      {"Giorno", Valore("ieri"), "Tipo non corrispondente nel campo 'Giorno'"},
  };
  rs->AddNew();
  for (const auto& c : casi) {
    std::string m = Messaggio([&] { rs->Fields(c.campo) = c.valore; });
    EXPECT_NE(m.find(c.messaggio), std::string::npos) << c.campo << " -> " << m;
  }
  rs->Fields("Piccolo") = int32_t{-32768};
  rs->Fields("Reale") = -0.0;
  EXPECT_EQ(rs->Fields("Lungo").Value(), Valore()) << "an unset field of a new row is Null";
  rs->Update();
  EXPECT_EQ(rs->RecordCount(), 2);
  auto righe = Grezzo("T.mdb", "SELECT Piccolo, quote(Lungo), Soldi, typeof(Soldi) FROM T");
  ASSERT_EQ(righe.size(), 2u);
  EXPECT_EQ(righe[1], (std::vector<std::string>{"-32768", "NULL", "NULL", "null"}));
  EXPECT_EQ(righe[0][2], "1") << "a whole amount is a plain number in the file";
  rs->MoveLast();
  auto riletta = db->OpenRecordset("T");
  riletta->MoveLast();
  EXPECT_EQ(rs->Fields("Reale").Value().Testo(), riletta->Fields("Reale").Value().Testo())
      << "a negative zero reads the same from the set that wrote it and from the file";
}

TEST_F(MotoreDati, CurrencyNelFileELettoEsatto) {
  ScriviTabella("C.mdb", "C", {{"Importo", dbCurrency, 0}},
                {{V(125000)}, {V(1)}, {V(-33333333)}, {Valore(0.1 + 0.2)}, {Valore()}});
  auto righe = Grezzo("C.mdb", "SELECT Importo, typeof(Importo) FROM C");
  ASSERT_EQ(righe.size(), 5u);
  EXPECT_EQ(righe[0], (std::vector<std::string>{"12.5", "real"})) << "a plain decimal number";
  EXPECT_EQ(righe[1][0], "0.0001");
  EXPECT_EQ(righe[2][0], "-3333.3333");
  EXPECT_EQ(righe[3][0], "0.3");
  auto db = motore_.OpenDatabase("C.mdb");
  auto rs = db->OpenRecordset("C");
  std::vector<Valore> letti;
  rs->FindFirst("Importo <> 999 or Importo = 999 or Importo Is Null");
  while (!rs->NoMatch()) {
    letti.push_back(rs->Fields("Importo").Value());
    rs->FindNext("Importo <> 999 or Importo = 999 or Importo Is Null");
  }
  EXPECT_EQ(letti, (std::vector<Valore>{V(125000), V(1), V(-33333333), V(3000), Valore()}));
}

TEST_F(MotoreDati, ErroriCheNominanoFileTabellaCampoESql) {
  ScriviTabella("Prova.mdb", "Prova", kCampiProva, kRigheProva);
  std::ofstream("Testo.mdb") << "questo non è un database\n";
  std::ofstream("Vuoto.mdb");
  fs::create_directory("Cartella.mdb");
  EXPECT_EQ(Messaggio([&] { motore_.OpenDatabase("Arrangiamento.mdb"); }),
            "Impossibile aprire il database 'Arrangiamento.mdb': file non trovato");
  EXPECT_EQ(Messaggio([&] { motore_.OpenDatabase("Testo.mdb"); }),
            "Impossibile aprire il database 'Testo.mdb': il file non è un database riconosciuto");
  EXPECT_EQ(Messaggio([&] { motore_.OpenDatabase("Vuoto.mdb"); }),
            "Impossibile aprire il database 'Vuoto.mdb': il file non è un database riconosciuto");
  EXPECT_NE(Messaggio([&] { motore_.OpenDatabase("Cartella.mdb"); }).find("cartella"),
            std::string::npos);
  // The format comes from the first bytes, never from the name.
  fs::copy_file("Prova.mdb", "Copia.dat");
  EXPECT_NO_THROW(motore_.OpenDatabase("Copia.dat")->OpenRecordset("Prova"));
  {
    std::ofstream troncato("Troncato.mdb", std::ios::binary);
    troncato.write("\0\1\0\0Standard Jet DB\0\1\0\0", 24);
  }
  EXPECT_NE(Messaggio([&] { motore_.OpenDatabase("Troncato.mdb"); }).find("Troncato.mdb"),
            std::string::npos);
  EXPECT_EQ(Messaggio([&] { motore_.Workspaces().CreateDatabase("Prova.mdb"); }),
            "Impossibile creare il database 'Prova.mdb': il file esiste già");
  EXPECT_NE(Messaggio([&] {
              motore_.Workspaces().CreateDatabase("manca/X.mdb");
            }).find("Impossibile creare il database 'manca/X.mdb'"),
            std::string::npos);
  EXPECT_FALSE(fs::exists("manca"));

  auto db = motore_.OpenDatabase("Prova.mdb");
  EXPECT_EQ(Messaggio([&] { db->OpenRecordset("Manca"); }),
            "Tabella 'Manca' non trovata nel database 'Prova.mdb'");
  auto rs = db->OpenRecordset("prova");
  EXPECT_EQ(Messaggio([&] { rs->Fields("Manca"); }),
            "Campo 'Manca' non trovato nella tabella 'Prova' del database 'Prova.mdb'");
  EXPECT_EQ(Messaggio([&] { rs->Update(); }).find("Update senza AddNew o Edit"), 0u);
  rs->FindFirst("Id = 99");
  EXPECT_NE(Messaggio([&] { rs->Edit(); }).find("nessun record corrente"), std::string::npos);
  EXPECT_NE(Messaggio([&] { rs->Fields("Sigla") = "x"; }).find("manca AddNew o Edit"),
            std::string::npos);

  const CasoErrore casi[] = {
      {"Select * Form Prova", "Errore nel testo SQL"},
      {"Select * From Manca", "Tabella 'Manca' non trovata nel database 'Prova.mdb'"},
      {"Select Manca From Prova", "Campo 'Manca' non trovato"},
      {"Select * From Prova Where Sigla = 'BB", "testo tra apici non chiuso"},
      {"Select * From Prova Where (Id = 1", "parentesi"},
      {"Select * From Prova; Delete From Prova", "più di un'istruzione"},
      {"Select * From Prova Where Sigla Like 'B*'", "Like"},
      {"Select * From Prova Where Id = ?", "carattere non ammesso"},
      {"Select * From Prova Where Id = 1 -- commento", "Campo 'commento' non trovato"},
      {"Select Left(Sigla) From Prova", "argomenti"},
      {"Select * From Prova Where DataInizio = #01/07/2024#", "date tra #"},
      {"Select\t*\nFrom Manca In 'Manca.mdb'",
       "Impossibile aprire il database 'Manca.mdb' nominato nel testo SQL"},
  };
  for (const auto& c : casi) {
    std::string m = Messaggio([&] { db->OpenRecordset(c.testo); });
    EXPECT_NE(m.find(c.messaggio), std::string::npos) << c.testo << " -> " << m;
    EXPECT_EQ(m.find(c.testo), std::string::npos) << "the SQL text stays out of the message: " << m;
  }
  const std::string nullo("Select * From Prova Where Sigla = 'B\0' or Id = 1", 48);
  EXPECT_NE(Messaggio([&] { db->OpenRecordset(nullo); }).find("carattere non ammesso"),
            std::string::npos)
      << "a null byte, which SQLite would take for the end of the text";
  EXPECT_EQ(Grezzo("Prova.mdb", "SELECT count(*) FROM Prova")[0][0], "7") << "nothing deleted";
  for (const char* non_select :
       {"Delete From Prova", "Drop Table Prova", "Update Prova Set Id = 1"}) {
    EXPECT_NE(Messaggio([&] { db->OpenRecordset(non_select); }).find("Tabella"), std::string::npos)
        << "a text not starting with Select is a table name";
  }
}

TEST_F(MotoreDati, InsiemiSqlSonoDiSolaLettura) {
  ScriviTabella("Prova.mdb", "Prova", kCampiProva, kRigheProva);
  auto db = motore_.OpenDatabase("Prova.mdb");
  auto rs = db->OpenRecordset("Select * From Prova Where NumeroHotel = 1");
  EXPECT_NE(Messaggio([&] { rs->AddNew(); }).find("recordset non aggiornabile"), std::string::npos);
  EXPECT_NE(Messaggio([&] { rs->Edit(); }).find("recordset non aggiornabile"), std::string::npos);
}

TEST_F(MotoreDati, TransazioniEChiusura) {
  ScriviTabella("Prova.mdb", "Prova", kCampiProva, kRigheProva);
  auto db = motore_.OpenDatabase("Prova.mdb");
  auto rs = db->OpenRecordset("Prova");
  auto aggiungi = [&](int id) {
    rs->AddNew();
    rs->Fields("Id") = int32_t(id);
    rs->Fields("NumeroHotel") = int16_t{1};
    rs->Update();
  };
  db->BeginTrans();
  aggiungi(100);
  rs->FindFirst("Id = 1");
  rs->Edit();
  rs->Fields("Sigla") = "XX";
  rs->Update();
  db->Rollback();
  EXPECT_EQ(rs->RecordCount(), 7) << "after a rollback the set shows the file";
  EXPECT_EQ(Visita(*rs, "Sigla = 'XX' or Id = 100"), std::vector<std::string>{});

  db->BeginTrans();
  aggiungi(101);
  EXPECT_NE(Messaggio([&] { db->BeginTrans(); }).find("BeginTrans sul database"), std::string::npos)
      << "one transaction at a time";
  db->CommitTrans();
  EXPECT_EQ(Grezzo("Prova.mdb", "SELECT group_concat(Id) FROM Prova WHERE Id > 99")[0][0], "101");
  EXPECT_NE(Messaggio([&] { db->CommitTrans(); }).find("CommitTrans senza BeginTrans"),
            std::string::npos);

  ScriviTabella("Altro.mdb", "Altro", kCampiProva, kRigheProva);
  db->BeginTrans();
  aggiungi(103);
  auto altro = db->OpenRecordset("Select Id From Altro In 'Altro.mdb' Where Id = 2");
  EXPECT_EQ(altro->RecordCount(), 1) << "another file named inside a transaction";
  db->Close();
  EXPECT_EQ(Grezzo("Prova.mdb", "SELECT count(*) FROM Prova WHERE Id = 103")[0][0], "0")
      << "closing with a transaction open rolls it back";
  EXPECT_NE(Messaggio([&] { rs->FindFirst("Id = 1"); }).find("è stato chiuso"), std::string::npos);
  EXPECT_NE(Messaggio([&] { db->OpenRecordset("Prova"); }).find("è chiuso"), std::string::npos);
}

TEST_F(MotoreDati, MoveLastRecordCountEOggettiCheSopravvivonoAlMotore) {
  ScriviTabella("Prova.mdb", "Prova", kCampiProva, kRigheProva);
  ScriviTabella("Vuota.mdb", "Vuota", kCampiProva, {});
  std::unique_ptr<Database> db;
  std::unique_ptr<Recordset> rs;
  {
    DBEngine temporaneo;
    db = temporaneo.OpenDatabase("Prova.mdb");
    rs = db->OpenRecordset("Select Id From Prova Where NumeroHotel = 1 Order by Id desc");
  }
  rs->MoveLast();
  EXPECT_EQ(rs->RecordCount(), 6);
  EXPECT_EQ(rs->Fields("id").Value(), Valore(int32_t{1})) << "field names ignore case";
  auto db_vuoto = motore_.OpenDatabase("Vuota.mdb");
  auto vuota = db_vuoto->OpenRecordset("Vuota");
  EXPECT_NO_THROW(vuota->MoveLast());
  EXPECT_EQ(vuota->RecordCount(), 0);
  rs->Close();
  EXPECT_THROW(rs->RecordCount(), Errore);
}

TEST_F(MotoreDati, TestiCasualiNonFannoMaiCadereIlMotore) {
  ScriviTabella("Prova.mdb", "Prova", kCampiProva, kRigheProva);
  ScriviTabella("Altro.mdb", "Altro", kCampiProva, kRigheProva);
  auto db = motore_.OpenDatabase("Prova.mdb");
  auto rs = db->OpenRecordset("Prova");
  const std::vector<std::string> pezzi = {
      "Select",      "*",       "From", "Prova",     "Altro", "In",    "'Altro.mdb'", "'Manca.mdb'",
      "Where",       "and",     "or",   "not",       "(",     ")",     "=",           "<>",
      "<=",          ">",       "'x'",  "'O''Hara'", "\"y\"", "12",    "-3.5",        "Sigla",
      "NumeroHotel", "[Sigla]", "Left", "sum",       "Group", "Order", "by",          ",",
      ";",           "&",       "Is",   "Null",      "[",     "'",     "\"",          "#",
      "?",           "--",      "/*",   "Importo",   "as",    "T",     ".",           "1e999"};
  std::mt19937 caso(7);
  for (int i = 0; i < 3000; ++i) {
    std::string testo = i % 2 ? "Select " : "";
    int n = 1 + static_cast<int>(caso() % 14);
    for (int k = 0; k < n; ++k) testo += pezzi[caso() % pezzi.size()] + (caso() % 4 ? " " : "");
    try {
      auto r = db->OpenRecordset(testo);
      r->FindFirst("NumeroHotel = 1 or NumeroHotel <> 1");
    } catch (const Errore&) {
    }
    try {
      rs->FindFirst(testo);
      rs->FindNext(testo);
    } catch (const Errore&) {
    }
  }
  EXPECT_EQ(Visita(*rs, "Id = 5"), std::vector<std::string>{"5"}) << "the set still works";
}

// A set keeps the criteria it has parsed, by their shape with the literals left out: texts of
// one shape but other literals must find exactly what a set that never saw the shape finds.
TEST_F(MotoreDati, CriteriDellaStessaFormaTrovanoQuelloCheTrovaUnInsiemeNuovo) {
  ScriviTabella("Prova.mdb", "Prova", kCampiProva, kRigheProva);
  auto db = motore_.OpenDatabase("Prova.mdb");
  auto riusato = db->OpenRecordset("Prova");
  // Each group: texts of one shape, in the order they are asked.
  const std::vector<std::vector<std::string>> gruppi = {
      {"NumeroHotel = 1 and Codice = 7", "NumeroHotel = 1 and Codice = 12",
       "NumeroHotel = 1 and Codice = 9", "NumeroHotel = 1 and Codice = 1e1",
       "NumeroHotel = 1 and Codice = .5", "NumeroHotel = 1 and Codice = 12.0"},
      {"Sigla = 'BB'", "Sigla = 'bb'", "Sigla = 'O''Hara'", "Sigla = ''", "Sigla = 'HB'",
       "Sigla = '12'", "Sigla = 'x'' or ''a''=''a'"},
      {"Sigla = \"BB\"", "Sigla = \"O'Hara\"", "Sigla = \"a\"\"b\""},
      {"NumTesto = '12'", "NumTesto = ' 12 '", "NumTesto = '012'", "NumTesto = '12.0'",
       "NumTesto = 'abc'", "NumTesto = '7'"},
      {"NumTesto = 12", "NumTesto = 7", "NumTesto = 0012", "NumTesto = 1234567890123456789"},
      {"Codice = -3", "Codice = -7", "Codice = - -12", "Codice = +8"},
      {"Codice = - 3", "Codice = - 12"},
      {"1 = NumeroHotel and 'HB' = Sigla", "2 = NumeroHotel and 'BB' = Sigla",
       "1 = NumeroHotel and 'BB' = Sigla"},
      {"NumeroHotel = 1 and DataInizio <= '20240702' and DataFine > '20240702'",
       "NumeroHotel = 1 and DataInizio <= '20240630' and DataFine > '20240630'",
       "NumeroHotel = 1 and DataInizio <= '20240709' and DataFine > '20240709'",
       "NumeroHotel = 2 and DataInizio <= '20240701' and DataFine > '20240701'"},
      {"Importo >= 10.5 and Importo < 20", "Importo >= 0 and Importo < 10.5",
       "Importo >= 19.9999 and Importo < 20.0001"},
      {"[Sigla] = 'BB' AND [NumeroHotel]=1", "[Sigla] = 'HB' AND [NumeroHotel]=1"},
      {"Sigla = 'BB' or Nota = 'z'", "Sigla = 'HB' or Nota = 'x'", "Sigla = 'bb' or Nota = 'y'"},
      {"Nota <> 'x' and Codice = 12", "Nota <> 'z' and Codice = 12", "Nota <> 'y' and Codice = 7"},
      {"Sigla = 'BB' and Codice = Null", "Sigla = 'HB' and Codice = Null"},
      {"Codice = '7'", "Codice = '12'", "Codice = 'sette'", "Codice = ' -3 '", "Codice = '12'"},
      {"Sigla = 'HB'", "Sigla = 'HB' or Codice = 12", "Sigla = 'BB' or Codice = 7 or Codice = 9",
       "Sigla = 'BB' or Codice = 7", "Sigla = 'HB'"},
  };
  for (const auto& gruppo : gruppi) {
    for (const std::string& criteri : gruppo) {
      auto nuovo = db->OpenRecordset("Prova");
      EXPECT_EQ(Visita(*riusato, criteri), Visita(*nuovo, criteri)) << criteri;
    }
  }
  // The same shape with the spacing changed, and literals the reader must refuse: the message is
  // the one a fresh set gives.
  const std::vector<std::string> diversi = {
      "NumeroHotel=1 and Codice=12",          "NumeroHotel = 1 and Codice = 1.2.3",
      "NumeroHotel = 1 and Codice = 12abc",   "Sigla = 'BB",
      "NumeroHotel = 1 and Codice = 'sette'", "NumeroHotel = 1 and Codice = 7"};
  for (const std::string& criteri : diversi) {
    auto nuovo = db->OpenRecordset("Prova");
    const std::string atteso = Messaggio([&] { Visita(*nuovo, criteri); });
    EXPECT_EQ(Messaggio([&] { Visita(*riusato, criteri); }), atteso) << criteri;
    auto di_nuovo = db->OpenRecordset("Prova");
    EXPECT_EQ(Visita(*riusato, "NumeroHotel = 1 and Codice = 12"),
              Visita(*di_nuovo, "NumeroHotel = 1 and Codice = 12"))
        << "after " << criteri;
  }
}

// FindNext goes on from where the last find stopped; adding and changing rows in between must
// not make it skip or repeat a row. A model of the table tells what each find must give.
TEST_F(MotoreDati, FindNextProsegueGiustoTraAggiunteEModifiche) {
  ScriviTabella("Prova.mdb", "Prova", kCampiProva, kRigheProva);
  struct RigaModello {
    int id, hotel, codice;
    std::string sigla;  // "" for Null
  };
  std::vector<RigaModello> modello;
  for (const auto& r : kRigheProva) {
    modello.push_back({static_cast<int>(r[0].Intero()), static_cast<int>(r[1].Intero()),
                       static_cast<int>(r[3].Intero()), r[2].IsNull() ? "" : r[2].Testo()});
  }
  struct Criterio {
    std::string testo;
    std::function<bool(const RigaModello&)> soddisfa;
  };
  const std::vector<Criterio> criteri = {
      {"NumeroHotel = 1", [](const RigaModello& r) { return r.hotel == 1; }},
      {"Sigla = 'BB'", [](const RigaModello& r) { return r.sigla == "BB"; }},
      {"Codice = 12", [](const RigaModello& r) { return r.codice == 12; }},
      {"NumeroHotel = 1 and Sigla = 'BB'",
       [](const RigaModello& r) { return r.hotel == 1 && r.sigla == "BB"; }},
      {"Sigla = 'BB' or Codice = 12",
       [](const RigaModello& r) { return r.sigla == "BB" || r.codice == 12; }},
  };
  auto db = motore_.OpenDatabase("Prova.mdb");
  auto rs = db->OpenRecordset("Prova");
  db->BeginTrans();  // many small writes: one commit at the end
  std::mt19937 caso(11);
  int prossimo_id = 100;
  // The current row, as a position in the model: a fresh set stands on its first row, and a
  // find that fails leaves the position where it was (FindNext goes on from there).
  size_t corrente = 0;
  bool su_riga = true;
  size_t in_uso = 0;  // a walk keeps its criteria, as the runs' walks do; now and then not
  for (int passo = 0; passo < 3000; ++passo) {
    const int mossa = static_cast<int>(caso() % 10);
    const bool prima = mossa < 1;
    if (prima || caso() % 10 == 0) in_uso = caso() % criteri.size();
    const Criterio& c = criteri[in_uso];
    if (mossa < 7) {
      if (prima) {
        rs->FindFirst(c.testo);
      } else {
        rs->FindNext(c.testo);
      }
      su_riga = false;
      for (size_t i = prima ? 0 : corrente + 1; i < modello.size(); ++i) {
        if (c.soddisfa(modello[i])) {
          corrente = i;
          su_riga = true;
          break;
        }
      }
      const std::string dove =
          c.testo + (prima ? " (FindFirst)" : " (FindNext)") + " at step " + std::to_string(passo);
      ASSERT_EQ(rs->NoMatch(), !su_riga) << dove;
      if (su_riga) {
        EXPECT_EQ(rs->Fields("Id").Value().Intero(), modello[corrente].id) << dove;
      }
    } else if (mossa < 9) {  // change the current row
      if (!su_riga) continue;
      RigaModello& r = modello[corrente];
      const char* sigle[] = {"BB", "HB", "bb", "FB"};
      r.sigla = sigle[caso() % 4];
      r.codice = static_cast<int>(caso() % 3) * 5 + 7;  // 7, 12, 17
      rs->Edit();
      rs->Fields("Sigla") = r.sigla;
      rs->Fields("Codice") = int32_t(r.codice);
      rs->Update();
    } else {  // add a row; the current row stays the one before AddNew
      RigaModello r{prossimo_id++, static_cast<int>(caso() % 2) + 1, 12, "BB"};
      modello.push_back(r);
      rs->AddNew();
      rs->Fields("Id") = int32_t(r.id);
      rs->Fields("NumeroHotel") = int16_t(r.hotel);
      rs->Fields("Sigla") = r.sigla;
      rs->Fields("Codice") = int32_t(r.codice);
      rs->Update();
    }
  }
  db->CommitTrans();
  EXPECT_GT(modello.size(), 200u);
}

TEST_F(MotoreDati, EditLeggeLaRigaDalFileSoloQuandoServeESegnalaUnaRigaEliminata) {
  ScriviTabella("Prova.mdb", "Prova", kCampiProva, kRigheProva);
  auto db = motore_.OpenDatabase("Prova.mdb");
  auto rs = db->OpenRecordset("Prova");
  rs->FindFirst("Id = 3");
  rs->Edit();
  rs->Fields("Nota") = "nuova";
  EXPECT_EQ(rs->Fields("Nota").Value(), Valore("nuova")) << "a field written reads as written";
  EXPECT_EQ(rs->Fields("Sigla").Value(), Valore("HB")) << "the others as the file holds them";
  EXPECT_EQ(rs->Fields("Importo").Value(), Valore(V(200000)));
  rs->Fields("Sigla") = "XX";
  EXPECT_EQ(rs->Fields("Sigla").Value(), Valore("XX"));
  rs->Update();
  EXPECT_EQ(Grezzo("Prova.mdb", "SELECT Sigla, Nota, Codice FROM Prova WHERE Id = 3")[0],
            (std::vector<std::string>{"XX", "nuova", "-3"}));

  // Rows deleted behind the set's back, by another program.
  const auto elimina = [](int id) {
    sqlite3* grezzo = nullptr;
    sqlite3_open("Prova.mdb", &grezzo);
    sqlite3_exec(grezzo, ("DELETE FROM Prova WHERE Id = " + std::to_string(id)).c_str(), nullptr,
                 nullptr, nullptr);
    sqlite3_close(grezzo);
  };
  struct Caso {
    int id;
    const char* perche;
    std::function<void()> modifica;
  };
  const Caso casi[] = {
      {1, "a field written", [&] { rs->Fields("Nota") = "z"; }},
      {4, "a field read", [&] { rs->Fields("Nota").Value(); }},
      {5, "nothing written", [] {}},
  };
  for (const Caso& c : casi) {
    rs->FindFirst("Id = " + std::to_string(c.id));
    ASSERT_FALSE(rs->NoMatch());
    elimina(c.id);
    rs->Edit();
    const std::string m = Messaggio([&] {
      c.modifica();
      rs->Update();
    });
    EXPECT_NE(m.find("il record è stato eliminato"), std::string::npos) << c.perche << ": " << m;
    EXPECT_NO_THROW(rs->FindFirst("Id = 7")) << c.perche << ": the set is usable again";
  }
  EXPECT_EQ(Grezzo("Prova.mdb", "SELECT count(*) FROM Prova")[0][0], "4") << "nothing added";
}

// A work file keeps its journal in memory: no journal file beside it while a transaction writes,
// and a rollback still undoes the transaction. Other files keep theirs on disk.
TEST_F(MotoreDati, UnFileDiLavoroTieneIlGiornaleInMemoria) {
  ScriviTabella("Normale.mdb", "Prova", kCampiProva, kRigheProva);
  motore_.FileDiLavoro("Lavoro.mdb");
  ScriviTabella("Lavoro.mdb", "Prova", kCampiProva, kRigheProva);
  for (const std::string file : {"Normale.mdb", "Lavoro.mdb"}) {
    auto db = motore_.OpenDatabase(file);
    auto rs = db->OpenRecordset("Prova");
    db->BeginTrans();
    for (int i = 0; i < 200; ++i) {
      rs->AddNew();
      rs->Fields("Id") = int32_t{1000 + i};
      rs->Fields("Nota") = std::string(20, 'n');
      rs->Update();
    }
    rs->FindFirst("Id = 1");
    rs->Edit();
    rs->Fields("Sigla") = "ZZ";
    rs->Update();
    EXPECT_EQ(fs::exists(file + "-journal"), file == "Normale.mdb") << file;
    db->Rollback();
    EXPECT_EQ(rs->RecordCount(), 7) << file;
    db->Close();
    EXPECT_EQ(Grezzo(file, "SELECT count(*), max(Sigla) FROM Prova")[0],
              (std::vector<std::string>{"7", "bb"}))
        << file << ": the rollback undid the transaction";
  }
}

// One engine, several threads opening databases and reading sets at once, each its own: every
// thread finds what one thread alone finds.
TEST_F(MotoreDati, PiuThreadApronoInsiemiConLoStessoMotore) {
  ScriviTabella("Prova.mdb", "Prova", kCampiProva, kRigheProva);
  ScriviTabella("Altro.mdb", "Altro", kCampiProva, kRigheProva);
  const std::vector<std::string> testi = {
      "Select * From Prova Where Codice In (Select Codice From Altro In 'Altro.mdb' Where "
      "NumeroHotel = 1) Order by Id desc",
      "Select Sigla, sum(Importo) as Totale From Prova Group by Sigla Order by Sigla",
      "Prova",
  };
  const auto leggi = [&](DBEngine& motore, const std::string& testo) {
    auto db = motore.OpenDatabase("Prova.mdb");
    auto rs = db->OpenRecordset(testo);
    std::vector<std::string> visti;
    for (rs->FindFirst("NumeroHotel = 1 or NumeroHotel <> 1 or NumeroHotel Is Null");
         !rs->NoMatch();
         rs->FindNext("NumeroHotel = 1 or NumeroHotel <> 1 or NumeroHotel Is Null")) {
      std::string riga;
      for (int c = 0; c < rs->NumeroCampi(); ++c) {
        const Valore v = rs->Fields(c).Value();
        riga += std::to_string(static_cast<int>(v.Tipo())) + (v.IsNull() ? "" : v.Testo()) + "|";
      }
      visti.push_back(riga);
    }
    return visti;
  };
  // The grouped set has no NumeroHotel: its walk uses a field it has.
  std::vector<std::vector<std::string>> attesi;
  for (const std::string& testo : testi) {
    if (testo.find("Group by") != std::string::npos) {
      attesi.push_back({});
      continue;
    }
    attesi.push_back(leggi(motore_, testo));
    ASSERT_FALSE(attesi.back().empty()) << testo;
  }
  DBEngine condiviso;
  std::vector<std::vector<std::vector<std::string>>> risultati(6);
  std::vector<std::string> errori(6);
  std::vector<std::thread> fili;
  for (int f = 0; f < 6; ++f) {
    fili.emplace_back([&, f] {
      try {
        for (int giro = 0; giro < 20; ++giro) {
          for (const std::string& testo : testi) {
            if (testo.find("Group by") != std::string::npos) {
              auto db = condiviso.OpenDatabase("Prova.mdb");
              db->OpenRecordset(testo)->MoveLast();
              continue;
            }
            risultati[f].push_back(leggi(condiviso, testo));
          }
        }
      } catch (const Errore& e) {
        errori[f] = e.what();
      }
    });
  }
  for (auto& filo : fili) filo.join();
  for (int f = 0; f < 6; ++f) {
    EXPECT_EQ(errori[f], "") << "thread " << f;
    ASSERT_EQ(risultati[f].size(), 40u) << "thread " << f;
    for (size_t i = 0; i < risultati[f].size(); ++i) {
      EXPECT_EQ(risultati[f][i], attesi[i % 2 == 0 ? 0 : 2]) << "thread " << f << ", set " << i;
    }
  }
}

// Any thread may be the first to open an Access file, while other threads of the process work
// and hold the locks of the allocator, of stdio and of iconv: the reader is a program started
// afresh, never a copy of this process. A missing file or one that is no database reports the
// same from a thread as from the main one.
TEST_F(MotoreDati, UnThreadQualsiasiApreUnFileAccessMentreAltriLavorano) {
  const fs::path campione = fs::path(VENDRIX_SHARED_DIR) / "jet" / "nwind.mdb";
  if (!fs::exists(campione)) GTEST_SKIP() << "manca il file Access di prova " << campione;
  fs::copy_file(campione, "Nwind.mdb");
  std::ofstream("Testo.mdb") << "questo non è un database\n";
  const std::string sql =
      "Select OrderID, ProductID, UnitPrice, Quantity From [Order Details] Where OrderID < 10400 "
      "Order by OrderID, ProductID";
  const auto leggi = [&](DBEngine& motore) {
    auto db = motore.OpenDatabase("Nwind.mdb");
    auto rs = db->OpenRecordset(sql);
    std::vector<std::string> righe;
    for (rs->FindFirst("OrderID > 0"); !rs->NoMatch(); rs->FindNext("OrderID > 0")) {
      righe.push_back(rs->Fields("OrderID").Value().Testo() + "|" +
                      rs->Fields("ProductID").Value().Testo() + "|" +
                      rs->Fields("UnitPrice").Value().Testo() + "|" +
                      rs->Fields("Quantity").Value().Testo());
    }
    return righe;
  };

  std::atomic<bool> fermi{false};
  std::vector<std::thread> lavoratori;
  for (int l = 0; l < 3; ++l) {
    lavoratori.emplace_back([&] {
      while (!fermi) {
        std::vector<std::string> v(64, std::string(200, 'x'));
        char buf[64];
        std::snprintf(buf, sizeof buf, "%zu", v.size());
        std::fflush(stdout);
        if (iconv_t c = iconv_open("UTF-8", "WINDOWS-1252"); c != reinterpret_cast<iconv_t>(-1)) {
          iconv_close(c);
        }
      }
    });
  }
  // Two engines: on the shared one the threads meet on one reading, each other engine starts a
  // reader of its own at the same time.
  DBEngine condiviso;
  constexpr int kLettori = 5;
  std::vector<std::vector<std::string>> lette(kLettori);
  std::vector<std::string> errori(kLettori), mancante(kLettori), testo(kLettori);
  std::vector<std::thread> fili;
  for (int f = 0; f < kLettori; ++f) {
    fili.emplace_back([&, f] {
      DBEngine proprio;
      DBEngine& motore = f < 3 ? condiviso : proprio;
      try {
        lette[f] = leggi(motore);
      } catch (const Errore& e) {
        errori[f] = e.what();
      }
      mancante[f] = Messaggio([&] { motore.OpenDatabase("Manca.mdb"); });
      testo[f] = Messaggio([&] { motore.OpenDatabase("Testo.mdb"); });
    });
  }
  for (auto& filo : fili) filo.join();
  fermi = true;
  for (auto& l : lavoratori) l.join();

  const std::vector<std::string> attese = leggi(motore_);
  ASSERT_GT(attese.size(), 100u);
  for (int f = 0; f < kLettori; ++f) {
    EXPECT_EQ(errori[f], "") << "thread " << f;
    EXPECT_EQ(lette[f], attese) << "thread " << f;
    EXPECT_EQ(mancante[f], "Impossibile aprire il database 'Manca.mdb': file non trovato");
    EXPECT_EQ(testo[f],
              "Impossibile aprire il database 'Testo.mdb': il file non è un database riconosciuto");
  }
}

// Without its reader program an Access file cannot be read: the message says where the program
// was looked for, so that the installation can be mended.
TEST_F(MotoreDati, SenzaIlProgrammaDiLetturaIlMessaggioDiceDoveLoSiCercava) {
  std::string testa(3 * 2048, '\0');
  testa.replace(0, 20, std::string("\x00\x01\x00\x00Standard Jet DB\x00", 20));
  std::ofstream("Vuoto.mdb", std::ios::binary) << testa;
  const std::string lettore = (cartella_ / "manca" / "vendrix-lettore-jet").string();
  std::string m;
  {
    prova::VariabileAmbiente altrove("VENDRIX_LETTORE_JET", lettore);
    m = Messaggio([&] { motore_.OpenDatabase("Vuoto.mdb"); });
  }
  EXPECT_NE(m.find("Impossibile leggere il file Access"), std::string::npos) << m;
  EXPECT_NE(m.find("non è stato trovato"), std::string::npos) << m;
  EXPECT_NE(m.find("'" + lettore + "'"), std::string::npos) << m;
}

TEST(Archivio, CreaArchivioScriveLaTabellaVendrixNellOrdine) {
  fs::path cartella = fs::temp_directory_path() / ("vx_arch_" + std::to_string(getpid()));
  fs::remove_all(cartella);
  fs::create_directories(cartella);
  std::string file = (cartella / "Vendrix.mdb").string();
  DBEngine motore;
  CreaArchivio(motore, file);
  auto schema = Grezzo(file, "SELECT name, type FROM pragma_table_info('Vendrix')");
  const std::vector<std::vector<std::string>> attesi = {
      {"NumeroHotel", "SMALLINT"}, {"DataRif", "VARCHAR(8)"}, {"TotRO", "CURRENCY"},
      {"TotBB", "CURRENCY"},       {"TotHB", "CURRENCY"},     {"TotFB", "CURRENCY"},
      {"TotSupl", "CURRENCY"},     {"TotRetta", "CURRENCY"},  {"TipoCamera", "VARCHAR(30)"},
      {"Agenzia", "VARCHAR(100)"}, {"TotCamOcc", "INTEGER"},  {"TotPax", "INTEGER"},
      {"Extra", "CURRENCY"},
  };
  EXPECT_EQ(schema, attesi);
  EXPECT_EQ(Grezzo(file, "SELECT count(*) FROM Vendrix")[0][0], "0");

  {
    auto db = motore.OpenDatabase(file);
    auto rs = db->OpenRecordset(tabelle::kVendrix);
    rs->AddNew();
    rs->Fields("NumeroHotel") = int16_t{1};
    rs->Fields("DataRif") = "20210305";
    rs->Fields("TotRO") = 50.025;
    rs->Fields("Agenzia") = std::string(150, 'A');
    rs->Fields("TipoCamera") = "DOPPIA CON VISTA MARE E BALCONE PANORAMICO";
    rs->Update();
    db->Close();
  }
  auto riga = Grezzo(file, "SELECT DataRif, TotRO, length(Agenzia), TipoCamera FROM Vendrix");
  EXPECT_EQ(riga[0], (std::vector<std::string>{"20210305", "50.025", "100",
                                               "DOPPIA CON VISTA MARE E BALCON"}))
      << "texts longer than their field are cut to it";

  // An existing file is left alone, rows included.
  auto prima = fs::last_write_time(file);
  CreaArchivio(motore, file);
  EXPECT_EQ(fs::last_write_time(file), prima);
  EXPECT_EQ(Grezzo(file, "SELECT count(*) FROM Vendrix")[0][0], "1");
  fs::remove_all(cartella);
}

}  // namespace
}  // namespace vendrix
