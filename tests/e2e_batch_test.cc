// vendrix-batch run as a user runs it, in a folder holding a sample hotel.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/demo/hotel_demo.h"
#include "comune/date.h"
#include "comune/nome_hotel.h"
#include "comune/versione.h"
#include "data/dbengine.h"
#include "data/tabelle.h"
#include "tests/support/cartella_prova.h"
#include "tests/support/comando.h"
#include "tests/support/lettore_xlsx.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;

using prova::Esito;

class BatchTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    albergo_ = prova::HotelDiProva("vendrix_batch", prova::OpzioniHotel(20, 40, 30));
  }
  static void TearDownTestSuite() { prova::RimuoviCartella(albergo_); }
  void SetUp() override { unsetenv("DIRSH"); }

  // Runs vendrix-batch in `cartella` with `argomenti`.
  static Esito Esegui(const fs::path& cartella, const std::vector<std::string>& argomenti) {
    return prova::EseguiBatch(cartella, argomenti);
  }

  static int64_t RigheStatistiche(const fs::path& cartella) {
    DBEngine motore;
    auto db = motore.OpenDatabase((cartella / tabelle::kFileVendrix).string());
    auto rs = db->OpenRecordset(tabelle::kVendrix);
    int64_t righe = 0;
    rs->FindFirst("NumeroHotel = 1");
    while (!rs->NoMatch()) {
      ++righe;
      rs->FindNext("NumeroHotel = 1");
    }
    return righe;
  }

  static fs::path* albergo_;
};

fs::path* BatchTest::albergo_ = nullptr;

TEST_F(BatchTest, CalcolaRebuildsTheStatisticsOfADemoHotel) {
  const Esito tutto = Esegui(*albergo_, {"calcola", "01/01/2024", "31/01/2024", "--confermate",
                                         "--opzionate", "--clienti"});
  ASSERT_EQ(tutto.codice, 0) << tutto.err;
  const int64_t con_tutto = RigheStatistiche(*albergo_);
  EXPECT_GT(con_tutto, 0);
  EXPECT_EQ(tutto.out,
            "Creazione dati completata!\nOra si possono generare i fogli Excel\nPeriodo dal "
            "01/01/2024 al 31/01/2024, prenotazioni confermate, prenotazioni opzionate, clienti "
            "in casa + storico: " +
                std::to_string(con_tutto) + " righe di statistiche.\n");
  // Its stderr is no terminal: no progress there, only errors.
  EXPECT_EQ(tutto.err, "");

  // No option: the window's start state, confirmed bookings only; a two-digit year is of this
  // century, and the short forms are read as the window reads them.
  const Esito predefinito = Esegui(*albergo_, {"calcola", "010124", "31.1.24"});
  ASSERT_EQ(predefinito.codice, 0) << predefinito.err;
  EXPECT_NE(predefinito.out.find("dal 01/01/2024 al 31/01/2024, prenotazioni confermate:"),
            std::string::npos)
      << predefinito.out;
  const int64_t confermate = RigheStatistiche(*albergo_);
  EXPECT_GT(confermate, 0);
  EXPECT_LT(confermate, con_tutto);

  const Esito solo_confermate =
      Esegui(*albergo_, {"calcola", "01/01/2024", "31/01/2024", "--confermate"});
  ASSERT_EQ(solo_confermate.codice, 0) << solo_confermate.err;
  EXPECT_EQ(RigheStatistiche(*albergo_), confermate);
}

