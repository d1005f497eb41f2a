// The books day by day: a hotel whose stays are booked, cancelled, confirmed and turned into
// guest cards and history, written as it stood on each day and snapshotted with `--al`; then
// every column of "Pickup" night by night against what the test planted. Also: "Calcola" never
// rebuilds the store, and a store that is not ours stops a snapshot.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/istantanea.h"
#include "calc/calcolo.h"
#include "comune/richiesta.h"
#include "data/libri.h"
#include "tests/support/albergo_piccolo.h"
#include "tests/support/comando.h"
#include "tests/support/lettore_xlsx.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;
using prova::SoggiornoPiantato;
using std::chrono::days;

const Giorno kOggi = Giorno(std::chrono::year(2026) / 3 / 10);
const Giorno kOggiAP = Giorno(std::chrono::year(2025) / 3 / 10);
constexpr int kGiorniSerie = 31;  // snapshots from kOggi - 30 to kOggi

// A stay with its life: booked on `creata`, possibly cancelled (an optional one dropped) on
// `cancellata`, an optional one confirmed on `confermata`.
struct Storia {
  Giorno arrivo, partenza;
  const char* camera;
  int ospiti;
  double retta, extra;
  const char* agenzia;
  Giorno creata;
  std::optional<Giorno> cancellata, confermata;
  bool opzionale = false;

  bool Copre(Giorno notte) const { return arrivo <= notte && notte < partenza; }
  bool Viva(Giorno giorno) const {
    return creata <= giorno && !(cancellata && *cancellata <= giorno);
  }
  bool Arrivata(Giorno giorno) const { return giorno > arrivo && Viva(arrivo); }
  // Confirmed rooms on the books of `giorno` for `notte` (>= giorno).
  bool Confermata(Giorno giorno, Giorno notte) const {
    if (!Copre(notte)) return false;
    if (Arrivata(giorno)) return true;
    return giorno <= arrivo && Viva(giorno) &&
           (!opzionale || (confermata && *confermata <= giorno));
  }
  double RettaNotte() const { return retta + extra; }
};

// Stays of two windows: around today and around the same days last year.
std::vector<Storia> Storie(Giorno oggi = kOggi) {
  std::vector<Storia> storie;
  const char* camere[] = {"101", "102", "201"};
  const int anticipi[] = {0, 3, 8, 12, 18, 25, 33, 45};
  for (Giorno base : {oggi - days(50), oggi - days(370)}) {
    const int quante = base < oggi - days(300) ? 30 : 55;
    for (int i = 0; i < quante; ++i) {
      Storia s;
      s.arrivo = base + days((i * 3) % 80);
      s.partenza = s.arrivo + days(1 + i % 4);
      s.camera = camere[i % 3];
      s.ospiti = 1 + i % 2;
      s.retta = 60 + 5 * (i % 5);
      s.extra = i % 3 == 0 ? 7.5 : 0;
      s.agenzia = i % 4 == 0 ? "Booking Srl" : "";
      s.creata = s.arrivo - days(anticipi[i % 8]);
      if (i % 9 == 4) s.cancellata = s.arrivo - days(anticipi[i % 8] / 2);
      if (i % 5 == 2) {
        s.opzionale = true;
        if (i % 10 == 2) {
          s.confermata = s.creata + days(anticipi[i % 8] / 2);
        } else if (!s.cancellata) {
          s.cancellata = s.arrivo;  // never confirmed: dropped on the day
        }
      }
      storie.push_back(s);
    }
  }
  return storie;
}

