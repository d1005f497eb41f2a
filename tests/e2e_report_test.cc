// "calcola" then "excel" with vendrix-batch on a sample hotel: the three workbooks agree with the
// statistics table they come from, and a spreadsheet application opens them.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/demo/hotel_demo.h"
#include "data/dbengine.h"
#include "data/tabelle.h"
#include "tests/support/cartella_prova.h"
#include "tests/support/comando.h"
#include "tests/support/lettore_xlsx.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;
using prova::CellaLetta;
using prova::FoglioLetto;

using prova::Esito;
using prova::Shell;

Esito Batch(const fs::path& cartella, const std::vector<std::string>& argomenti) {
  return prova::EseguiBatch(cartella, argomenti);
}

Valuta Importo(const CellaLetta& c) { return Valuta::DaDouble(c.numero); }

// A sum over the statistics rows of hotel 1 that satisfy `condizione`, through the engine.
Valore Somma(const fs::path& cartella, const std::string& campo, const std::string& condizione) {
  // The other files an SQL text names are found in the working folder.
  struct CartellaDiLavoro {
    explicit CartellaDiLavoro(const fs::path& c) : prima(fs::current_path()) {
      fs::current_path(c);
    }
    ~CartellaDiLavoro() { fs::current_path(prima); }
    fs::path prima;
  } qui(cartella);
  DBEngine motore;
  auto db = motore.OpenDatabase(tabelle::kFileVendrix);
  auto rs = db->OpenRecordset("Select NumeroHotel,sum(" + campo + ") as S From Vendrix" +
                              (condizione.empty() ? "" : " Where " + condizione) +
                              " Group by NumeroHotel");
  rs->FindFirst("NumeroHotel = 1");
  Valore v = rs->NoMatch() ? Valore() : rs->Fields("S").Value();
  rs->Close();
  db->Close();
  return v;
}

class ReportBatchTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    albergo_ =
        prova::HotelDiProva("vendrix_e2e_report", prova::OpzioniHotel(20, 40, 30), &riepilogo_);
    unsetenv("DIRSH");
    calcola_ = Batch(*albergo_, {"calcola", "01/01/2024", "31/01/2024", "--confermate",
                                 "--opzionate", "--clienti"});
    excel_ = Batch(*albergo_, {"excel", "01/01/2024", "31/01/2024", "--cartella",
                               (*albergo_ / "uscita").string()});
  }
  static void TearDownTestSuite() { prova::RimuoviCartella(albergo_); }

  // The first sheet of a workbook.
  static FoglioLetto Foglio(const std::string& file) {
    return prova::LeggiXlsx((*albergo_ / "uscita" / file).string()).fogli.at(0);
  }

  // The last data row: the one two above the "Totale" row.
  static int UltimaRigaDati(const FoglioLetto& foglio) {
    for (int r = 2; r <= foglio.UltimaRigaConValori(); ++r) {
      if (foglio.Cella(r, 1).testo == "Totale") return r - 2;
    }
    ADD_FAILURE() << "manca la riga Totale in " << foglio.nome;
    return 0;
  }

  // The first of the programs named that is installed; empty for none.
  static std::string Programma(std::initializer_list<const char*> nomi) {
    for (const char* nome : nomi) {
      if (Shell(*albergo_, std::string("command -v ") + nome).codice == 0) return nome;
    }
    return "";
  }

  static fs::path* albergo_;
  static demo::RiepilogoDemo riepilogo_;
  static Esito calcola_, excel_;
};

fs::path* ReportBatchTest::albergo_ = nullptr;
demo::RiepilogoDemo ReportBatchTest::riepilogo_;
Esito ReportBatchTest::calcola_, ReportBatchTest::excel_;

TEST_F(ReportBatchTest, ExcelScriveITreFileEStampaIPercorsi) {
  ASSERT_EQ(calcola_.codice, 0) << calcola_.err;
  ASSERT_EQ(excel_.codice, 0) << excel_.err;
  std::string attesi;
  for (const char* nome : {"REPORT_DATA.xlsx", "REPORT_TIPOCAMERA.xlsx", "REPORT_AGENZIA.xlsx"}) {
    const fs::path file = *albergo_ / "uscita" / nome;
    EXPECT_TRUE(prova::EFileZip(file.string())) << file;
    attesi += file.string() + "\n";
  }
  EXPECT_EQ(excel_.out, attesi);
}

