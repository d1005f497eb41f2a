// The workbook model and its xlsx files: values as cells hold them, formats, sizes, saving.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "reports/cartella_lavoro.h"
#include "tests/support/lettore_xlsx.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;
using excel::TipoCella;
using excel::ValoreCella;
using prova::CellaLetta;

Valuta Euro(const char* testo) { return Valuta::DaTesto(testo); }

class CartellaTemporanea {
 public:
  CartellaTemporanea() {
    char modello[] = "/tmp/vendrix_cartella_XXXXXX";
    percorso_ = ::mkdtemp(modello);
  }
  ~CartellaTemporanea() { fs::remove_all(percorso_); }
  std::string File(const std::string& nome) const { return (fs::path(percorso_) / nome).string(); }
  std::vector<std::string> Elenco() const {
    std::vector<std::string> nomi;
    for (const auto& e : fs::directory_iterator(percorso_)) nomi.push_back(e.path().filename());
    return nomi;
  }

 private:
  std::string percorso_;
};

std::string Contenuto(const std::string& file) {
  std::ifstream f(file, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// What a text becomes when it is written into a cell: a number with a format that shows it as
// written, or the text itself.
TEST(CartellaLavoro, UnTestoScrittoInUnaCellaDiventaNumeroSoloSeSiLeggeComeTale) {
  struct Caso {
    const char* protegge;
    const char* testo;
    const char* formato_prima;
    bool numero;
    double valore;
    const char* formato;
  };
  const Caso casi[] = {
      {"percentuale con decimali", "85.71%", "", true, 0.8571, "0.00%"},
      {"percentuale della riga zero, con lo spazio", "0 %", "", true, 0, "0.00%"},
      {"percentuale piena", "100.00%", "", true, 1, "0.00%"},
      {"percentuale negativa", "-12.50%", "", true, -0.125, "0.00%"},
      {"testo a due decimali", "10.00", "", true, 10, "0.00"},
      {"decimali mantenuti", "-3.5", "", true, -3.5, "0.0"},
      {"intero", "12", "", true, 12, "0"},
      {"zero", "0", "", true, 0, "0"},
      {"zero con decimali", "0.25", "", true, 0.25, "0.00"},
      {"il formato gia' dato resta", "10.00", "#,##0.00 [$€-410]", true, 10, "#,##0.00 [$€-410]"},
      {"nella cella di testo resta testo", "85.71%", "@", false, 0, "@"},
      {"una data nella cella di testo", "01/07/2024", "@", false, 0, "@"},
      {"una data fuori dalla cella di testo non e' un numero", "01/07/2024", "", false, 0, ""},
      {"zeri iniziali non si vedrebbero", "007", "", false, 0, ""},
      {"esponente", "1E5", "", false, 0, ""},
      {"due punti", "12.5.3", "", false, 0, ""},
      {"punto senza decimali", "5.", "", false, 0, ""},
      {"punto senza intero", ".5", "", false, 0, ""},
      {"solo il segno", "-", "", false, 0, ""},
      {"spazio davanti", " 12", "", false, 0, ""},
      {"spazio dietro", "12 ", "", false, 0, ""},
      {"due percentuali", "12%%", "", false, 0, ""},
      {"spazio senza percentuale", "12 x", "", false, 0, ""},
      {"troppe cifre per un numero esatto", "1234567890123456", "", false, 0, ""},
      {"virgola decimale", "10,00", "", false, 0, ""},
      {"testo vuoto", "", "", false, 0, ""},
      {"nome", "Agenzia Rossi", "", false, 0, ""},
  };
  for (const Caso& c : casi) {
    SCOPED_TRACE(c.protegge);
    excel::Worksheet foglio("Prova");
    if (*c.formato_prima) foglio.Range("B2").NumberFormat(c.formato_prima);
    foglio.Cells(2, 2) = c.testo;
    ValoreCella letto = foglio.Cells(2, 2).Value();
    if (c.numero) {
      ASSERT_EQ(letto.Tipo(), TipoCella::kNumero) << excel::Descrivi(letto);
      EXPECT_EQ(letto.Numero(), c.valore);
    } else {
      ASSERT_EQ(letto.Tipo(), TipoCella::kTesto) << excel::Descrivi(letto);
      EXPECT_EQ(letto.Testo(), c.testo);
    }
    EXPECT_EQ(foglio.Cells(2, 2).NumberFormat(), c.formato);
  }
}

TEST(CartellaLavoro, ValoriNonTestualiRestanoComeScrittiEDecidonoIlFormato) {
  excel::Worksheet foglio("Prova");
  foglio.Cells(1, 1) = Euro("33.33");
  foglio.Cells(1, 2) = int64_t{7};
  foglio.Cells(1, 3) = 2.5;
  foglio.Range("D1").NumberFormat(excel::kFormatoTesto);
  foglio.Cells(1, 4) = Euro("1.5");
  foglio.Cells(1, 5) = 0;
  foglio.Cells(1, 5) = Euro("2");  // a cell first given a number, then an amount

  EXPECT_EQ(foglio.Cells(1, 1).Value(), ValoreCella(Euro("33.33")));
  EXPECT_EQ(foglio.Cells(1, 1).NumberFormat(), excel::kFormatoValuta);
  EXPECT_EQ(foglio.Cells(1, 2).Value(), ValoreCella(int64_t{7}));
  EXPECT_EQ(foglio.Cells(1, 2).NumberFormat(), "");
  EXPECT_EQ(foglio.Cells(1, 3).Value(), ValoreCella(2.5));
  EXPECT_EQ(foglio.Cells(1, 4).NumberFormat(), "@");
  EXPECT_EQ(foglio.Cells(1, 5).NumberFormat(), excel::kFormatoValuta);
  EXPECT_TRUE(foglio.Cells(9, 9).Value().Vuota());
}

TEST(CartellaLavoro, SommeDelleCelleComeLeFannoIReport) {
  struct Caso {
    const char* protegge;
    ValoreCella a, b, somma;
  };
  const Caso casi[] = {
      {"interi", int64_t{2}, int64_t{3}, int64_t{5}},
      {"cella vuota piu' intero", ValoreCella(), int64_t{3}, int64_t{3}},
      {"intero piu' cella vuota", int64_t{3}, ValoreCella(), int64_t{3}},
      {"valute esatte", Euro("0.1"), Euro("0.2"), Euro("0.3")},
      {"valuta piu' intero", Euro("10.5"), int64_t{2}, Euro("12.5")},
      {"numero piu' valuta", 0.1, Euro("0.2"), Euro("0.3")},
      {"intero piu' numero", int64_t{1}, 0.5, 1.5},
  };
  for (const Caso& c : casi) {
    SCOPED_TRACE(c.protegge);
    EXPECT_EQ(c.a + c.b, c.somma) << excel::Descrivi(c.a + c.b);
  }
  EXPECT_THROW(ValoreCella("x") + ValoreCella(1), Errore);
  EXPECT_THROW(ValoreCella(1) + ValoreCella("x"), Errore);
  EXPECT_THROW(ValoreCella(INT64_MAX) + ValoreCella(1), Errore);
  EXPECT_THROW(ValoreCella(Valuta::DaDecimillesimi(INT64_MAX)) + ValoreCella(Euro("1")), Errore);
  EXPECT_THROW(ValoreCella(INT64_MAX).ComeValuta(), Errore);
  EXPECT_EQ(ValoreCella(int64_t{12}).ComeValuta(), Euro("12"));
  EXPECT_EQ(ValoreCella().ComeValuta(), Valuta());
  EXPECT_EQ(ValoreCella(2.6).ComeIntero(), 3);
}

TEST(CartellaLavoro, IndirizziEIntervalli) {
  struct Caso {
    const char* indirizzo;
    int riga, colonna;
  };
  const Caso validi[] = {
      {"A1", 1, 1}, {"Z9", 9, 26}, {"AA10", 10, 27}, {"s1", 1, 19}, {"XFD1048576", 1048576, 16384}};
  for (const Caso& c : validi) {
    SCOPED_TRACE(c.indirizzo);
    EXPECT_EQ(excel::LeggiIndirizzo(c.indirizzo), std::make_pair(c.riga, c.colonna));
  }
  for (const char* sbagliato : {"", "A", "1", "A0", "1A", "A1B", "XFE1", "A1048577", "AAAA1", "A-1",
                                "A 1", "A99999999999"}) {
    SCOPED_TRACE(sbagliato);
    EXPECT_THROW(excel::LeggiIndirizzo(sbagliato), Errore);
  }
  excel::Worksheet foglio("Prova");
  excel::Intervallo r = foglio.Range("C5:A2");
  EXPECT_EQ(r.PrimaRiga(), 2);
  EXPECT_EQ(r.UltimaRiga(), 5);
  EXPECT_EQ(r.PrimaColonna(), 1);
  EXPECT_EQ(r.UltimaColonna(), 3);
  EXPECT_THROW(foglio.Range("A1:"), Errore);
  EXPECT_THROW(foglio.Cells(0, 1), Errore);
  EXPECT_THROW(foglio.Cells(1, 0), Errore);
  EXPECT_THROW(foglio.Cells(excel::kMassimoRighe + 1, 1), Errore);
  EXPECT_THROW(foglio.Cells(1, excel::kMassimoColonne + 1), Errore);
  EXPECT_THROW(foglio.Range("A1:XFD1048576").NumberFormat("@"), Errore);
  EXPECT_THROW(foglio.Range("A1").RowHeight(-1), Errore);
  EXPECT_THROW(foglio.Range("A1").ColumnWidth(300), Errore);
}

// A workbook saved and read back as a spreadsheet application reads it.
TEST(CartellaLavoro, IlFileSalvatoContieneCelleFormatiEDimensioni) {
  CartellaTemporanea cartella;
  excel::Application app;
  excel::Workbook& cartella_lavoro = app.Workbooks().Add();
  excel::Worksheet& foglio = cartella_lavoro.Sheets(1);
  foglio.SetName("Tipo camera");
  foglio.Range("A2", "A1000").NumberFormat(excel::kFormatoTesto);
  foglio.Cells(1, 1) = "Data";
  foglio.Cells(1, 2) = "Entrata media per ospite";
  foglio.Cells(2, 1) = "01/07/2024";
  foglio.Cells(3, 1) = "85.71%";  // text format: stays a text
  foglio.Cells(2, 2) = Euro("33.33");
  foglio.Cells(2, 3) = "85.71%";
  foglio.Cells(2, 4) = "10.00";
  foglio.Cells(2, 5) = int64_t{-21};
  foglio.Cells(2, 6) = 0.1;
  foglio.Cells(2, 7) = Euro("-1234567.89");
  foglio.Cells(2, 8) = "Città d'Aosta € 2";
  foglio.Cells(2, 9) = std::string("Caff\xE8 \xFF fine");  // not UTF-8
  foglio.Cells(2, 10) = "0 %";
  foglio.Range("A1:S1").RowHeight(45);
  // Heights of rows below the first, one beyond the cells written, saved all the same.
  foglio.Range("A3").RowHeight(30);
  foglio.Range("A1200").RowHeight(20);
  foglio.Range("K2").AllineaADestra();
  foglio.Cells(2, 11) = "n.d.";
  foglio.Range("A1:A1000").ColumnWidth(50);
  foglio.Range("B1:P1000").ColumnWidth(10);
  const std::string file = cartella.File("REPORT.XLS");
  cartella_lavoro.SaveAs(file);

  ASSERT_TRUE(prova::EFileZip(file));
  prova::CartellaLetta letta = prova::LeggiXlsx(file);
  ASSERT_EQ(letta.fogli.size(), 1u);
  const prova::FoglioLetto& f = letta.fogli[0];
  EXPECT_EQ(f.nome, "Tipo camera");

  struct Attesa {
    const char* cella;
    CellaLetta::Tipo tipo;
    const char* testo;
    double numero;
    const char* formato;
  };
  using T = CellaLetta::Tipo;
  const Attesa attese[] = {
      {"A1", T::kTesto, "Data", 0, "General"},
      {"B1", T::kTesto, "Entrata media per ospite", 0, "General"},
      {"A2", T::kTesto, "01/07/2024", 0, "@"},
      {"A3", T::kTesto, "85.71%", 0, "@"},
      {"A4", T::kVuota, "", 0, "@"},
      {"A1000", T::kVuota, "", 0, "@"},
      {"A1001", T::kVuota, "", 0, "General"},
      {"B2", T::kNumero, "", 33.33, excel::kFormatoValuta},
      {"C2", T::kNumero, "", 0.8571, "0.00%"},
      {"D2", T::kNumero, "", 10, "0.00"},
      {"E2", T::kNumero, "", -21, "General"},
      {"F2", T::kNumero, "", 0.1, "General"},
      {"G2", T::kNumero, "", -1234567.89, excel::kFormatoValuta},
      {"H2", T::kTesto, "Città d'Aosta € 2", 0, "General"},
      {"I2", T::kTesto, "Caff\xEF\xBF\xBD \xEF\xBF\xBD fine", 0, "General"},
      {"J2", T::kNumero, "", 0, "0.00%"},
  };
  for (const Attesa& a : attese) {
    SCOPED_TRACE(a.cella);
    CellaLetta c = f.Cella(a.cella);
    EXPECT_EQ(c.tipo, a.tipo);
    if (a.tipo == T::kTesto) {
      EXPECT_EQ(c.testo, a.testo);
    }
    if (a.tipo == T::kNumero) {
      EXPECT_EQ(c.numero, a.numero) << c.grezzo;
    }
    EXPECT_EQ(c.formato, a.formato);
  }
  EXPECT_EQ(f.Altezza(1), 45);
  EXPECT_EQ(f.Altezza(2), std::nullopt);
  EXPECT_EQ(f.Altezza(3), 30);
  EXPECT_EQ(f.Altezza(1200), 20);
  EXPECT_EQ(f.Cella("K2").testo, "n.d.");
  EXPECT_DOUBLE_EQ(f.Larghezza(1).value_or(0), 50);
  for (int c = 2; c <= 16; ++c) EXPECT_DOUBLE_EQ(f.Larghezza(c).value_or(0), 10) << c;
  EXPECT_EQ(f.Larghezza(17), std::nullopt);
  EXPECT_EQ(cartella.Elenco(), std::vector<std::string>{"REPORT.XLS"});
}

TEST(CartellaLavoro, SalvareSostituisceIlFileOppureNonToccaNulla) {
  CartellaTemporanea cartella;
  const std::string file = cartella.File("REPORT_DATA.XLS");
  {
    std::ofstream vecchio(file);
    vecchio << "versione precedente";
  }
  excel::Application app;
  excel::Workbook& c = app.Workbooks().Add();
  c.Sheets(1).Cells(1, 1) = "nuovo";
  c.SaveAs(file);
  EXPECT_EQ(prova::LeggiXlsx(file).fogli.at(0).Cella("A1").testo, "nuovo");

  // A text longer than a cell holds is cut to what it holds, never inside a character.
  std::string lungo;
  for (int i = 0; i < 20000; ++i) lungo += "\xC3\xA9";  // "é", two bytes
  excel::Workbook& troppo = app.Workbooks().Add();
  troppo.Sheets(1).Cells(1, 1) = lungo;
  troppo.SaveAs(file);
  EXPECT_EQ(prova::LeggiXlsx(file).fogli.at(0).Cella("A1").testo, lungo.substr(0, 32766));

  // A failure while writing: the file already there stays as it was, nothing else remains.
  const std::string prima = Contenuto(file);
  excel::Workbook& non_numero = app.Workbooks().Add();
  non_numero.Sheets(1).Cells(1, 1) = std::nan("");
  EXPECT_THROW(non_numero.SaveAs(file), Errore);
  EXPECT_EQ(Contenuto(file), prima);
  EXPECT_EQ(cartella.Elenco(), std::vector<std::string>{"REPORT_DATA.XLS"});

  // A folder that does not exist is a failure with the file's name, not a silent success.
  try {
    c.SaveAs(cartella.File("manca/REPORT_DATA.XLS"));
    ADD_FAILURE() << "salvataggio in una cartella inesistente riuscito";
  } catch (const Errore& e) {
    EXPECT_NE(std::string(e.what()).find("manca/REPORT_DATA.XLS"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace vendrix