// The hotel files as they stood on the morning of `giorno`.
void ScriviStato(prova::AlbergoPiccolo& albergo, const std::vector<Storia>& storie, Giorno giorno) {
  std::vector<SoggiornoPiantato> piantati;
  std::vector<std::string> date;
  date.reserve(2 * storie.size());  // no reallocation: the stays point into it
  for (const Storia& s : storie) {
    date.push_back(ChiaveData(s.arrivo));
    date.push_back(ChiaveData(s.partenza));
    SoggiornoPiantato p{SoggiornoPiantato::kPrenotazione,
                        "C",
                        s.camera,
                        date.end()[-2].c_str(),
                        date.back().c_str(),
                        s.ospiti,
                        s.retta,
                        s.extra,
                        s.agenzia};
    if (giorno <= s.arrivo) {
      if (!s.Viva(giorno)) continue;
      if (s.opzionale && !(s.confermata && *s.confermata <= giorno)) p.tipo_prenotazione = "O";
    } else if (s.Arrivata(giorno)) {
      p.fonte = giorno > s.partenza ? SoggiornoPiantato::kStorico : SoggiornoPiantato::kScheda;
      p.partito = giorno < s.partenza ? "N" : "S";
    } else {
      continue;
    }
    piantati.push_back(p);
  }
  albergo.Pianta(piantati);
}

Richiesta RichiestaPer(const fs::path& cartella) { return NuovaRichiesta(kOggi, kOggi, cartella); }

class LibriSerie : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char modello[] = "/tmp/vx_libri_serie_XXXXXX";
    libri_ = new fs::path(mkdtemp(modello));
    const std::vector<Storia> storie = Storie();
    std::vector<Giorno> giorni = {kOggiAP};
    for (int i = kGiorniSerie - 1; i >= 0; --i) giorni.push_back(kOggi - days(i));
    for (Giorno g : giorni) {
      prova::AlbergoPiccolo albergo;
      ScriviStato(albergo, storie, g);
      PrendiIstantanea(RichiestaPer(albergo.cartella()), g, *libri_);
    }
  }
  static void TearDownTestSuite() {
    fs::remove_all(*libri_);
    delete libri_;
  }
  static fs::path* libri_;
};
fs::path* LibriSerie::libri_ = nullptr;

