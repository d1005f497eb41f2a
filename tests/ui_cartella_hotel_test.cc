// The window's hotel folder: the working folder when it holds a hotel, else the folder chosen
// last time, else asked once; "Cartella hotel…" changes it. The folder chooser is a stand-in
// that answers from a list; the settings live in a temporary folder.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAction>
#include <QApplication>
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
#include <utility>
#include <vector>

#include "ui/vendrix_dt.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;

fs::path* radice = nullptr;

class AmbienteQt : public ::testing::Environment {
 public:
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    char modello[] = "/tmp/vendrix_cartella_XXXXXX";
    ASSERT_NE(mkdtemp(modello), nullptr);
    radice = new fs::path(modello);
    // Before the first QSettings: the user's own settings are never read or written.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString((*radice / "config").string()));
    static int argc = 1;
    static char nome[] = "ui_cartella_hotel_test";
    static char* argv[] = {nome, nullptr};
    applicazione_ = new QApplication(argc, argv);
    applicazione_->setQuitOnLastWindowClosed(false);
    for (const char* albergo : {"albergo_a", "albergo_b"}) {
      fs::create_directories(*radice / albergo);
      std::ofstream(*radice / albergo / "TipiCamere.mdb") << "x";
    }
    for (const char* vuota : {"casa", "spostato"}) fs::create_directories(*radice / vuota);
  }
  void TearDown() override {
    delete applicazione_;
    std::error_code e;
    fs::remove_all(*radice, e);
  }

 private:
  QApplication* applicazione_ = nullptr;
};
::testing::Environment* const kAmbiente = ::testing::AddGlobalTestEnvironment(new AmbienteQt);

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

  std::unique_ptr<VendrixDT> finestra_;
  std::deque<fs::path> risposte_;  // the chooser's answers; empty path: cancelled
  std::vector<fs::path> partenze_;  // where each call of the chooser started
  std::vector<Richiesta> richieste_;
  std::vector<std::string> messaggi_;
};

TEST_F(CartellaHotelTest, StartUsesWorkingHotelElseRememberedElseAsksOnce) {
  const fs::path a = *radice / "albergo_a", b = *radice / "albergo_b", casa = *radice / "casa";
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
      {"the user cancels: stays on the working folder, remembers nothing", casa, {}, {fs::path()},
       1, casa, {}},
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
    EXPECT_EQ(CartellaDelCalcolo(), caso.cartella);
    EXPECT_EQ(Ricordata(), caso.ricordata_dopo);
    if (caso.cartella == casa) {
      EXPECT_NE(Stato().find("Alt+H"), std::string::npos) << Stato();
    }
  }
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

  // The same entry in the window's context menu; a folder without a hotel is taken but named.
  QAction* voce = finestra_->findChild<QAction*>("CartellaHotel");
  ASSERT_NE(voce, nullptr);
  EXPECT_EQ(finestra_->contextMenuPolicy(), Qt::ActionsContextMenu);
  risposte_ = {*radice / "casa"};
  voce->trigger();
  EXPECT_EQ(CartellaDelCalcolo(), *radice / "casa");
  ASSERT_EQ(messaggi_.size(), 1u);
  EXPECT_NE(messaggi_[0].find("TipiCamere.mdb"), std::string::npos) << messaggi_[0];
}

}  // namespace
}  // namespace vendrix
