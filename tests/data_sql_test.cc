// Every SQL text the runs send, in its concatenated form, against small hotel files written here:
// cross-file sub-selects (bare names and history folders), Left, sums with aliases, Group by,
// Order by, date keys as quoted text.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "data/archivio.h"
#include "data/dbengine.h"
#include "tests/data_tabella_prova.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;
using Riga = std::vector<Valore>;

Valuta V(int64_t n) { return Valuta::DaDecimillesimi(n); }
Valore I(int n) { return Valore(static_cast<int16_t>(n)); }
Valore L(int n) { return Valore(static_cast<int32_t>(n)); }

template <typename F>
std::string Messaggio(F&& f) {
  try {
    f();
  } catch (const Errore& e) {
    return e.what();
  }
  return "(nessun errore)";
}

const std::string kDal = "20240701", kAl = "20240731";
// The sums the report's queries read from the statistics.
const std::string kSomme =
    "sum(TotRO) as TTRO,sum(TotBB) as TTBB,sum(TotHB) as TTHB,sum(TotFB) as TTFB,sum(TotSupl) as "
    "TTSupl,sum(TotRetta) as TTRe,sum(Extra) as TTEx,sum(TotCamOcc) as TTCOc,sum(TotPax) as TTPx";
const std::string kStorico = "Sto rico d'Anna";  // a history folder with a blank and an apostrophe