TEST_F(BatchTest, BadArgumentsShowTheUsage) {
  const std::vector<std::vector<std::string>> casi = {
      {},
      {"calcola"},
      {"calcola", "01/01/2024"},
      {"calcola", "32/01/2024", "31/01/2024"},
      {"calcola", "01/01/2024", "31/02/2024"},
      {"calcola", "1//1//2024", "31/01/2024"},
      {"calcola", "01/01/2024", "01/01/2E03"},
      {"calcola", "01/01/024", "31/01/24"},
      {"calcola", "31/01/2024", "01/01/2024"},
      {"calcola", "01/01/1900", "31/12/9999", "--clienti"},  // longer than a report can show
      {"excel", "01/01/1900", "31/12/9999"},
      {"calcola", "01/01/2024", "31/01/2024", "--tutto"},
      {"excel", "01/01/2024", "31/01/2024", "--clienti"},
      {"excel", "01/01/2024", "31/01/2024", "--cartella"},
      {"calcola", "01/01/2024", "31/01/2024", "--senza-confronto"},
      {"stampa", "01/01/2024", "31/01/2024"},
      {"--hotel"},
      {"--hotel", "Uno", "--hotel", "Due"},
      {"calcola", "01/01/2024", "31/01/2024", "--hotel"},
  };
  const std::string prima = prova::LeggiFile(*albergo_ / tabelle::kFileVendrix);
  for (const auto& argomenti : casi) {
    std::string nome;
    for (const auto& a : argomenti) nome += a + " ";
    const Esito esito = Esegui(*albergo_, argomenti);
    EXPECT_EQ(esito.codice, 2) << nome;
    EXPECT_NE(esito.err.find("Uso:"), std::string::npos) << nome << esito.err;
    EXPECT_EQ(esito.out, "") << nome;
  }
  EXPECT_EQ(prova::LeggiFile(*albergo_ / tabelle::kFileVendrix), prima);

  // The message says which argument is wrong, in the window's words.
  const Esito data = Esegui(*albergo_, {"excel", "01/01/2024", "01/01/2E03"});
  EXPECT_EQ(data.err.substr(0, data.err.find('\n')),
            "vendrix-batch: AL: " + MessaggioDataNonValida("01/01/2E03"));

  const Esito versione = Esegui(*albergo_, {"--version"});
  EXPECT_EQ(versione.codice, 0);
  EXPECT_EQ(versione.out, std::string("vendrix-batch ") + kVersione + "\n");
  const Esito aiuto = Esegui(*albergo_, {"--help"});
  EXPECT_EQ(aiuto.codice, 0);
  EXPECT_TRUE(aiuto.out.starts_with("Uso:\n")) << aiuto.out;
  EXPECT_EQ(aiuto.out.find('&'), std::string::npos) << "no access keys in printed texts";
  EXPECT_NE(aiuto.out.find("calcola DAL AL"), std::string::npos) << aiuto.out;
  EXPECT_NE(aiuto.out.find("DIRSH"), std::string::npos) << aiuto.out;
}

TEST_F(BatchTest, AFailedRunReportsItsErrorAndKeepsThePreviousFile) {
  const fs::path vuota = prova::NuovaCartella("vendrix_vuota");
  // A folder without hotel files, but with statistics of an earlier run.
  const std::string prima = std::string("statistiche precedenti\0\x01\xFF", 25);
  std::ofstream(vuota / tabelle::kFileVendrix, std::ios::binary) << prima;
  const Esito esito = Esegui(vuota, {"calcola", "01/01/2024", "31/01/2024"});
  EXPECT_EQ(esito.codice, 1);
  EXPECT_NE(esito.err, "");
  EXPECT_EQ(esito.out, "");
  EXPECT_EQ(prova::LeggiFile(vuota / tabelle::kFileVendrix), prima);
  fs::remove_all(vuota);
}

TEST_F(BatchTest, ExcelWritesTheThreeWorkbooksOfThePeriodComputed) {
  ASSERT_EQ(Esegui(*albergo_, {"calcola", "01/01/2024", "31/01/2024", "--clienti"}).codice, 0);
  // Another period than the statistics': refused, nothing written.
  const Esito altro = Esegui(*albergo_, {"excel", "01/01/2024", "30/01/2024"});
  EXPECT_EQ(altro.codice, 1);
  EXPECT_EQ(altro.err,
            "vendrix-batch: Le statistiche sono del periodo dal 01/01/2024 al 31/01/2024 (clienti "
            "in casa + storico): eseguire prima vendrix-batch calcola per il periodo richiesto.\n");
  EXPECT_FALSE(fs::exists(*albergo_ / "Excel"));

  const fs::path uscita = *albergo_ / "fogli";
  for (const bool con_cartella : {true, false}) {
    std::vector<std::string> argomenti = {"excel", "01/01/2024", "31/01/2024"};
    if (con_cartella) argomenti.insert(argomenti.end(), {"--cartella", "fogli"});
    const Esito esito = Esegui(*albergo_, argomenti);
    ASSERT_EQ(esito.codice, 0) << esito.err;
    // Without --cartella, the Excel folder of the hotel folder.
    const fs::path cartella = con_cartella ? uscita : *albergo_ / "Excel";
    EXPECT_EQ(esito.out, (cartella / "REPORT_DATA.xlsx").string() + "\n" +
                             (cartella / "REPORT_TIPOCAMERA.xlsx").string() + "\n" +
                             (cartella / "REPORT_AGENZIA.xlsx").string() + "\n");
    for (const char* f : {"REPORT_DATA.xlsx", "REPORT_TIPOCAMERA.xlsx", "REPORT_AGENZIA.xlsx"}) {
      EXPECT_TRUE(fs::is_regular_file(cartella / f)) << cartella / f;
    }
  }

  // Last year beside the period unless --senza-confronto; the statistics stay as they were.
  const std::string statistiche = prova::LeggiFile(*albergo_ / tabelle::kFileVendrix);
  for (const bool confronto : {true, false}) {
    std::vector<std::string> argomenti = {"excel", "01/01/2024", "31/01/2024"};
    if (!confronto) argomenti.push_back("--senza-confronto");
    const Esito esito = Esegui(*albergo_, argomenti);
    ASSERT_EQ(esito.codice, 0) << esito.err;
    const prova::CartellaLetta data =
        prova::LeggiXlsx((*albergo_ / "Excel" / "REPORT_DATA.xlsx").string());
    EXPECT_EQ(data.fogli.size(), confronto ? 4u : 3u);
    EXPECT_EQ(data.Foglio("Riepilogo").Cella("D1").testo, confronto ? "Anno precedente" : "");
    EXPECT_EQ(prova::LeggiFile(*albergo_ / tabelle::kFileVendrix), statistiche);
  }
}