TEST_F(ReportBatchTest, IFogliTornanoConLaTabellaStatistiche) {
  ASSERT_EQ(excel_.codice, 0) << excel_.err;
  const Valuta retta = Somma(*albergo_, "TotRetta", "").ComeValuta();
  const int64_t camere = Somma(*albergo_, "TotCamOcc", "").Intero();
  const int64_t pax = Somma(*albergo_, "TotPax", "").Intero();
  ASSERT_GT(camere, 0) << "il calcolo non ha prodotto statistiche";

  // Daily sheet: 31 days, every sale of the period on one of them.
  FoglioLetto data = Foglio("REPORT_DATA.xlsx");
  EXPECT_EQ(UltimaRigaDati(data), 32);
  Valuta g;
  int64_t k = 0, q = 0;
  for (int riga = 2; riga <= 32; ++riga) {
    // The days as dates: 01/01/2024 is 45292 days after 30/12/1899.
    EXPECT_EQ(data.Cella(riga, 1).numero, 45292 + riga - 2);
    EXPECT_EQ(data.Cella(riga, 1).formato, "dd/mm/yyyy");
    g += Importo(data.Cella(riga, 7));
    k += static_cast<int64_t>(data.Cella(riga, 11).numero);
    q += static_cast<int64_t>(data.Cella(riga, 17).numero);
    // Free rooms are the hotel's bedrooms less the occupied ones.
    EXPECT_EQ(data.Cella(riga, 14).numero + data.Cella(riga, 11).numero,
              static_cast<double>(riepilogo_.camere_letto))
        << riga;
  }
  EXPECT_EQ(g, retta);
  EXPECT_EQ(k, camere);
  EXPECT_EQ(q, pax);
  EXPECT_EQ(Importo(data.Cella("G34")), retta);
  EXPECT_EQ(data.Cella("K34").numero, static_cast<double>(camere));

  // Room-type sheet: the sales of the rows whose type is a bedroom type of the hotel.
  const Valuta retta_tipi =
      Somma(*albergo_, "TotRetta",
            "TipoCamera In (Select Sigla From TipiCamere In 'TipiCamere.mdb' Where "
            "NumeroHotel = 1 and Tipologia = 'C')")
          .ComeValuta();
  FoglioLetto tipi = Foglio("REPORT_TIPOCAMERA.xlsx");
  Valuta g_tipi;
  int64_t capacita = 0;
  for (int riga = 2; riga <= UltimaRigaDati(tipi); ++riga) {
    g_tipi += Importo(tipi.Cella(riga, 7));
    capacita += static_cast<int64_t>(tipi.Cella(riga, 14).numero + tipi.Cella(riga, 11).numero);
  }
  EXPECT_EQ(g_tipi, retta_tipi);
  EXPECT_EQ(capacita, riepilogo_.camere_letto * 31);

  // Agency sheet: every row with an agency text, a blank one included.
  const Valore retta_agenzie = Somma(*albergo_, "TotRetta", "Agenzia >= ' '");
  FoglioLetto agenzie = Foglio("REPORT_AGENZIA.xlsx");
  Valuta g_agenzie;
  const int ultima_agenzia = UltimaRigaDati(agenzie);
  for (int riga = 2; riga <= ultima_agenzia; ++riga) {
    g_agenzie += Importo(agenzie.Cella(riga, 8));
  }
  EXPECT_EQ(g_agenzie, retta_agenzie.IsNull() ? Valuta() : retta_agenzie.ComeValuta());
  // Below the agencies' total, the rest: together the hotel's, as on the daily sheet.
  EXPECT_EQ(agenzie.Cella(ultima_agenzia + 4, 1).testo, "Totale generale");
  EXPECT_EQ(Importo(agenzie.Cella(ultima_agenzia + 4, 8)), retta);
  EXPECT_EQ(agenzie.Cella(ultima_agenzia + 4, 12).numero, static_cast<double>(camere));
  EXPECT_EQ(agenzie.Cella(ultima_agenzia + 4, 16).numero, static_cast<double>(pax));
}

TEST_F(ReportBatchTest, SenzaStatisticheExcelFallisceESpiegaCosaFare) {
  const fs::path vuota = *albergo_ / "senza_statistiche";
  fs::create_directories(vuota);
  for (const char* file : {tabelle::kFileTipiCamere}) fs::copy_file(*albergo_ / file, vuota / file);
  Esito esito = Batch(vuota, {"excel", "01/01/2024", "31/01/2024", "--cartella", "Excel"});
  EXPECT_EQ(esito.codice, 1);
  EXPECT_NE(esito.err.find("eseguire prima vendrix-batch calcola"), std::string::npos) << esito.err;
  EXPECT_EQ(esito.out, "");
  EXPECT_FALSE(fs::exists(vuota / "Excel"));
}