class SqlAlbergo : public ::testing::Test {
 protected:
  void SetUp() override {
    precedente_ = fs::current_path();
    cartella_ = fs::temp_directory_path() /
                ("vx_sql_" + std::to_string(getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(cartella_);
    fs::create_directories(cartella_ / kStorico);
    fs::current_path(cartella_);
    ScriviAlbergo();
  }
  void TearDown() override {
    fs::current_path(precedente_);
    fs::remove_all(cartella_);
  }

  void Scrivi(const std::string& file, const std::string& tabella, const std::vector<Field>& campi,
              const std::vector<Riga>& righe) {
    ScriviTabellaDiProva(motore_, file, tabella, campi, righe);
  }

  void ScriviAlbergo() {
    Scrivi("TipiCamere.mdb", "TipiCamere",
           {{"NumeroHotel", dbInteger},
            {"Sigla", dbText, 10},
            {"Tipologia", dbText, 1},
            {"Descrizione", dbText, 50},
            {"Quantita", dbInteger}},
           {{I(1), "DOP", "C", "Doppia", I(10)},
            {I(1), "SIN", "C", "Singola", I(5)},
            {I(1), "SAL", "S", "Sala", I(1)},
            {I(2), "TRI", "C", "Tripla altro albergo", I(3)},
            {I(1), "D'A", "C", "Doppia d'angolo", I(2)}});
    Scrivi("NumeriCamere.mdb", "NumeriCamere",
           {{"NumeroHotel", dbInteger}, {"NumeroCamera", dbText, 10}, {"TipoCamera", dbText, 10}},
           {{I(1), "101", "DOP"}, {I(1), "102", "SIN"}, {I(1), "S1", "SAL"}, {I(1), "1'A", "D'A"}});
    Scrivi("Camere_Prenotazione.mdb", "Camere_Prenotazione",
           {{"NumeroHotel", dbInteger},
            {"NumeroPrenotazione", dbLong},
            {"NumeroCamera", dbText, 10},
            {"DataArrivo", dbText, 8},
            {"DataPartenza", dbText, 8},
            {"TipoCamera", dbText, 10},
            {"QuantitàCamere", dbInteger},
            {"NumeroPersone", dbInteger}},
           {{I(1), L(10), "1", "20240630", "20240702", "DOP", I(1), I(2)},    // overlaps
            {I(1), L(11), "1", "20240731", "20240801", "SIN", I(2), I(4)},    // arrives last day
            {I(1), L(12), "1", "20240620", "20240701", "DOP", I(1), I(2)},    // leaves first day
            {I(1), L(13), "1", "20240710", "20240712", "SAL", I(1), I(1)},    // not a bedroom
            {I(1), L(14), "1", "20240710", "20240712", "DOP", I(1), I(0)},    // nobody
            {I(2), L(15), "1", "20240710", "20240712", "DOP", I(1), I(2)},    // other hotel
            {I(1), L(16), "2", "20240805", "20240807", "DOP", I(1), I(2)},    // after
            {I(1), L(17), "1", "20240715", "20240716", "D'A", I(1), I(2)}});  // apostrophe type
    Scrivi("Scheda_Prenotazione.mdb", "Scheda_Prenotazione",
           {{"NumeroHotel", dbInteger},
            {"NumeroPrenotazione", dbLong},
            {"TipoPrenotazione", dbText, 1},
            {"Ditta", dbText, 50}},
           {{I(1), L(10), "C", "ALFA"},
            {I(1), L(11), "O", "BETA"},
            {I(1), L(12), "D", "GAMMA"},
            {I(1), L(13), "D", "DELTA"},
            {I(1), L(17), "D", Valore()},
            {I(1), L(16), "C", "FUORI"},
            {I(1), L(14), "X", "ICS"},
            {I(2), L(15), "C", "ALTRO"}});
    const std::vector<Field> addebiti = {
        {"NumeroHotel", dbInteger},  {"CodiceCliente", dbLong}, {"NumeroCamera", dbText, 10},
        {"DataInizio", dbText, 8},   {"DataFine", dbText, 8},   {"ImportoTotale", dbCurrency},
        {"Descrizione", dbText, 50}, {"VoceAddebito", dbLong},  {"Arrangiamento", dbText, 10}};
    Scrivi(
        "Arrangiamento.mdb", "Arrangiamento", addebiti,
        {{I(1), L(10), "*1", "20240630", "20240702", V(1000000), "Camera", L(1), "BB"},
         {I(1), L(11), "*1", "20240731", "20240801", V(500000), "Camera", L(1), "HB"},
         {I(1), L(12), "*1", "20240620", "20240701", V(100000), "Camera", L(1), "BB"},
         {I(1), L(10), "101", "20240630", "20240702", V(10000), "Bar", L(2), Valore()},
         {I(1), L(1234), "101", "20240701", "20240703", V(555000), "SUPPL letto", L(2), Valore()},
         {I(1), L(1235), "102", "20240601", "20240610", V(10000), "Camera", L(1), "BB"},
         {I(1), L(1238), "S1", "20240701", "20240703", V(20000), "Sala", L(3), Valore()},
         {I(1), L(1239), Valore(), "20240702", "20240704", V(30000), "Senza camera", L(3),
          Valore()},
         {I(2), L(10), "*1", "20240630", "20240702", V(990000), "Altro albergo", L(1), "BB"}});
    const std::vector<Field> schede = {
        {"NumeroHotel", dbInteger},       {"NumeroProgressivo", dbLong},
        {"NomeCliente", dbText, 50},      {"NumeroCamera", dbText, 10},
        {"DataArrivo", dbText, 8},        {"DataPartenza", dbText, 8},
        {"DataPartenzaReale", dbText, 8}, {"Partito", dbText, 1},
        {"NumeroComponente", dbInteger},  {"CodiceCapoFamiglia", dbLong},
        {"CodiceCapoGruppo", dbLong}};
    Scrivi(
        "Scheda_Cliente.mdb", "Scheda_Cliente", schede,
        {{I(1), L(1234), "ROSSI MARIO", "101", "20240630", "20240702", Valore(), "N", I(1), L(0),
          L(0)},
         {I(1), L(1236), "BIANCHI", "101", "20240630", "20240702", Valore(), "N", I(2), L(1234),
          L(0)},
         {I(1), L(1235), "VERDI", "102", "20240601", "20240610", "20240610", "S", I(1), L(0), L(0)},
         {I(1), L(1237), "NERI", "102", "20240625", "20240630", "20240705", "S", I(1), L(0), L(0)},
         {I(1), L(1238), "GIALLI", "S1", "20240701", "20240703", Valore(), "N", I(1), L(0), L(0)},
         {I(1), L(1239), "BLU", "1'A", "20240702", "20240704", Valore(), "N", I(1), L(0), L(0)},
         {I(1), L(1240), "ROSA", "102", "20240801", "20240803", Valore(), "N", I(1), L(0), L(0)},
         {I(1), L(1241), "VIOLA", "102", "20240701", "20240705", "20240702", "N", I(1), L(0),
          L(0)}});
    // History, in the history folder and (different rows) in the working folder.
    const std::string st = kStorico + "/";
    Scrivi(
        st + "SchedaStoricoClienti.mdb", "Scheda_Cliente", schede,
        {{I(1), L(18001234), "X", "101", "20240628", "20240710", "20240705", "S", I(1), L(57),
          L(0)},
         {I(1), L(18001235), "Y", "999", "20240620", "20240630", "20240703", "S", I(1), L(0), L(0)},
         {I(1), L(18001236), "Z", "101", "20240601", "20240605", "20240605", "S", I(1), L(0),
          L(0)}});
    Scrivi(st + "ArrangiamentoStoricoClienti.mdb", "Arrangiamento", addebiti,
           {{I(1), L(18001234), "101", "20240628", "20240710", V(800000), "Camera", L(1), "BB"},
            {I(1), L(18001236), "101", "20240601", "20240605", V(800000), "Camera", L(1), "BB"},
            {I(1), L(18001235), "*9", "20240620", "20240630", V(800000), "Camera", L(1), "BB"}});
    Scrivi("SchedaStoricoClienti.mdb", "Scheda_Cliente", schede,
           {{I(1), L(18009999), "W", "101", "20240705", "20240706", "20240706", "S", I(1), L(0),
             L(0)}});
    Scrivi("ArrangiamentoStoricoClienti.mdb", "Arrangiamento", addebiti,
           {{I(1), L(18009999), "101", "20240705", "20240706", V(10000), "Camera", L(1), "BB"},
            {I(1), L(18001234), "101", "20240628", "20240710", V(800000), "Camera", L(1), "BB"}});

    CreaArchivio(motore_, "Vendrix.mdb");
    auto db = motore_.OpenDatabase("Vendrix.mdb");
    auto rs = db->OpenRecordset("Vendrix");
    //            DataRif      RO          BB          HB         Supl       Retta       Tipo
    //            Agenzia  Cam Pax Extra
    const std::vector<std::tuple<const char*, int64_t, int64_t, int64_t, int64_t, int64_t,
                                 const char*, Valore, int, int, int64_t>>
        righe = {
            {"20240701", 1000, 0, 0, 0, 1000, "DOP", "ALFA", 1, 2, 0},
            {"20240701", 2000, 0, 0, 0, 2000, "DOP", "ALFA", 1, 2, 15000},
            {"20240701", 7000, 0, 0, 0, 7000, "DOP", "ALFA", 1, 2, 0},
            {"20240701", 100000, 50000, 0, 0, 150000, "SIN", Valore(), 1, 1, 0},
            {"20240701", 0, 0, 0, 0, 0, "SIN", " ", 1, 1, 0},
            {"20240702", 333333, 0, 0, 0, 333333, "DOP", "", 2, 3, 0},
            {"20240702", 0, 0, 72500, 10000, 82500, "D'A", "ALFA", 1, 2, 0},
        };
    db->BeginTrans();
    for (const auto& [data, ro, bb, hb, supl, retta, tipo, agenzia, cam, pax, extra] : righe) {
      rs->AddNew();
      rs->Fields("NumeroHotel") = I(1);
      rs->Fields("DataRif") = data;
      rs->Fields("TotRO") = V(ro);
      rs->Fields("TotBB") = V(bb);
      rs->Fields("TotHB") = V(hb);
      rs->Fields("TotFB") = V(0);
      rs->Fields("TotSupl") = V(supl);
      rs->Fields("TotRetta") = V(retta);
      rs->Fields("TipoCamera") = tipo;
      rs->Fields("Agenzia") = agenzia;
      rs->Fields("TotCamOcc") = L(cam);
      rs->Fields("TotPax") = L(pax);
      rs->Fields("Extra") = V(extra);
      rs->Update();
    }
    db->CommitTrans();
  }

  // Rows of the set as texts of the named fields, in the set's order ("Null" for Null).
  static std::vector<std::string> Righe(Recordset& rs, const std::vector<std::string>& campi,
                                        const std::string& criteri = "NumeroHotel = 1") {
    std::vector<std::string> r;
    rs.FindFirst(criteri);
    while (!rs.NoMatch()) {
      std::string s;
      for (size_t i = 0; i < campi.size(); ++i) {
        Valore v = rs.Fields(campi[i]).Value();
        s += (i ? "|" : "") + (v.IsNull() ? std::string("Null") : v.Testo());
      }
      r.push_back(s);
      rs.FindNext(criteri);
    }
    return r;
  }

  DBEngine motore_;
  fs::path precedente_, cartella_;
};

using Testi = std::vector<std::string>;

// The runs' query of the charge lines: the room lines (`camera` "=") or the others ("<>") of the
// stays numbered by `campo` of `tabella` in `file`, in the period as `partenza` gives it.
std::string Addebiti(const std::string& camera, const std::string& campo,
                     const std::string& tabella, const std::string& file,
                     const std::string& partenza) {
  return "Select * From Arrangiamento Where NumeroHotel = 1 and Left(NumeroCamera,1) " + camera +
         " '*' and CodiceCliente In (Select " + campo + " From " + tabella + " In " + Quota(file) +
         " Where NumeroHotel = 1 and DataArrivo <= '" + kAl + "' and " + partenza + " > '" + kDal +
         "')";
}

TEST_F(SqlAlbergo, PassoPrenotazioni) {
  auto camere = motore_.OpenDatabase("Camere_Prenotazione.mdb");
  auto righe = camere->OpenRecordset(
      "Select * From Camere_Prenotazione Where NumeroHotel = 1 and DataArrivo <= '" + kAl +
      "' and DataPartenza > '" + kDal +
      "' and TipoCamera In (Select Sigla From TipiCamere In 'TipiCamere.mdb' Where NumeroHotel "
      "= 1 and Tipologia = 'C') and NumeroPersone > 0;");
  EXPECT_EQ(Righe(*righe, {"NumeroPrenotazione", "TipoCamera", "QuantitàCamere"}),
            (Testi{"10|DOP|1", "11|SIN|2", "17|D'A|1"}));

  struct Caso {
    std::string condizione;
    Testi attese;
  };
  const Caso casi[] = {
      {"(TipoPrenotazione = 'C' or TipoPrenotazione = 'D' or TipoPrenotazione = 'O')",
       {"10|ALFA", "11|BETA", "13|DELTA", "17|Null"}},
      {"(TipoPrenotazione = 'C' or TipoPrenotazione = 'D')", {"10|ALFA", "13|DELTA", "17|Null"}},
      {"(TipoPrenotazione = 'O')", {"11|BETA"}},
  };
  auto testate_db = motore_.OpenDatabase("Scheda_Prenotazione.mdb");
  for (const auto& c : casi) {
    auto testate = testate_db->OpenRecordset(
        "Select * From Scheda_Prenotazione Where NumeroHotel = 1 and " + c.condizione +
        " and NumeroPrenotazione In (Select NumeroPrenotazione From Camere_Prenotazione In "
        "'Camere_Prenotazione.mdb' Where NumeroHotel = 1 and DataArrivo <= '" +
        kAl + "' and DataPartenza > '" + kDal + "')");
    EXPECT_EQ(Righe(*testate, {"NumeroPrenotazione", "Ditta"}), c.attese) << c.condizione;
  }

  auto addebiti_db = motore_.OpenDatabase("Arrangiamento.mdb");
  auto addebiti = addebiti_db->OpenRecordset(Addebiti(
      "=", "NumeroPrenotazione", "Camere_Prenotazione", "Camere_Prenotazione.mdb", "DataPartenza"));
  EXPECT_EQ(Righe(*addebiti, {"CodiceCliente", "NumeroCamera", "ImportoTotale"}),
            (Testi{"10|*1|100", "11|*1|50"}));
  // The run's find for one room line and day.
  std::string numero_camera = "1";
  EXPECT_EQ(Righe(*addebiti, {"ImportoTotale"},
                  "NumeroHotel = 1 and CodiceCliente = 10 and DataInizio <= '20240701' and "
                  "DataFine > '20240701' and NumeroCamera = " +
                      Quota("*" + numero_camera)),
            Testi{"100"});
  addebiti->FindFirst("NumeroHotel = 1");
  EXPECT_EQ(addebiti->Fields("ImportoTotale").Value().Tipo(), TipoValore::kValuta);
}

TEST_F(SqlAlbergo, PassoClientiInCasa) {
  auto schede_db = motore_.OpenDatabase("Scheda_Cliente.mdb");
  auto schede = schede_db->OpenRecordset(
      "Select * From Scheda_Cliente Where NumeroHotel = 1 and DataArrivo <= '" + kAl +
      "' and ((DataPartenza > '" + kDal + "' and Partito = 'N') or (DataPartenzaReale > '" + kDal +
      "' and Partito = 'S')) and NumeroCamera In (Select NumeroCamera From NumeriCamere In "
      "'NumeriCamere.mdb' Where NumeroHotel = 1 and TipoCamera In (Select Sigla From TipiCamere In "
      "'TipiCamere.mdb' Where NumeroHotel = 1 and Tipologia = 'C')) Order by "
      "DataArrivo,NumeroCamera,NumeroProgressivo;");
  EXPECT_EQ(Righe(*schede, {"NumeroProgressivo", "NumeroCamera"}),
            (Testi{"1237|102", "1234|101", "1236|101", "1241|102", "1239|1'A"}));

  auto addebiti_db = motore_.OpenDatabase("Arrangiamento.mdb");
  auto addebiti = addebiti_db->OpenRecordset(
      Addebiti("<>", "NumeroProgressivo", "Scheda_Cliente", "Scheda_Cliente.mdb", "DataPartenza"));
  EXPECT_EQ(Righe(*addebiti, {"CodiceCliente", "NumeroCamera", "ImportoTotale"}),
            (Testi{"1234|101|55.5", "1238|S1|2"}))
      << "a line without room number never matches Left(...) <> '*'";

  // The finds of one card and night: room type, charge lines, company.
  auto camere_db = motore_.OpenDatabase("NumeriCamere.mdb");
  auto camere = camere_db->OpenRecordset("NumeriCamere");
  EXPECT_EQ(Righe(*camere, {"TipoCamera"}, "NumeroHotel = 1 and NumeroCamera = " + Quota("1'A")),
            Testi{"D'A"});
  EXPECT_EQ(Righe(*addebiti, {"ImportoTotale"},
                  "NumeroHotel = 1 and CodiceCliente = 1234 and DataInizio <= '20240702' and "
                  "DataFine > '20240702' and NumeroCamera = '101'"),
            Testi{"55.5"});
}

TEST_F(SqlAlbergo, PassoStoricoConEsenzaCartella) {
  struct Caso {
    std::string cartella;  // as DIRSH holds it; empty: the working folder
    std::string separatore;
    Testi schede, addebiti;
  };
  const std::string assoluta = (cartella_ / kStorico).string();
  const Caso casi[] = {
      {kStorico, "\\", {"18001235|999", "18001234|101"}, {"18001234|101|80"}},
      {assoluta, "\\", {"18001235|999", "18001234|101"}, {"18001234|101|80"}},
      {assoluta + "\\", "\\", {"18001235|999", "18001234|101"}, {"18001234|101|80"}},
      {"", "", {"18009999|101"}, {"18009999|101|1"}},
  };
  for (const auto& c : casi) {
    auto file = [&](const char* nome) {
      return c.cartella.empty() ? std::string(nome) : c.cartella + c.separatore + nome;
    };
    auto schede_db = motore_.OpenDatabase(file("SchedaStoricoClienti.mdb"));
    auto schede = schede_db->OpenRecordset(
        "Select * From Scheda_Cliente Where NumeroHotel = 1 and DataArrivo <= '" + kAl +
        "' and DataPartenzaReale > '" + kDal +
        "' Order by DataArrivo,NumeroCamera,NumeroProgressivo;");
    EXPECT_EQ(Righe(*schede, {"NumeroProgressivo", "NumeroCamera"}), c.schede) << c.cartella;
    auto addebiti_db = motore_.OpenDatabase(file("ArrangiamentoStoricoClienti.mdb"));
    auto addebiti =
        addebiti_db->OpenRecordset(Addebiti("<>", "NumeroProgressivo", "Scheda_Cliente",
                                            file("SchedaStoricoClienti.mdb"), "DataPartenzaReale"));
    EXPECT_EQ(Righe(*addebiti, {"CodiceCliente", "NumeroCamera", "ImportoTotale"}), c.addebiti)
        << c.cartella;
  }
}

TEST_F(SqlAlbergo, ReportGiornaliero) {
  auto db = motore_.OpenDatabase("Vendrix.mdb");
  auto rs = db->OpenRecordset(
      "Select NumeroHotel,DataRif," + kSomme +
      ",Agenzia From Vendrix Group by NumeroHotel,DataRif,Agenzia Order by DataRif");
  Testi giorno1 = Righe(*rs, {"Agenzia", "TTRO", "TTBB", "TTRe", "TTEx", "TTCOc", "TTPx"},
                        "NumeroHotel = 1 and DataRif = '20240701'");
  std::sort(giorno1.begin(), giorno1.end());
  EXPECT_EQ(giorno1, (Testi{" |0|0|0|0|1|1", "ALFA|1|0|1|1.5|3|6", "Null|10|5|15|0|1|1"}));
  Testi giorno2 = Righe(*rs, {"Agenzia", "TTRO", "TTHB", "TTSupl", "TTRe"},
                        "NumeroHotel = 1 and DataRif = '20240702'");
  std::sort(giorno2.begin(), giorno2.end());
  EXPECT_EQ(giorno2, (Testi{"ALFA|0|7.25|1|8.25", "|33.3333|0|0|33.3333"}));
  EXPECT_EQ(Righe(*rs, {"DataRif"}).size(), 5u);

  // The sums come back as exact Currency (0.1 + 0.2 + 0.7 is exactly 1) and as integers.
  rs->FindFirst("NumeroHotel = 1 and DataRif = '20240701' and Agenzia = 'ALFA'");
  ASSERT_FALSE(rs->NoMatch());
  EXPECT_EQ(rs->Fields("TTRO").Value(), Valore(V(10000)));
  EXPECT_EQ(rs->Fields("TTFB").Value(), Valore(V(0)));
  EXPECT_EQ(rs->Fields("TTEx").Value(), Valore(V(15000)));
  EXPECT_EQ(rs->Fields("TTCOc").Value(), Valore(int32_t{3}));
  EXPECT_EQ(rs->Fields("TTPx").Value(), Valore(int32_t{6}));
}

TEST_F(SqlAlbergo, ReportTipoCameraEAgenzia) {
  auto tipi_db = motore_.OpenDatabase("TipiCamere.mdb");
  auto tipi =
      tipi_db->OpenRecordset("Select * From TipiCamere Where NumeroHotel = 1 and Tipologia = 'C'");
  EXPECT_EQ(Righe(*tipi, {"Sigla", "Descrizione", "Quantita"}),
            (Testi{"DOP|Doppia|10", "SIN|Singola|5", "D'A|Doppia d'angolo|2"}));

  auto db = motore_.OpenDatabase("Vendrix.mdb");
  auto per_tipo = db->OpenRecordset(
      "Select NumeroHotel,TipoCamera," + kSomme +
      ",Agenzia From Vendrix Group by NumeroHotel,TipoCamera,Agenzia Order by TipoCamera;");
  struct Caso {
    std::string sigla;
    Testi gruppi;
  };
  const Caso casi[] = {
      {"DOP", {"ALFA|1|3", "|33.3333|2"}},
      {"SIN", {" |0|1", "Null|10|1"}},
      {"D'A", {"ALFA|0|1"}},
      {"TRI", {}},
  };
  for (const auto& c : casi) {
    Testi g = Righe(*per_tipo, {"Agenzia", "TTRO", "TTCOc"},
                    "NumeroHotel = 1 and TipoCamera = " + Quota(c.sigla));
    std::sort(g.begin(), g.end());
    EXPECT_EQ(g, c.gruppi) << c.sigla;
  }

  auto per_agenzia =
      db->OpenRecordset("Select NumeroHotel," + kSomme +
                        ",Agenzia,TipoCamera From Vendrix Where Agenzia >= ' ' Group by "
                        "NumeroHotel,Agenzia,TipoCamera Order by Agenzia,TipoCamera;");
  EXPECT_EQ(Righe(*per_agenzia, {"Agenzia", "TipoCamera", "TTRe", "TTHB", "TTCOc"}),
            (Testi{" |SIN|0|0|1", "ALFA|D'A|8.25|7.25|1", "ALFA|DOP|1|0|3"}))
      << "a blank agency counts, an empty or missing one does not; code order";
  per_agenzia->FindFirst("NumeroHotel = 1");
  for (auto [campo, tipo] : {std::pair{"TTRe", TipoValore::kValuta},
                             {"TTSupl", TipoValore::kValuta},
                             {"TTPx", TipoValore::kLungo},
                             {"Agenzia", TipoValore::kTesto}}) {
    EXPECT_EQ(per_agenzia->Fields(campo).Value().Tipo(), tipo) << campo;
  }
  tipi->FindFirst("NumeroHotel = 1 and Sigla = " + Quota("D'A"));
  EXPECT_EQ(tipi->Fields("Descrizione").Value(), Valore("Doppia d'angolo"));
}

TEST_F(SqlAlbergo, SommeEFunzioni) {
  auto db = motore_.OpenDatabase("Vendrix.mdb");
  struct Caso {
    std::string sql;
    std::vector<std::string> campi;
    Testi attese;
    const char* perche;
  };
  const Caso casi[] = {
      {"Select sum(TotRO) From Vendrix", {"sum(TotRO)"}, {"44.3333"}, "a sum without alias"},
      {"Select Sum(Vendrix.TotRO) As Tot From Vendrix Where TipoCamera = 'DOP'",
       {"Tot"},
       {"34.3333"},
       "qualified column, any case"},
      {"Select sum(TotRO) as T From Vendrix Where TipoCamera = 'NESSUNO'",
       {"T"},
       {"Null"},
       "the sum of no rows is Null"},
      {"Select Left(DataRif,6) as Mese, count(*) as N From Vendrix Group by Left(DataRif,6)",
       {"Mese", "N"},
       {"202407|7"},
       "Left in the select list and in Group by"},
      {"Select Right(DataRif,2) as G, Mid(DataRif,5,2) as M, Len(Agenzia) as N From Vendrix "
       "Where TipoCamera = 'SIN' Order by Agenzia",
       {"G", "M", "N"},
       {"01|07|Null", "01|07|1"},
       "Right, Mid, Len"},
      {"Select TipoCamera & '-' & DataRif as K From Vendrix Where TotCamOcc = 2",
       {"K"},
       {"DOP-20240702"},
       "& joins texts"},
      {"Select [TipoCamera] From [Vendrix] Where \"D'A\" = TipoCamera",
       {"TipoCamera"},
       {"D'A"},
       "bracketed names, double-quoted text"},
      {"Select max(TotRetta) as M From Vendrix", {"M"}, {"33.3333"}, "max of Currency"},
  };
  for (const auto& c : casi) {
    auto rs = db->OpenRecordset(c.sql);
    // Every row: the first field is Null or it is not.
    const std::string tutte = "[" + c.campi[0] + "] Is Null or [" + c.campi[0] + "] Is Not Null";
    Testi r;
    rs->FindFirst(tutte);
    while (!rs->NoMatch()) {
      std::string s;
      for (size_t i = 0; i < c.campi.size(); ++i) {
        Valore v = rs->Fields(c.campi[i]).Value();
        s += (i ? "|" : "") + (v.IsNull() ? std::string("Null") : v.Testo());
      }
      r.push_back(s);
      rs->FindNext(tutte);
    }
    EXPECT_EQ(r, c.attese) << c.perche << ": " << c.sql;
  }
  auto somma = db->OpenRecordset("Select sum(TotRO) as T, max(TotRO) as M From Vendrix");
  EXPECT_EQ(somma->Fields("T").Value(), Valore(V(443333)));
  EXPECT_EQ(somma->Fields("M").Value(), Valore(V(333333)));
}

TEST_F(SqlAlbergo, FileNominatiConInSiCollegaUnaVoltaSola) {
  // More files than a connection can attach at once, each named several times.
  std::vector<std::string> file;
  for (int i = 0; i < 14; ++i) {
    file.push_back("F" + std::to_string(i) + ".mdb");
    Scrivi(file.back(), "T", {{"NumeroHotel", dbInteger}, {"N", dbLong}}, {{I(1), L(i)}});
  }
  auto db = motore_.OpenDatabase("TipiCamere.mdb");
  for (int giro = 0; giro < 2; ++giro) {
    for (int i = 0; i < 14; ++i) {
      std::string sql = "Select N From T In " + Quota(file[i]) +
                        " Where N In (Select N From T In " + Quota(file[i]) +
                        ") and N In (Select N From T In " + Quota(file[(i + 1) % 14]) +
                        " Where N >= 0) or N = " + std::to_string(i);
      auto rs = db->OpenRecordset(sql);
      EXPECT_EQ(rs->RecordCount(), 1) << sql;
    }
  }
  // A file named in the SQL of its own connection is that connection.
  auto stesso = db->OpenRecordset(
      "Select count(*) as N From TipiCamere Where Sigla In (Select Sigla From TipiCamere In "
      "'TipiCamere.mdb')");
  EXPECT_EQ(stesso->Fields("N").Value(), Valore(int32_t{5}));
  EXPECT_NE(Messaggio([&] {
              db->OpenRecordset("Select * From Manca In 'NumeriCamere.mdb'");
            }).find("Tabella 'Manca' non trovata nel database 'NumeriCamere.mdb'"),
            std::string::npos);
}

// Criteria and SQL texts are read by the same rules: a name in brackets or backquotes is a field
// whatever its letters (Not included), and a number run into a word is refused, as SQLite does.
TEST_F(SqlAlbergo, CriteriESqlSiLeggonoConLeStesseRegole) {
  auto db = motore_.OpenDatabase("TipiCamere.mdb");
  auto rs = db->OpenRecordset("Select Sigla as [Not], `Quantita` From TipiCamere");
  EXPECT_EQ(Righe(*rs, {"Not"}, "[Not] = 'DOP' Or `Quantita` = 5"), (Testi{"DOP", "SIN"}));
  for (const char* sql : {"Select 1abc From TipiCamere",
                          "Select Sigla From TipiCamere Where "
                          "Quantita = 1.2.3"}) {
    EXPECT_NE(Messaggio([&] { db->OpenRecordset(sql); }).find("numero non valido"),
              std::string::npos)
        << sql;
  }
  EXPECT_NE(Messaggio([&] { rs->FindFirst("`Quantita = 5"); }).find("non chiuso"),
            std::string::npos);
}

}  // namespace
}  // namespace vendrix