// The hotel's name, set once for the folder: alone or beside a command, read by the workbooks;
// an empty name gives the folder's name back.
TEST_F(BatchTest, HotelSetsTheNameTheWorkbooksShow) {
  const std::string cartella = albergo_->filename().string();
  std::string euro;
  for (int i = 0; i < 80; ++i) euro += "\u20ac";
  const Esito solo = Esegui(*albergo_, {"--hotel", "  Villa Rosa  "});
  ASSERT_EQ(solo.codice, 0) << solo.err;
  EXPECT_EQ(NomeHotel(*albergo_), "Villa Rosa");
  ASSERT_EQ(Esegui(*albergo_, {"calcola", "01/01/2024", "31/01/2024"}).codice, 0);
  struct Caso {
    std::vector<std::string> argomenti;
    std::string nome;
  };
  const Caso casi[] = {
      {{"excel", "01/01/2024", "31/01/2024", "--senza-confronto"}, "Villa Rosa"},
      {{"excel", "--hotel", "Hotel & Spa", "01/01/2024", "31/01/2024"}, "Hotel & Spa"},
      {{"excel", "01/01/2024", "31/01/2024", "--hotel", ""}, cartella},
      // Too long for a page header in bytes: the header is cut, the summary keeps it whole.
      {{"excel", "01/01/2024", "31/01/2024", "--hotel", euro}, euro},
  };
  for (const Caso& c : casi) {
    SCOPED_TRACE(c.nome);
    const Esito esito = Esegui(*albergo_, c.argomenti);
    ASSERT_EQ(esito.codice, 0) << esito.err;
    EXPECT_EQ(NomeHotel(*albergo_), c.nome);
    const prova::CartellaLetta data =
        prova::LeggiXlsx((*albergo_ / "Excel" / "REPORT_DATA.xlsx").string());
    EXPECT_EQ(data.Foglio("Riepilogo").Cella("B2").testo, c.nome);
  }
}

TEST_F(BatchTest, EveryCommandPrintsItsVersion) {
  for (const char* comando : {"vendrix", "vendrix-batch", "vendrix-demo"}) {
    const Esito esito =
        prova::Shell(*albergo_, std::string(VENDRIX_APP_DIR) + "/" + comando + " --version");
    EXPECT_EQ(esito.codice, 0) << comando << esito.err;
    EXPECT_EQ(esito.out, std::string(comando) + " " + kVersione + "\n");
    const Esito aiuto =
        prova::Shell(*albergo_, std::string(VENDRIX_APP_DIR) + "/" + comando + " --help");
    EXPECT_EQ(aiuto.codice, 0) << comando << aiuto.err;
    EXPECT_TRUE(aiuto.out.starts_with("Uso:")) << aiuto.out;
    // One word for the hotel, no markup, paths as they are written here.
    for (const char* estraneo : {"albergo", "`", "C:\\"}) {
      EXPECT_EQ(aiuto.out.find(estraneo), std::string::npos) << comando << ": " << estraneo;
    }
  }
}

}  // namespace
}  // namespace vendrix