// A spreadsheet application opens the three files: LibreOffice, when it is installed, converts
// each to CSV and finds the headings and one row per day.
TEST_F(ReportBatchTest, LibreOfficeApreITreFile) {
  const std::string programma = Programma({"soffice", "libreoffice"});
  if (programma.empty()) GTEST_SKIP() << "LibreOffice non installato";
  ASSERT_EQ(excel_.codice, 0) << excel_.err;
  const fs::path csv = *albergo_ / "csv";
  fs::create_directories(csv);
  std::string comando =
      programma + " -env:UserInstallation=file://" + (*albergo_ / "profilo").string() +
      " --headless --norestore --convert-to " +
      // The cells as shown: the days as the sheet shows its dates, not in the program's own form.
      prova::QuotaShell("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true") +
      " --outdir " + prova::QuotaShell(csv.string());
  for (const char* nome : {"REPORT_DATA.xlsx", "REPORT_TIPOCAMERA.xlsx", "REPORT_AGENZIA.xlsx"}) {
    comando += " " + prova::QuotaShell((*albergo_ / "uscita" / nome).string());
  }
  Esito esito = Shell(*albergo_, "timeout 300 " + comando);
  ASSERT_EQ(esito.codice, 0) << esito.out << esito.err;

  struct Atteso {
    const char* file;
    const char* intestazione;
    int righe;  // -1: not checked
  };
  const Atteso attesi[] = {
      {"REPORT_DATA.csv",
       "Data,RO,BB,HB,FB,Supplementi,Totale Retta,ADR,% occupazione,RevPar,Camere occupate,"
       "% occupazione agenzia,Camere occupate agenzia,Camere libere,Entrata media per ospite,"
       "Extra,Tot Pax",
       34},
      {"REPORT_TIPOCAMERA.csv",
       "Tipo camera,RO,BB,HB,FB,Supplementi,Totale Retta,ADR,% occupazione,RevPar,"
       "Camere occupate,% occupazione agenzia,Camere occupate agenzia,Camere libere,"
       "Entrata media per ospite,Extra,Tot Pax",
       -1},
      {"REPORT_AGENZIA.csv",
       "Agenzia,Tipo camera,RO,BB,HB,FB,Supplementi,Totale Retta,ADR,% occupazione,RevPar,"
       "Camere occupate,Camere libere,Entrata media per ospite,Extra,Tot Pax"
       // beside the table, the agencies of the chart
       ",,Prime 10 agenzie,Totale Retta",
       -1},
  };
  for (const Atteso& a : attesi) {
    SCOPED_TRACE(a.file);
    std::istringstream righe(prova::LeggiFile(csv / a.file));
    std::string riga;
    ASSERT_TRUE(std::getline(righe, riga)) << "file CSV vuoto o mancante";
    EXPECT_EQ(riga, a.intestazione);
    std::vector<std::string> tutte = {riga};
    while (std::getline(righe, riga)) tutte.push_back(riga);
    if (a.righe > 0) {
      ASSERT_EQ(static_cast<int>(tutte.size()), a.righe);
      EXPECT_EQ(tutte[31].substr(0, 11), "31/01/2024,");
      EXPECT_EQ(tutte[33].substr(0, 7), "Totale,");
    }
  }
}

// Printed as LibreOffice prints them, no page of the three files shows a value too wide for its
// column ("###").
TEST_F(ReportBatchTest, StampatiConLibreOfficeNessunValoreTroppoLargo) {
  const std::string programma = Programma({"soffice", "libreoffice"});
  if (programma.empty()) GTEST_SKIP() << "LibreOffice non installato";
  if (Programma({"pdftotext"}).empty()) GTEST_SKIP() << "pdftotext (poppler-utils) non installato";
  ASSERT_EQ(excel_.codice, 0) << excel_.err;
  const fs::path pdf = *albergo_ / "pdf";
  fs::create_directories(pdf);
  std::string comando =
      programma + " -env:UserInstallation=file://" + (*albergo_ / "profilo_pdf").string() +
      " --headless --norestore --convert-to pdf --outdir " + prova::QuotaShell(pdf.string());
  for (const char* nome : {"REPORT_DATA.xlsx", "REPORT_TIPOCAMERA.xlsx", "REPORT_AGENZIA.xlsx"}) {
    comando += " " + prova::QuotaShell((*albergo_ / "uscita" / nome).string());
  }
  Esito esito = Shell(*albergo_, "timeout 300 " + comando);
  ASSERT_EQ(esito.codice, 0) << esito.out << esito.err;
  for (const char* nome : {"REPORT_DATA", "REPORT_TIPOCAMERA", "REPORT_AGENZIA"}) {
    SCOPED_TRACE(nome);
    const fs::path file = pdf / (std::string(nome) + ".pdf");
    Esito testo = Shell(*albergo_, "pdftotext -layout " + prova::QuotaShell(file.string()) + " -");
    ASSERT_EQ(testo.codice, 0) << testo.err;
    EXPECT_NE(testo.out.find("Totale"), std::string::npos) << "il PDF non contiene i fogli";
    EXPECT_EQ(testo.out.find("###"), std::string::npos) << testo.out;
  }
}

}  // namespace
}  // namespace vendrix
