// Grouped sums the engine adds up itself give what SQLite's own execution gives: the same groups,
// values of the same types, in the same order. SQLite's execution is reached by the same query
// with a Having clause that keeps every group, a shape the engine leaves to SQLite.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "data/dbengine.h"
#include "data/sql_dialetto.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;

class SommeGruppi : public ::testing::Test {
 protected:
  void SetUp() override {
    cartella_ = fs::temp_directory_path() / ("vx_somme_" + std::to_string(getpid()));
    fs::remove_all(cartella_);
    fs::create_directories(cartella_);
    motore_ = std::make_unique<DBEngine>(cartella_);
  }
  void TearDown() override {
    motore_.reset();
    fs::remove_all(cartella_);
  }

  // A statistics-like table with Nulls, empty and long texts, negative amounts and decimals.
  std::unique_ptr<Database> Tabella() {
    auto db = motore_->Workspaces().CreateDatabase("S.mdb");
    TableDef td = db->CreateTableDef("V");
    for (auto [nome, tipo, n] : {std::tuple{"H", dbInteger, 0},
                                 {"D", dbText, 8},
                                 {"T", dbText, 30},
                                 {"A", dbText, 100},
                                 {"C", dbCurrency, 0},
                                 {"L", dbLong, 0}}) {
      td.Fields.Append(td.CreateField(nome, tipo, n));
    }
    db->TableDefs().Append(td);
    std::mt19937 caso(11);
    auto tra = [&](int n) { return static_cast<int>(caso() % static_cast<unsigned>(n)); };
    const std::vector<std::string> tipi = {"", "DOP", "SIN", "TRI", "DOPPIA USO SINGOLA"};
    auto rs = db->OpenRecordset("V");
    db->BeginTrans();
    for (int i = 0; i < 4000; ++i) {
      rs->AddNew();
      if (tra(20)) rs->Fields("H") = Valore(static_cast<int16_t>(1 + tra(2)));
      rs->Fields("D") = Valore("202402" + std::to_string(10 + tra(20)));
      if (tra(15)) rs->Fields("T") = Valore(tipi[static_cast<size_t>(tra(5))]);
      if (tra(6)) rs->Fields("A") = Valore("Agenzia viaggi numero " + std::to_string(tra(25)));
      if (tra(10)) rs->Fields("C") = Valore(Valuta::DaDecimillesimi(tra(2000000) - 400000));
      // One day's amounts are all Null: its sum is Null, not 0.
      if (tra(10) && rs->Fields("D").Value().Testo() != "20240210") {
        rs->Fields("L") = Valore(static_cast<int32_t>(tra(5)));
      } else {
        rs->Fields("L") = Valore();
      }
      rs->Update();
    }
    db->CommitTrans();
    return db;
  }

  // Every row of the set, every field as its type and value.
  static std::vector<std::string> Righe(Recordset& rs) {
    std::vector<std::string> righe;
    const std::string nome = "[" + rs.NomeCampo(0) + "]";
    const std::string tutte = nome + " Is Null or " + nome + " Is Not Null";
    for (rs.FindFirst(tutte); !rs.NoMatch(); rs.FindNext(tutte)) {
      std::string riga;
      for (int c = 0; c < rs.NumeroCampi(); ++c) {
        const Valore v = rs.Fields(c).Value();
        riga +=
            std::to_string(static_cast<int>(v.Tipo())) + ":" + (v.IsNull() ? "" : v.Testo()) + "|";
      }
      righe.push_back(std::move(riga));
    }
    return righe;
  }

  std::unique_ptr<DBEngine> motore_;
  fs::path cartella_;
};