TEST_F(LibriSerie, OgniColonnaDelPickupNotteDopoNotte) {
  // The last day once more through the command, from its backup folder: replaces that day.
  const std::vector<Storia> storie = Storie();
  prova::AlbergoPiccolo albergo;
  ScriviStato(albergo, storie, kOggi);
  const prova::Esito istantanea = prova::EseguiBatch(
      *libri_, {"istantanea", "--al", TestoData(kOggi), "--da", albergo.cartella().string()});
  ASSERT_EQ(istantanea.codice, 0) << istantanea.err;
  const prova::Esito pickup =
      prova::EseguiBatch(*libri_, {"pickup", TestoData(kOggi), "--cartella", "x"});
  ASSERT_EQ(pickup.codice, 0) << pickup.err;
  const fs::path file = *libri_ / "x" / ("REPORT_PICKUP_" + ChiaveData(kOggi) + ".xlsx");
  EXPECT_EQ(pickup.out, file.string() + "\n");
  const prova::CartellaLetta cartella = prova::LeggiXlsx(file.string());
  const prova::FoglioLetto& f = cartella.Foglio("Pickup");

  auto camere = [&](Giorno giorno, Giorno notte) {
    int n = 0;
    for (const Storia& s : storie) n += s.Confermata(giorno, notte);
    return n;
  };
  auto retta = [&](Giorno giorno, Giorno notte) {
    double r = 0;
    for (const Storia& s : storie) r += s.Confermata(giorno, notte) ? s.RettaNotte() : 0;
    return r;
  };
  auto finale = [&](Giorno notte) {
    int n = 0;
    for (const Storia& s : storie) n += s.Copre(notte) && s.Arrivata(notte + days(1));
    return n;
  };
  const Giorno primo = kOggi - days(kGiorniSerie - 1);
  auto c_e = [&](Giorno g) { return g >= primo || g == kOggiAP; };
  // The forecast by its definition: the books plus the average, over the nights of the same
  // weekday of the last 8 weeks seen by a snapshot at the same distance, of final - books.
  auto previsione = [&](Giorno notte) -> std::optional<double> {
    const days anticipo = notte - kOggi;
    double somma = 0;
    int quante = 0;
    for (Giorno p = notte - days(7); p >= kOggi - days(56); p -= days(7)) {
      if (p >= kOggi || !c_e(p - anticipo)) continue;
      somma += finale(p) - camere(p - anticipo, p);
      ++quante;
    }
    if (quante == 0) return std::nullopt;
    return camere(kOggi, notte) + somma / quante;
  };

  auto numero = [&](int riga, int colonna) -> std::optional<double> {
    const prova::CellaLetta c = f.Cella(riga, colonna);
    if (c.tipo == prova::CellaLetta::Tipo::kTesto && c.testo == "n.d.") return std::nullopt;
    EXPECT_EQ(c.tipo, prova::CellaLetta::Tipo::kNumero) << riga << "," << colonna << c.testo;
    return c.numero;
  };
  // Each figure is read under its heading, wherever the sheet puts it.
  auto colonna = [&](const std::string& intestazione) {
    for (int c = 1; c <= 20; ++c) {
      if (f.Cella(4, c).testo == intestazione) return c;
    }
    ADD_FAILURE() << "manca la colonna " << intestazione;
    return 0;
  };
  const std::pair<const char*, int> distanze[] = {{"Pickup 1 giorno", 1},
                                                  {"Pickup 7 giorni", 7},
                                                  {"Pickup 14 giorni", 14},
                                                  {"Pickup 30 giorni", 30}};
  const int previsione_col = colonna("Previsione");
  const int occupazione_col = colonna("% occupazione prevista");
  int con_pickup = 0, con_ap = 0, con_previsione = 0;
  for (int i = 0; i < 90; ++i) {
    const Giorno notte = kOggi + days(i);
    const int riga = 5 + i;
    SCOPED_TRACE(TestoData(notte));
    EXPECT_EQ(f.Cella(riga, colonna("Data")).testo, TestoData(notte));
    EXPECT_EQ(numero(riga, colonna("Camere prenotate")), camere(kOggi, notte));
    for (const auto& [intestazione, giorni] : distanze) {
      EXPECT_EQ(numero(riga, colonna(intestazione)),
                camere(kOggi, notte) - camere(kOggi - days(giorni), notte));
    }
    con_pickup += camere(kOggi, notte) != camere(kOggi - days(7), notte);
    EXPECT_NEAR(*numero(riga, colonna("Totale Retta prenotata")), retta(kOggi, notte), 1e-6);
    EXPECT_NEAR(*numero(riga, colonna("Pickup Retta 7 giorni")),
                retta(kOggi, notte) - retta(kOggi - days(7), notte), 1e-6);
    const Giorno notte_ap = notte - days(365);
    EXPECT_EQ(numero(riga, colonna("Stesso anticipo AP")), camere(kOggiAP, notte_ap));
    EXPECT_EQ(numero(riga, colonna("Consuntivo AP")), finale(notte_ap));
    con_ap += finale(notte_ap) > 0;
    const std::optional<double> attesa = previsione(notte);
    const std::optional<double> letta = numero(riga, previsione_col);
    ASSERT_EQ(letta.has_value(), attesa.has_value());
    if (attesa) {
      ++con_previsione;
      EXPECT_NEAR(*letta, *attesa, 1e-9);
      EXPECT_NEAR(*numero(riga, occupazione_col), *attesa / 10, 1e-9);
    } else {
      EXPECT_EQ(numero(riga, occupazione_col), std::nullopt);
    }
  }
  // The series moves: the test proves something only if it does.
  EXPECT_GT(con_pickup, 3);
  EXPECT_GT(con_ap, 10);
  EXPECT_GT(con_previsione, 10);
  // Totals of the next 7 nights.
  int camere_7 = 0;
  for (int i = 0; i < 7; ++i) camere_7 += camere(kOggi, kOggi + days(i));
  EXPECT_EQ(f.Cella(96, 1).testo, "Prossimi 7 giorni");
  EXPECT_EQ(numero(96, 2), camere_7);
  // By segment, the same rooms split between direct stays and agencies.
  const prova::FoglioLetto& s = cartella.Foglio("Pickup segmenti");
  int agenzie = 0;
  for (int i = 0; i < 7; ++i) {
    for (const Storia& st : storie) {
      agenzie += *st.agenzia != '\0' && st.Confermata(kOggi, kOggi + days(i));
    }
  }
  EXPECT_EQ(s.Cella(3, 1).testo, "Diretto");
  EXPECT_EQ(s.Cella(3, 2).numero, camere_7 - agenzie);
  EXPECT_EQ(s.Cella(4, 1).testo, "Agenzie");
  EXPECT_EQ(s.Cella(4, 2).numero, agenzie);
  EXPECT_EQ(s.Cella(5, 1).testo, "Totale");
}

