// The window's hotel folder: the working folder when it holds a hotel, else the folder chosen
// last time, else asked once; "Cartella hotel…" changes it. The folder chooser is a stand-in
// that answers from a list; the settings live in a temporary folder.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "comune/nome_hotel.h"
#include "tests/support/ambiente_qt.h"
#include "ui/vendrix_dt.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;

fs::path* radice = nullptr;

class AmbienteCartelle : public prova::AmbienteQt {
 public:
  AmbienteCartelle() : AmbienteQt("ui_cartella_hotel_test") {}
  void SetUp() override {
    char modello[] = "/tmp/vendrix_cartella_XXXXXX";
    ASSERT_NE(mkdtemp(modello), nullptr);
    radice = new fs::path(modello);
    // Before the first QSettings: the user's own settings are never read or written.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString((*radice / "config").string()));
    AmbienteQt::SetUp();
    for (const char* albergo : {"albergo_a", "albergo_b"}) {
      fs::create_directories(*radice / albergo);
      std::ofstream(*radice / albergo / "TipiCamere.mdb") << "x";
    }
    for (const char* vuota : {"casa", "spostato"}) fs::create_directories(*radice / vuota);
  }
  void TearDown() override {
    AmbienteQt::TearDown();
    std::error_code e;
    fs::remove_all(*radice, e);
  }
};
::testing::Environment* const kAmbiente =
    ::testing::AddGlobalTestEnvironment(new AmbienteCartelle);

std::optional<fs::path> Ricordata() {
  const QString valore = QSettings("Vendrix", "Vendrix").value("cartella_hotel").toString();
  if (valore.isEmpty()) return std::nullopt;
  return fs::path(valore.toStdString());
}

class CartellaHotelTest : public ::testing::Test {
 protected:
  // Opens the window on the working folder `lavoro`, as the program does.
  void Apri(const fs::path& lavoro) {
    Elaborazioni elaborazioni;
    elaborazioni.cartella_hotel = lavoro;
    elaborazioni.calcola = [this](Interfaccia&, const Richiesta& r) { richieste_.push_back(r); };
    elaborazioni.crea_excel = [](Interfaccia&, const Richiesta&) {
      return std::vector<std::string>{};
    };
    elaborazioni.scegli_cartella = [this](QWidget*, const fs::path& attuale) {
      partenze_.push_back(attuale);
      const fs::path risposta = risposte_.empty() ? fs::path() : risposte_.front();
      if (!risposte_.empty()) risposte_.pop_front();
      return risposta;
    };
    elaborazioni.chiedi_nome = [this](QWidget*, const std::string& attuale) {
      nomi_mostrati_.push_back(attuale);
      return nome_;
    };
    finestra_ = std::make_unique<VendrixDT>(
        elaborazioni, [this](QWidget*, const QString& testo, const QString&, const QString&) {
          messaggi_.push_back(testo.toStdString());
          return false;
        });
    finestra_->show();
    finestra_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(finestra_.get()));
    QApplication::processEvents();
  }

  // The hotel folder of the request "&Calcola" makes.
  fs::path CartellaDelCalcolo() {
    finestra_->findChild<QLineEdit*>("Text1_0")->setText("01/07/2024");
    finestra_->findChild<QLineEdit*>("Text1_1")->setText("31/07/2024");
    const size_t prima = richieste_.size();
    finestra_->findChild<QPushButton*>("T_0")->click();
    if (richieste_.size() != prima + 1) return "(nessun calcolo)";
    return richieste_.back().cartella_hotel;
  }
  std::string Stato() { return finestra_->findChild<QLabel*>("Label1_2")->text().toStdString(); }
  // The status text as it was set: shortened on the line when too long, whole in its tooltip.
  std::string StatoIntero() {
    const QLabel* stato = finestra_->findChild<QLabel*>("Label1_2");
    return (stato->toolTip().isEmpty() ? stato->text() : stato->toolTip()).toStdString();
  }

  std::unique_ptr<VendrixDT> finestra_;
  std::deque<fs::path> risposte_;   // the chooser's answers; empty path: cancelled
  std::vector<fs::path> partenze_;  // where each call of the chooser started
  std::vector<Richiesta> richieste_;
  std::vector<std::string> messaggi_;
  std::optional<std::string> nome_;  // the name typed; nullopt: cancelled
  std::vector<std::string> nomi_mostrati_;
};