TEST_F(SommeGruppi, DannoQuelloCheDaSqlite) {
  auto db = Tabella();
  struct Caso {
    std::string gruppi, resto;  // the query, split where Having goes
  };
  const Caso casi[] = {
      {"Select H,D,sum(C) as SC,sum(L) as SL,T From V Group by H,D,T", " Order by D"},
      {"Select H,T,sum(C) as SC,sum(L) as SL,A From V Group by H,T,A", " Order by T;"},
      {"Select H,sum(C) as SC,sum(L) as SL,A,T From V Where A >= ' ' Group by H,A,T",
       " Order by A,T"},
      {"Select sum(C) SC, D From V Where H = 1 and L > 0 Group by D", " Order by D asc"},
      {"Select A, sum(L) as SL From V Group by A", ""},
  };
  for (const bool in_due_meta : {false, true}) {
    SCOPED_TRACE(in_due_meta ? "letta in due metà" : "letta in una volta");
    if (in_due_meta) {
      // The rows once more, far enough in rowids for the table to be read in two halves at once.
      db->Close();
      sqlite3* file = nullptr;
      ASSERT_EQ(sqlite3_open((cartella_ / "S.mdb").c_str(), &file), SQLITE_OK);
      EXPECT_EQ(sqlite3_exec(file,
                             "INSERT INTO V (rowid, H, D, T, A, C, L) "
                             "SELECT rowid + 300000, H, D, T, A, C, L FROM V",
                             nullptr, nullptr, nullptr),
                SQLITE_OK);
      sqlite3_close(file);
      db = motore_->OpenDatabase("S.mdb");
    }
    std::vector<std::string> testi;
    for (const Caso& c : casi) {
      auto proprie = db->OpenRecordset(c.gruppi + c.resto);
      auto di_sqlite = db->OpenRecordset(c.gruppi + " Having 1 = 1" + c.resto);
      const auto attese = Righe(*di_sqlite);
      ASSERT_GT(attese.size(), 3u) << c.gruppi;
      EXPECT_EQ(Righe(*proprie), attese) << c.gruppi << c.resto;
      testi.push_back(c.gruppi + c.resto);
    }
    // All of them in one read, with a table and a query of another shape among them.
    testi.insert(testi.begin() + 2, "V");
    testi.push_back("Select D, count(*) as N From V Group by D");
    const std::vector<std::string_view> viste(testi.begin(), testi.end());
    auto insieme = db->OpenRecordsets(viste);
    ASSERT_EQ(insieme.size(), testi.size());
    for (size_t i = 0; i < testi.size(); ++i) {
      EXPECT_EQ(Righe(*insieme[i]), Righe(*db->OpenRecordset(testi[i]))) << testi[i];
    }
  }
  // An error is the first that opening them one by one meets.
  try {
    db->OpenRecordsets({"Select H,sum(C) as SC From V Group by H", "Select X From V",
                        "Select H,sum(C) as SC From W Group by H"});
    ADD_FAILURE() << "nessun errore";
  } catch (const Errore& e) {
    EXPECT_NE(std::string(e.what()).find("Campo 'X' non trovato"), std::string::npos) << e.what();
  }
}

// Texts are ordered byte by byte as unsigned values, as SQLite orders them: accented letters in
// UTF-8 after every ASCII one, an empty text after Null and before the others.
TEST_F(SommeGruppi, TestiOrdinatiPerByteSenzaSegno) {
  auto db = motore_->Workspaces().CreateDatabase("U.mdb");
  TableDef td = db->CreateTableDef("V");
  td.Fields.Append(td.CreateField("T", dbText, 20));
  td.Fields.Append(td.CreateField("L", dbLong, 0));
  db->TableDefs().Append(td);
  auto rs = db->OpenRecordset("V");
  const char* const testi[] = {"zeta",     "\xC3\xA0rea", "",     "Zeta", nullptr,
                               "\xC3\xA9", "~",           "zeta", ""};
  int n = 0;
  for (const char* t : testi) {
    rs->AddNew();
    if (t) rs->Fields("T") = Valore(t);
    rs->Fields("L") = Valore(static_cast<int32_t>(++n));
    rs->Update();
  }
  const std::string sql = "Select T, sum(L) as SL From V Group by T";
  const auto attese = Righe(*db->OpenRecordset(sql + " Having 1 = 1"));
  ASSERT_EQ(attese.size(), 7u);
  EXPECT_EQ(Righe(*db->OpenRecordset(sql)), attese);
}

// The shapes the engine adds up itself, and some it must leave to SQLite.
TEST(PianoSomme, SoloSommeRaggruppateDiUnaTabella) {
  engine_detail::ContestoSql contesto{
      [](const std::string&) { return std::string("s1"); },
      [](const std::string&, const std::string&, const std::string& c) -> std::string {
        return c == "C" ? "CURRENCY" : "INTEGER";
      }};
  auto piano = [&](const char* sql) { return engine_detail::TraduciSql(sql, contesto).piano; };
  const auto p = piano(
      "Select H,sum(C) as SC,sum(L) as SL,A From V In 'x.mdb' Where A >= ' ' "
      "Group by H,A Order by A");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->testo_tabella, "\"s1\".\"V\"");
  EXPECT_EQ(p->condizione, "A >= ' '");
  EXPECT_EQ(p->testi_gruppo, (std::vector<std::string>{"H", "A"}));
  EXPECT_EQ(p->testi_argomenti, (std::vector<std::string>{"C", "L"}));
  EXPECT_EQ(p->ordine, std::vector<int>{1});
  ASSERT_EQ(p->uscite.size(), 4u);
  EXPECT_TRUE(p->uscite[1].somma && p->uscite[1].valuta && !p->uscite[2].valuta);
  EXPECT_EQ(p->uscite[3].colonna, 1);
  for (const char* sql : {
           "Select H,sum(C) as SC From V Group by H Order by H desc",
           "Select H,sum(C) as SC From V Group by H Having sum(C) > 0",
           "Select H,D,sum(C) as SC From V Group by H",
           "Select H,sum(C) as H2 From V Where H2 > 0 Group by H",
           "Select H,sum(C) as D From V Group by H,D",
           "Select H,sum(C+1) as SC From V Group by H",
           "Select H,count(*) as N From V Group by H",
           "Select V.H,sum(C) as SC From V,W Group by H",
       }) {
    EXPECT_FALSE(piano(sql)) << sql;
  }
}

}  // namespace
}  // namespace vendrix