TEST(Libri, CalcolaNonRicreaLArchivioEUnArchivioEstraneoFermaLIstantanea) {
  prova::AlbergoPiccolo albergo;
  ScriviStato(albergo, Storie(), kOggi);
  PrendiIstantanea(RichiestaPer(albergo.cartella()), kOggi - days(1));
  const fs::path archivio = albergo.cartella() / kFileLibri;
  const std::string prima = prova::LeggiFile(archivio);
  // "Calcola" rebuilds Vendrix.mdb, never the store: its snapshot of today is added to it.
  prova::Esito calcolo =
      prova::EseguiBatch(albergo.cartella(), {"calcola", "01/03/2026", "31/03/2026"});
  ASSERT_EQ(calcolo.codice, 0) << calcolo.err;
  ArchivioLibri libri(albergo.cartella(), false);
  const std::vector<Giorno> giorni = libri.Giorni();
  ASSERT_EQ(giorni.size(), 2u);
  EXPECT_EQ(giorni[0], kOggi - days(1));
  EXPECT_FALSE(libri.Libri(kOggi - days(1), kOggi - days(1), kOggi + days(365)).empty());
  EXPECT_GE(prova::LeggiFile(archivio).size(), prima.size());

  // A store that is not ours: the snapshot stops with the message, the file stays as it was.
  std::ofstream(archivio, std::ios::trunc) << "non un archivio";
  const prova::Esito rifiuto = prova::EseguiBatch(albergo.cartella(), {"istantanea"});
  EXPECT_EQ(rifiuto.codice, 1);
  EXPECT_NE(rifiuto.err.find("VendrixLibri.db"), std::string::npos) << rifiuto.err;
  EXPECT_EQ(prova::LeggiFile(archivio), "non un archivio");
  // "Calcola" still works and says why no snapshot was taken.
  calcolo = prova::EseguiBatch(albergo.cartella(), {"calcola", "01/03/2026", "31/03/2026"});
  EXPECT_EQ(calcolo.codice, 0);
  EXPECT_NE(calcolo.err.find("VendrixLibri.db"), std::string::npos) << calcolo.err;
  EXPECT_EQ(prova::LeggiFile(archivio), "non un archivio");
}

// The manager's report of yesterday takes today's snapshot and shows, night by night, what was
// picked up since yesterday's and last week's snapshots.
TEST(Libri, IlReportDiDirezioneMostraIlPickup) {
  const Giorno oggi = *LeggiData(OraLocale("%d/%m/%Y"));
  const std::vector<Storia> storie = Storie(oggi);
  prova::AlbergoPiccolo albergo;
  for (int prima : {7, 1}) {
    prova::AlbergoPiccolo copia;
    ScriviStato(copia, storie, oggi - days(prima));
    PrendiIstantanea(NuovaRichiesta(oggi, oggi, copia.cartella()), oggi - days(prima),
                     albergo.cartella());
  }
  ScriviStato(albergo, storie, oggi);
  const prova::Esito esito = prova::EseguiBatch(albergo.cartella(), {"direzione"});
  ASSERT_EQ(esito.codice, 0) << esito.err;
  const prova::CartellaLetta report = prova::LeggiXlsx(esito.out.substr(0, esito.out.size() - 1));
  const prova::FoglioLetto& f = report.Foglio("Prossimi giorni");
  EXPECT_EQ(f.Cella(1, 10).testo, "Pickup 1 giorno");
  EXPECT_EQ(f.Cella(1, 11).testo, "Pickup 7 giorni");
  auto camere = [&](Giorno giorno, Giorno notte) {
    int n = 0;
    for (const Storia& s : storie) n += s.Confermata(giorno, notte);
    return n;
  };
  int mosse = 0;
  for (int i = 0; i < 90; ++i) {
    const Giorno notte = oggi + days(i);
    SCOPED_TRACE(TestoData(notte));
    ASSERT_EQ(f.Cella(2 + i, 1).testo, TestoData(notte));
    EXPECT_EQ(f.Cella(2 + i, 10).numero, camere(oggi, notte) - camere(oggi - days(1), notte));
    EXPECT_EQ(f.Cella(2 + i, 11).numero, camere(oggi, notte) - camere(oggi - days(7), notte));
    mosse += f.Cella(2 + i, 11).numero != 0;
  }
  EXPECT_GT(mosse, 2);
}

}  // namespace
}  // namespace vendrix