TEST_F(CartellaHotelTest, StartUsesWorkingHotelElseRememberedElseAsksOnce) {
  const fs::path a = *radice / "albergo_a", b = *radice / "albergo_b", casa = *radice / "casa";
  const fs::path kNessunCalcolo = "(nessun calcolo)";
  struct Caso {
    const char* protegge;
    fs::path lavoro;
    std::optional<fs::path> ricordata;
    std::vector<fs::path> risposte;
    size_t domande;
    fs::path cartella;
    std::optional<fs::path> ricordata_dopo;
  };
  const Caso casi[] = {
      {"started inside a hotel: works there, asks nothing, keeps the remembered folder", a, b,
       {}, 0, a, b},
      {"started where there is no hotel: the remembered folder, without asking", casa, b, {}, 0,
       b, b},
      {"nothing remembered: asks once, works on the choice and remembers it", casa, {}, {a}, 1,
       a, a},
      {"the remembered folder no longer holds a hotel: asks again", casa, *radice / "spostato",
       {b}, 1, b, b},
      {"a folder without a hotel is refused, asked again and never remembered", casa, {},
       {casa, a}, 2, a, a},
      {"the user cancels: no hotel, no run, nothing remembered", casa, {}, {fs::path()}, 1,
       kNessunCalcolo, {}},
  };
  for (const Caso& caso : casi) {
    SCOPED_TRACE(caso.protegge);
    QSettings("Vendrix", "Vendrix").clear();
    if (caso.ricordata) {
      QSettings("Vendrix", "Vendrix")
          .setValue("cartella_hotel", QString::fromStdString(caso.ricordata->string()));
    }
    risposte_.assign(caso.risposte.begin(), caso.risposte.end());
    partenze_.clear();
    Apri(caso.lavoro);
    EXPECT_EQ(partenze_.size(), caso.domande);
    const std::string stato_iniziale = StatoIntero();
    EXPECT_EQ(CartellaDelCalcolo(), caso.cartella);
    EXPECT_EQ(Ricordata(), caso.ricordata_dopo);
    if (caso.cartella == kNessunCalcolo) {
      EXPECT_EQ(stato_iniziale,
                "Nessun hotel in " + casa.string() + ": premere Alt+H per sceglierlo");
    } else {
      // The folder's name is the hotel's while none is set: the path names it.
      EXPECT_EQ(stato_iniziale, "Hotel: " + caso.cartella.string());
    }
    EXPECT_TRUE(fs::is_empty(casa)) << "nothing is written where there is no hotel";
  }
}

TEST_F(CartellaHotelTest, TheStatusLineWithoutAHotelFitsItsLabelWhateverTheFolder) {
  const fs::path senza = *radice / std::string(120, 'y');
  fs::create_directories(senza);
  QSettings("Vendrix", "Vendrix").clear();
  Apri(senza);
  const QLabel* stato = finestra_->findChild<QLabel*>("Label1_2");
  EXPECT_LE(QFontMetrics(stato->font()).horizontalAdvance(stato->text()),
            stato->contentsRect().width());
  EXPECT_TRUE(Stato().ends_with(": premere Alt+H per sceglierlo")) << Stato();
  EXPECT_EQ(StatoIntero(), "Nessun hotel in " + senza.string() + ": premere Alt+H per sceglierlo");
}

TEST_F(CartellaHotelTest, TheNameIsSetFromTheContextMenuKeptInTheFolderAndShown) {
  const fs::path a = *radice / "albergo_a";
  Apri(a);
  QAction* voce = finestra_->findChild<QAction*>("NomeHotel");
  ASSERT_TRUE(voce != nullptr && finestra_->actions().contains(voce)) << "in the context menu";
  const std::tuple<const char*, std::optional<std::string>, std::string> casi[] = {
      {"a name", "  Hotel Miramare ", "Hotel Miramare"},
      {"cancelled: the name stays", std::nullopt, "Hotel Miramare"},
      {"an empty name gives the folder's name back", "", "albergo_a"},
  };
  for (const auto& [perche, digitato, nome] : casi) {
    nome_ = digitato;
    voce->trigger();
    EXPECT_EQ(NomeHotel(a), nome) << perche;
    EXPECT_EQ(StatoIntero(), "Hotel: " + (nome == "albergo_a" ? "" : nome + ", cartella ") +
                                 a.string());
  }
  EXPECT_EQ(nomi_mostrati_,
            (std::vector<std::string>{"albergo_a", "Hotel Miramare", "Hotel Miramare"}));
  EXPECT_TRUE(messaggi_.empty());
}

TEST_F(CartellaHotelTest, AltHChangesTheFolderOfTheNextRunWithoutMovingControls) {
  const fs::path a = *radice / "albergo_a", b = *radice / "albergo_b";
  Apri(a);
  std::vector<std::pair<QWidget*, QRect>> posti;
  for (QWidget* w : finestra_->findChildren<QWidget*>()) posti.emplace_back(w, w->geometry());

  risposte_ = {b};
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_H, Qt::AltModifier);
  ASSERT_EQ(partenze_, std::vector<fs::path>{a});
  EXPECT_EQ(CartellaDelCalcolo(), b);
  EXPECT_EQ(richieste_.back().cartella_excel, b / "Excel");
  EXPECT_EQ(Ricordata(), b);
  EXPECT_TRUE(messaggi_.empty());
  for (const auto& [w, posto] : posti) {
    EXPECT_EQ(w->geometry(), posto) << w->objectName().toStdString();
  }

  // The same entry in the window's context menu; a folder without a hotel is refused, with a
  // message naming the file it lacks, and asked again until the user cancels.
  QAction* voce = finestra_->findChild<QAction*>("CartellaHotel");
  ASSERT_NE(voce, nullptr);
  EXPECT_EQ(finestra_->contextMenuPolicy(), Qt::ActionsContextMenu);
  risposte_ = {*radice / "casa"};
  partenze_.clear();
  voce->trigger();
  EXPECT_EQ(partenze_, (std::vector<fs::path>{b, *radice / "casa"}));
  EXPECT_EQ(CartellaDelCalcolo(), b);
  EXPECT_EQ(Ricordata(), b);
  ASSERT_EQ(messaggi_.size(), 1u);
  EXPECT_NE(messaggi_[0].find("TipiCamere.mdb"), std::string::npos) << messaggi_[0];
}

}  // namespace
}  // namespace vendrix