namespace vendrix {
namespace {

// The living sample: the same hotel seen on two days tells one story. The past nights have the
// same final seen from either day, and what was on the books for the coming nights arrives
// (confirmed bookings always; optional ones when confirmed), with only later bookings on top.
TEST(Libri, IlCampioneVivoRaccontaUnaStoriaSola) {
  char modello[] = "/tmp/vx_libri_vivo_XXXXXX";
  const fs::path cartella = mkdtemp(modello);
  const Giorno giorno = Giorno(std::chrono::year(2024) / 3 / 15);
  std::vector<std::unique_ptr<ArchivioLibri>> libri;
  for (int dopo : {0, 20}) {
    const Giorno g = giorno + days(dopo);
    const fs::path hotel = cartella / ("hotel" + std::to_string(dopo));
    const fs::path archivio = cartella / ("libri" + std::to_string(dopo));
    fs::create_directories(archivio);
    const prova::Esito demo =
        prova::Shell(cartella, prova::QuotaShell(std::string(VENDRIX_APP_DIR) + "/vendrix-demo") +
                                   " " + prova::QuotaShell(hotel.string()) +
                                   " --dal 01/01/2024 --giorni 400 --al-giorno " + TestoData(g));
    ASSERT_EQ(demo.codice, 0) << demo.err;
    const prova::Esito ist =
        prova::EseguiBatch(archivio, {"istantanea", "--al", TestoData(g), "--da", hotel.string()});
    ASSERT_EQ(ist.codice, 0) << ist.err;
    libri.push_back(std::make_unique<ArchivioLibri>(archivio, false));
  }
  // Staff lodging ("FOR", not a bedroom type) counts only once archived, as the calculation's
  // passes count it: left out of the comparison.
  auto passate = [&](const ArchivioLibri& a) {
    std::vector<VoceConsuntivo> voci = a.ConsuntiviDettaglio(giorno - days(30), giorno - days(8));
    std::erase_if(voci, [](const VoceConsuntivo& v) { return v.tipo_camera == "FOR"; });
    return voci;
  };
  EXPECT_TRUE(passate(*libri[0]) == passate(*libri[1]));
  EXPECT_GT(passate(*libri[0]).size(), 50u);
  const auto prima = libri[0]->Totali(giorno, giorno + days(12), giorno, giorno);
  const auto finali = libri[1]->Consuntivi(giorno, giorno + days(12));
  int cresciute = 0;
  for (int i = 0; i <= 12; ++i) {
    const Giorno n = giorno + days(i);
    SCOPED_TRACE(TestoData(n));
    const TotaleNotte& t = prima.at(n).at(giorno);
    EXPECT_LE(t.camere, finali.at(n).camere);
    if (i == 0) {
      EXPECT_LE(finali.at(n).camere, t.camere + t.camere_opzionate);
    }
    cresciute += finali.at(n).camere > t.camere + t.camere_opzionate;
  }
  EXPECT_GT(cresciute, 3);  // bookings made after the first day
  libri.clear();
  fs::remove_all(cartella);
}

}  // namespace
}  // namespace vendrix
