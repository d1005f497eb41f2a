// The window VendrixDT driven through its real widgets: start-up state, the keyboard flow of the
// date boxes, the access keys, the check before a run and how run failures are shown.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>
#include <stdexcept>

#include "calc/vendrix_routine.h"
#include "comune/date.h"
#include "data/errore.h"
#include "tests/support/ambiente_qt.h"
#include "ui/traduzioni.h"
#include "ui/vendrix_dt.h"

namespace vendrix {
namespace {

::testing::Environment* const kAmbiente =
    ::testing::AddGlobalTestEnvironment(new prova::AmbienteQt("ui_vendrix_dt_test"));

// A run as the window asked for it.
struct Calcolo {
  std::string dal, al;
  Interfaccia* ui;
  bool confermate, opzionate, clienti;
  std::filesystem::path cartella_hotel, cartella_excel;
};

const std::filesystem::path kAlbergo = "/srv/albergo";

class VendrixDTTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Elaborazioni elaborazioni;
    elaborazioni.cartella_hotel = kAlbergo;
    elaborazioni.calcola = [this](Interfaccia& ui, const Richiesta& r) {
      calcoli_.push_back({TestoData(r.dal), TestoData(r.al), &ui, r.confermate, r.opzionate,
                          r.clienti, r.cartella_hotel, r.cartella_excel});
      if (durante_calcolo_) durante_calcolo_(ui);
    };
    elaborazioni.crea_excel = [this](Interfaccia& ui, const Richiesta& r) {
      ++report_;
      richieste_report_.push_back({TestoData(r.dal), TestoData(r.al), &ui, r.confermate,
                                   r.opzionate, r.clienti, r.cartella_hotel, r.cartella_excel});
      if (durante_report_) durante_report_(ui);
      std::vector<std::string> percorsi;
      for (const char* f : {"REPORT_DATA.xlsx", "REPORT_TIPOCAMERA.xlsx", "REPORT_AGENZIA.xlsx"}) {
        percorsi.push_back((r.cartella_excel / f).string());
      }
      return FogliCreati(percorsi, senza_confronto_);
    };
    elaborazioni.apri_cartella = [this](const std::filesystem::path& c) {
      aperte_.push_back(c);
      return si_apre_;
    };
    finestra_ = std::make_unique<VendrixDT>(
        elaborazioni,
        [this](QWidget*, const QString& testo, const QString& titolo, const QString& altro) {
          messaggi_.push_back(titolo.toStdString() + ": " + testo.toStdString() +
                              (altro.isEmpty() ? "" : " [" + altro.toStdString() + "]"));
          return scegli_altro_;
        });
    Mostra();
  }

  void Mostra() {
    finestra_->show();
    finestra_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(finestra_.get()));
  }
  template <typename T = QWidget>
  T* Controllo(const QString& nome) {
    T* controllo = finestra_->findChild<T*>(nome);
    if (controllo == nullptr) ADD_FAILURE() << "missing control " << nome.toStdString();
    return controllo;
  }
  QLineEdit* Casella(int i) { return Controllo<QLineEdit>(QString("Text1_%1").arg(i)); }
  QPushButton* Comando(int i) { return Controllo<QPushButton>(QString("T_%1").arg(i)); }
  void Date(const QString& dal, const QString& al) {
    Casella(0)->setText(dal);
    Casella(1)->setText(al);
  }
  // The object name of the widget holding the keyboard focus.
  static std::string Fuoco() {
    QWidget* fuoco = QApplication::focusWidget();
    return fuoco ? fuoco->objectName().toStdString() : "(none)";
  }
  // Keys go where the user's keys would go: to the widget with the focus.
  static void Digita(const QString& testo) { QTest::keyClicks(QApplication::focusWidget(), testo); }
  static void Premi(Qt::Key tasto, Qt::KeyboardModifiers modificatori = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), tasto, modificatori);
  }

  std::unique_ptr<VendrixDT> finestra_;
  std::vector<Calcolo> calcoli_, richieste_report_;
  int report_ = 0;
  bool scegli_altro_ = false;    // the user's answer to a message with a second button
  bool si_apre_ = true;          // whether the file manager opens a folder
  std::string senza_confronto_;  // why the report had no last year
  std::vector<std::filesystem::path> aperte_;
  std::vector<std::string> messaggi_;  // "title: text"
  std::function<void(Interfaccia&)> durante_calcolo_;
  std::function<void(Interfaccia&)> durante_report_;
};

TEST_F(VendrixDTTest, StartsWithTheControlsInPlaceTheHotelNamedAndTheFirstBoxFocused) {
  EXPECT_EQ(finestra_->windowTitle().toStdString(), "Statistiche sulle vendite");
  EXPECT_EQ(finestra_->size(), QSize(388, 209));
  EXPECT_EQ(finestra_->minimumSize(), finestra_->maximumSize()) << "the window must not resize";
  EXPECT_EQ(Fuoco(), "Text1_0");
  struct Caso {
    QString nome;
    QRect posizione;
    QString testo;
    double punti;  // 0: not checked
    bool grassetto;
  };
  const Caso casi[] = {
      {"Text1_0", {89, 24, 81, 19}, "", 9.75, false},
      {"Text1_1", {88, 64, 81, 19}, "", 9.75, false},
      {"T_0", {8, 104, 118, 70}, "&Calcola", 12, false},
      {"T_1", {136, 104, 118, 70}, "C&rea Excel", 12, false},
      {"T_2", {264, 104, 118, 70}, "&Esci", 12, true},
      {"Label1_0", {8, 24, 73, 17}, "Dalla data .....:", 9.75, false},
      {"Label1_1", {8, 64, 73, 17}, "Alla data ........:", 9.75, false},
      {"Label1_2", {8, 184, 374, 18}, "Hotel: /srv/albergo", 0, false},
      {"Chk_0", {200, 16, 177, 17}, "Prenotazioni confermate", 9.75, false},
      {"Chk_1", {200, 40, 177, 17}, "Prenotazioni opzionate", 9.75, false},
      {"Chk_2", {200, 64, 177, 17}, "Clienti in casa + storico", 9.75, false},
      {"Shape1_0", {80, 16, 97, 33}, "", 0, false},
      {"Shape1_1", {80, 56, 97, 33}, "", 0, false},
  };
  for (const Caso& caso : casi) {
    SCOPED_TRACE(caso.nome.toStdString());
    QWidget* controllo = Controllo(caso.nome);
    ASSERT_NE(controllo, nullptr);
    EXPECT_EQ(controllo->geometry(), caso.posizione);
    EXPECT_TRUE(controllo->isVisible());
    QString testo;
    if (auto* pulsante = qobject_cast<QAbstractButton*>(controllo)) testo = pulsante->text();
    if (auto* etichetta = qobject_cast<QLabel*>(controllo)) testo = etichetta->text();
    if (auto* casella = qobject_cast<QLineEdit*>(controllo)) {
      testo = casella->text();
      EXPECT_EQ(casella->maxLength(), 10);
    }
    EXPECT_EQ(testo.toStdString(), caso.testo.toStdString());
    if (caso.punti > 0) {
      EXPECT_DOUBLE_EQ(controllo->font().pointSizeF(), caso.punti);
      EXPECT_EQ(controllo->font().bold(), caso.grassetto);
    }
  }
  EXPECT_TRUE(Controllo<QCheckBox>("Chk_0")->isChecked());
  EXPECT_FALSE(Controllo<QCheckBox>("Chk_1")->isChecked());
  EXPECT_FALSE(Controllo<QCheckBox>("Chk_2")->isChecked());
  EXPECT_EQ(Comando(2)->icon().pixmap(48, 48).size(), QSize(48, 48));
  EXPECT_EQ(Comando(2)->iconSize(), QSize(48, 48));
}

TEST_F(VendrixDTTest, PaintsTheColoursAndTheFramesAroundTheDateBoxes) {
  const QImage immagine = finestra_->grab().toImage();
  const std::tuple<const char*, QPoint, QColor> casi[] = {
      {"window background", {131, 140}, QColor(192, 192, 255)},
      {"status line", {300, 192}, QColor(255, 255, 192)},
      {"inside the to-date box", {150, 73}, QColor(255, 255, 255)},
      {"left edge of the first frame", {80, 32}, QColor(0, 0, 0)},
      {"top edge of the second frame", {120, 56}, QColor(0, 0, 0)},
  };
  for (const auto& [dove, punto, colore] : casi) {
    EXPECT_EQ(immagine.pixelColor(punto).rgb(), colore.rgb()) << dove;
  }
}

TEST(VendrixDTCarica, LoadingTheWindowSetsTheHotel) {
  HotelCorrente = 0;
  VendrixDT finestra(Elaborazioni{},
                     [](QWidget*, const QString&, const QString&, const QString&) { return false; });
  EXPECT_EQ(HotelCorrente, 1);
}

TEST_F(VendrixDTTest, TabFollowsTheTabIndex) {
  const std::vector<std::string> attesi = {"Text1_1", "T_0",   "T_1",   "T_2",
                                           "Chk_0",   "Chk_1", "Chk_2", "Text1_0"};
  std::vector<std::string> visti;
  for (size_t i = 0; i < attesi.size(); ++i) {
    Premi(Qt::Key_Tab);
    visti.push_back(Fuoco());
  }
  EXPECT_EQ(visti, attesi);
}

TEST_F(VendrixDTTest, EnterInTheFromDateCleansExpandsAndMovesOnOnlyWhenValid) {
  const std::tuple<QString, std::string, bool> casi[] = {
      {"010724", "01/07/2024", true},
      {"010149", "01/01/2049", true},
      {"010150", "01/01/1950", true},
      {"01'01'2021", "01/01/2021", true},
      {"01.01.2021", "01/01/2021", true},
      {"1/1/2024", "01/01/2024", true},
      {"1-1-2024", "01/01/2024", true},
      {"1/7/24", "01/07/2024", true},
      {"01/01/024", "01/01/024", false},
      {"", "", false},
      {"29/02/2021", "29/02/2021", false},
      {"01/01/2E03", "01/01/2E03", false},
      {"abc", "ABC", false},
      {"01/01/2021999", "01/01/2021", true},  // the box takes ten characters at most
  };
  for (const auto& [digitato, mostrato, avanza] : casi) {
    SCOPED_TRACE(digitato.toStdString());
    Casella(0)->clear();
    Casella(0)->setFocus();
    Digita(digitato);
    Premi(Qt::Key_Return);
    EXPECT_EQ(Casella(0)->text().toStdString(), mostrato);
    EXPECT_EQ(Fuoco(), avanza ? "Text1_1" : "Text1_0");
  }
  EXPECT_TRUE(calcoli_.empty());
  EXPECT_TRUE(messaggi_.empty()) << "invalid input is refused silently";
}

TEST_F(VendrixDTTest, EnterInTheToDateMovesToCalcolaOnlyForAValidPeriod) {
  const std::tuple<const char*, QString, QString, std::string, std::string> casi[] = {
      {"ordinary period", "01/07/2024", "31072024", "31/07/2024", "T_0"},
      {"one-day period", "01/07/2024", "01072024", "01/07/2024", "T_0"},
      {"short form of this century", "01/07/2024", "310724", "31/07/2024", "T_0"},
      {"reversed dates", "01/01/2025", "31/12/2024", "31/12/2024", "Text1_1"},
      {"from-date read by the same rule", "01072024", "31072024", "31/07/2024", "T_0"},
      {"from-date that is no date", "01/13/2024", "31072024", "31/07/2024", "Text1_1"},
      {"invalid to-date", "01/07/2024", "ab", "AB", "Text1_1"},
  };
  for (const auto& [perche, dal, digitato, mostrato, fuoco] : casi) {
    SCOPED_TRACE(perche);
    Date(dal, "");
    Casella(1)->setFocus();
    Digita(digitato);
    Premi(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(Casella(1)->text().toStdString(), mostrato);
    EXPECT_EQ(Casella(0)->text(), dal) << "the from-date box is left alone";
    EXPECT_EQ(Fuoco(), fuoco);
  }
  EXPECT_TRUE(calcoli_.empty());
  EXPECT_TRUE(messaggi_.empty());
}

TEST_F(VendrixDTTest, KeyboardFlowEndsWithEnterOnCalcola) {
  Casella(1)->setText("vecchia");
  Digita("010719");
  Premi(Qt::Key_Return);
  EXPECT_EQ(Casella(0)->text(), "01/07/2019");
  ASSERT_EQ(Fuoco(), "Text1_1");
  EXPECT_EQ(Casella(1)->selectedText(), "vecchia") << "entering a box selects its whole text";
  Digita("31072019");
  Premi(Qt::Key_Return);
  EXPECT_EQ(Casella(1)->text(), "31/07/2019");
  ASSERT_EQ(Fuoco(), "T_0");
  EXPECT_TRUE(calcoli_.empty()) << "the focus move alone starts nothing";
  Premi(Qt::Key_Return);
  ASSERT_EQ(calcoli_.size(), 1u);
  EXPECT_EQ(calcoli_[0].dal, "01/07/2019");
  EXPECT_EQ(calcoli_[0].al, "31/07/2019");
  EXPECT_EQ(calcoli_[0].ui, static_cast<Interfaccia*>(finestra_.get()));
  EXPECT_EQ(report_, 0);
  EXPECT_TRUE(messaggi_.empty());
}

TEST_F(VendrixDTTest, AccessKeysEnterAndSpacePressTheButtonsAndEscapeDoesNothing) {
  struct Caso {
    const char* perche;
    const char* fuoco;  // where the key is pressed
    Qt::Key tasto;
    Qt::KeyboardModifiers modificatori;
    size_t calcoli;
    int report;
    bool aperta;
  };
  const Caso casi[] = {
      {"Alt+C", "Text1_0", Qt::Key_C, Qt::AltModifier, 1, 0, true},
      {"Alt+R", "Text1_1", Qt::Key_R, Qt::AltModifier, 0, 1, true},
      {"keypad Enter on Crea Excel", "T_1", Qt::Key_Enter, Qt::KeypadModifier, 0, 1, true},
      {"Space on Crea Excel", "T_1", Qt::Key_Space, Qt::NoModifier, 0, 1, true},
      {"Escape is no cancel button", "Text1_0", Qt::Key_Escape, Qt::NoModifier, 0, 0, true},
      {"Enter on a check box", "Chk_1", Qt::Key_Return, Qt::NoModifier, 0, 0, true},
      {"Enter on Esci", "T_2", Qt::Key_Return, Qt::NoModifier, 0, 0, false},
      {"Alt+E", "Text1_0", Qt::Key_E, Qt::AltModifier, 0, 0, false},
  };
  for (const Caso& caso : casi) {
    SCOPED_TRACE(caso.perche);
    calcoli_.clear();
    report_ = 0;
    if (!finestra_->isVisible()) Mostra();
    Date("01/07/2024", "31/07/2024");
    Controllo(caso.fuoco)->setFocus();
    Premi(caso.tasto, caso.modificatori);
    EXPECT_EQ(calcoli_.size(), caso.calcoli);
    EXPECT_EQ(report_, caso.report);
    EXPECT_EQ(finestra_->isVisible(), caso.aperta);
  }
  // Only the completion messages of the three reports.
  EXPECT_EQ(messaggi_.size(), 3u);
  for (const std::string& m : messaggi_) {
    EXPECT_TRUE(m.starts_with("Statistiche: Fogli Excel del periodo")) << m;
  }
}

TEST_F(VendrixDTTest, ButtonsExpandTheDatesWriteThemBackAndAskForTheCheckedKinds) {
  Date("1.7.2024", "010824");
  for (const char* scelta : {"Chk_0", "Chk_2"}) {
    Controllo(scelta)->setFocus();
    Premi(Qt::Key_Space);
  }
  Comando(0)->click();
  EXPECT_EQ(Casella(0)->text(), "01/07/2024");
  EXPECT_EQ(Casella(1)->text(), "01/08/2024");
  Date("1.7.2024", "010824");
  Comando(1)->click();
  ASSERT_EQ(calcoli_.size(), 1u);
  ASSERT_EQ(richieste_report_.size(), 1u);
  for (const Calcolo& c : {calcoli_[0], richieste_report_[0]}) {
    EXPECT_EQ(c.dal, "01/07/2024");
    EXPECT_EQ(c.al, "01/08/2024");
    EXPECT_EQ(std::make_tuple(c.confermate, c.opzionate, c.clienti),
              std::make_tuple(false, false, true));
    EXPECT_EQ(c.cartella_hotel, kAlbergo);
    EXPECT_EQ(c.cartella_excel, kAlbergo / "Excel") << "the workbooks go beside the hotel files";
  }
  EXPECT_EQ(Casella(0)->text(), "01/07/2024");
}

TEST_F(VendrixDTTest, ButtonsRefuseWhatWouldDestroyOrMisleadWithAMessageAndRunNothing) {
  const std::string kTitolo = "Statistiche: ";
  struct Caso {
    const char* perche;
    QString dal, al;
    std::string messaggio;
    std::string fuoco;
    QString mostra_dal, mostra_al;  // the boxes after the click: cleaned and expanded
  };
  const Caso casi[] = {
      {"both empty", "", "", MessaggioDataNonValida(""), "Text1_0", "", ""},
      {"to-date empty", "010724", "", MessaggioDataNonValida(""), "Text1_1", "01/07/2024", ""},
      {"three-digit year", "01/07/024", "31/07/2024", MessaggioDataNonValida("01/07/024"),
       "Text1_0", "01/07/024", "31/07/2024"},
      {"to-date 31 February", "01/02/2024", "31/02/2024", MessaggioDataNonValida("31/02/2024"),
       "Text1_1", "01/02/2024", "31/02/2024"},
      {"an exponent in the year", "01/07/2024", "01/01/2e03", MessaggioDataNonValida("01/01/2E03"),
       "Text1_1", "01/07/2024", "01/01/2E03"},
      {"reversed period", "010824", "1/7/2024",
       "La data iniziale 01/08/2024 viene dopo la data finale 01/07/2024: correggere il periodo.",
       "Text1_0", "01/08/2024", "01/07/2024"},
      {"period longer than a century", "1/1/1900", "31/12/2099",
       "Periodo troppo lungo: dal 01/01/1900 al 31/12/2099 sono più di 100 anni. Scegliere un "
       "periodo di al massimo 100 anni.",
       "Text1_0", "01/01/1900", "31/12/2099"},
  };
  for (int comando : {0, 1}) {
    for (const Caso& c : casi) {
      SCOPED_TRACE(std::string(c.perche) + (comando == 0 ? " / Calcola" : " / Crea Excel"));
      messaggi_.clear();
      Date(c.dal, c.al);
      Comando(comando)->setFocus();
      Premi(Qt::Key_Return);
      EXPECT_EQ(messaggi_, std::vector<std::string>{kTitolo + c.messaggio});
      EXPECT_EQ(Fuoco(), c.fuoco);
      EXPECT_EQ(Casella(0)->text(), c.mostra_dal);
      EXPECT_EQ(Casella(1)->text(), c.mostra_al);
    }
  }
  // No kind of stay: "Calcola" keeps the statistics there are; the report needs no kind.
  messaggi_.clear();
  Date("01/07/2024", "31/07/2024");
  Controllo("Chk_0")->setFocus();
  Premi(Qt::Key_Space);
  Comando(0)->click();
  EXPECT_EQ(messaggi_,
            std::vector<std::string>{kTitolo + "Selezionare almeno un tipo di soggiorno"});
  EXPECT_TRUE(calcoli_.empty());
  EXPECT_EQ(report_, 0);
  Comando(1)->click();
  EXPECT_EQ(report_, 1);
}

TEST_F(VendrixDTTest, EnteringADateBoxByTabOrMouseSelectsItsWholeText) {
  Date("01/07/2024", "31/07/2024");
  Casella(0)->setFocus();
  Premi(Qt::Key_Tab);
  ASSERT_EQ(Fuoco(), "Text1_1");
  EXPECT_EQ(Casella(1)->selectedText(), "31/07/2024");
  Comando(1)->setFocus();
  QTest::mouseClick(Casella(0), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  ASSERT_EQ(Fuoco(), "Text1_0");
  EXPECT_EQ(Casella(0)->selectedText(), "01/07/2024");
  // Typing replaces the date, despite the ten-character limit.
  Digita("010824");
  EXPECT_EQ(Casella(0)->text(), "010824");
}

TEST_F(VendrixDTTest, CreaExcelNamesThePeriodTheFolderTheFilesAndCanOpenTheFolder) {
  const std::string cartella = (kAlbergo / "Excel").string();
  const std::string fatto = "Statistiche: Fogli Excel del periodo dal 01/07/2024 al 31/07/2024 "
                            "creati nella cartella " + cartella +
                            ":\r\nREPORT_DATA.xlsx\r\nREPORT_TIPOCAMERA.xlsx\r\nREPORT_AGENZIA.xlsx";
  const std::tuple<bool, bool, std::string, std::vector<std::string>> casi[] = {
      {true, true, "", {fatto + " [Apri cartella]"}},
      {true, false, "", {fatto + " [Apri cartella]", "Statistiche: Impossibile aprire la cartella " +
                                                         cartella + ": aprirla dal gestore dei file."}},
      {false, true, "manca Storico.mdb.", {fatto + "\r\n\r\nConfronto con l'anno precedente non "
                                                   "disponibile: manca Storico.mdb. [Apri cartella]"}},
  };
  QLabel* stato = Controllo<QLabel>("Label1_2");
  durante_report_ = [](Interfaccia& ui) { ui.ImpostaStato("Calcolo dell'anno precedente"); };
  for (const auto& [apri, si_apre, senza_confronto, messaggi] : casi) {
    SCOPED_TRACE(messaggi.back());
    messaggi_.clear();
    aperte_.clear();
    std::tie(scegli_altro_, si_apre_, senza_confronto_) = std::tie(apri, si_apre, senza_confronto);
    Date("1/7/2024", "31/7/2024");
    Comando(1)->click();
    EXPECT_EQ(messaggi_, messaggi);
    EXPECT_EQ(aperte_.size(), apri ? 1u : 0u);
    EXPECT_EQ(stato->text().toStdString(),
              "Fogli Excel del 01/07/2024-31/07/2024 creati in " + cartella);
  }
  durante_report_ = [](Interfaccia&) { throw Errore("Impossibile aprire TipiCamere.mdb."); };
  Comando(1)->click();
  EXPECT_EQ(stato->text().toStdString(), "Creazione dei fogli Excel non riuscita");
}

TEST_F(VendrixDTTest, ARefusedDateBoxHasARedFrameUntilItsTextIsValid) {
  enum Azione { kNulla, kInvioDal, kInvioAl, kCreaExcel };
  // What is typed in each box (null: left as it is), what is done, and which frames are red.
  const std::tuple<const char*, QString, QString, Azione, std::string> passi[] = {
      {"valid dates", "01/07/2024", "31/07/2024", kInvioDal, "--"},
      {"Enter on no date", "32/07/2024", {}, kInvioDal, "R-"},
      {"a valid text clears it", "1/7/24", {}, kNulla, "--"},
      {"Enter on a to-date before the from-date", {}, "30/06/2024", kInvioAl, "-R"},
      {"mending the from-date clears it", "01/06/2024", {}, kNulla, "--"},
      {"a button refusing the to-date", {}, "31/02/2024", kCreaExcel, "-R"},
      {"still no date", {}, "30/02/2024", kNulla, "-R"},
      {"mended", {}, "29/02/2024", kNulla, "--"},
  };
  for (const auto& [cosa, dal, al, azione, rosse] : passi) {
    if (!dal.isNull()) Casella(0)->setText(dal);
    if (!al.isNull()) Casella(1)->setText(al);
    if (azione == kInvioDal || azione == kInvioAl) {
      QTest::keyClick(Casella(azione == kInvioDal ? 0 : 1), Qt::Key_Return);
    }
    if (azione == kCreaExcel) Comando(1)->click();
    const QImage immagine = finestra_->grab().toImage();
    std::string viste;
    for (const int y : {32, 72}) viste += immagine.pixelColor(80, y).red() > 150 ? 'R' : '-';
    EXPECT_EQ(viste, rosse) << cosa;
  }
}

// Qt's own dialogs (the folder chooser, the input dialog) speak Italian.
TEST(VendrixDTTraduzioni, QtsItalianTranslationsAreLoaded) {
  ASSERT_TRUE(CaricaTraduzioniQt(*QCoreApplication::instance()));
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:").toStdString(), "Cerca in:");
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel").toStdString(), "Annulla");
}

TEST_F(VendrixDTTest, AFailingRunIsShownAndTheWindowStaysUsable) {
  const std::tuple<int, std::function<void(Interfaccia&)>, std::string> casi[] = {
      {0, [](Interfaccia&) { throw Errore("Impossibile aprire Prenota.mdb."); },
       "Statistiche: Impossibile aprire Prenota.mdb."},
      {1, [](Interfaccia&) { throw std::runtime_error("disco pieno"); },
       "Statistiche: disco pieno"},
  };
  for (const auto& [comando, guasto, messaggio] : casi) {
    SCOPED_TRACE(messaggio);
    messaggi_.clear();
    calcoli_.clear();
    report_ = 0;
    (comando == 0 ? durante_calcolo_ : durante_report_) = guasto;
    Date("01/07/2024", "31/07/2024");
    Comando(comando)->setFocus();
    Premi(Qt::Key_Return);
    EXPECT_EQ(messaggi_, std::vector<std::string>{messaggio});
    EXPECT_TRUE(finestra_->isVisible());
    // Usable again at once: the same key starts the run anew.
    durante_calcolo_ = durante_report_ = nullptr;
    Premi(Qt::Key_Return);
    EXPECT_EQ(calcoli_.size() + report_, 2u);
    EXPECT_EQ(messaggi_.size(), comando == 0 ? 1u : 2u) << "the report ends with its message";
  }
}

TEST_F(VendrixDTTest, RunsWriteTheStatusLineAtOnceAndShowTheirMessages) {
  QLabel* stato = Controllo<QLabel>("Label1_2");
  struct ContaDisegni : QObject {
    int disegni = 0;
    bool eventFilter(QObject*, QEvent* evento) override {
      if (evento->type() == QEvent::Paint) ++disegni;
      return false;
    }
  } filtro;
  stato->installEventFilter(&filtro);
  durante_calcolo_ = [&](Interfaccia& ui) {
    for (const char* testo : {"Lettura prenotazione n. 12", "Pulizia record n. 3 di 5"}) {
      const int prima = filtro.disegni;
      ui.ImpostaStato(testo);
      // No event loop runs here: the label must have painted itself already.
      EXPECT_GT(filtro.disegni, prima) << testo;
      EXPECT_EQ(stato->text(), testo);
    }
    ui.MsgBox("Ora si possono generare i fogli Excel", "Creazione dati completata!");
  };
  Date("01/07/2024", "31/07/2024");
  Comando(0)->click();
  stato->removeEventFilter(&filtro);
  EXPECT_EQ(stato->text(), "Statistiche del 01/07/2024-31/07/2024 calcolate")
      << "the line ends on what was done";
  EXPECT_EQ(messaggi_, std::vector<std::string>{
                           "Creazione dati completata!: Ora si possono generare i fogli Excel"});
}

// The real message box: modal, with the title, the text as written and one OK button.
TEST(VendrixDTMessaggio, DefaultPresenterShowsAModalBoxWithOneOkButtonAndEscapeMeansOk) {
  VendrixDT finestra(Elaborazioni{});
  finestra.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&finestra));
  QString visto;
  int tentativi = 0;
  bool con_escape = false;
  std::function<void()> chiudi = [&] {
    QWidget* attiva = QApplication::activeModalWidget();
    if (attiva == nullptr && ++tentativi < 500) {
      QTimer::singleShot(10, chiudi);
      return;
    }
    auto* box = qobject_cast<QMessageBox*>(attiva);
    if (box != nullptr && box->button(QMessageBox::Ok) != nullptr) {
      visto = QString("%1|%2|%3|%4|%5")
                  .arg(box->windowTitle(), box->text())
                  .arg(box->buttons().size())
                  .arg(box->isModal())
                  .arg(box->textFormat() == Qt::PlainText);
      // Escape is handled at once: a box still open after it ignored it.
      if (con_escape) QTest::keyClick(box, Qt::Key_Escape);
      if (box->isVisible()) {
        if (con_escape) visto += "|Escape ignored";
        box->button(QMessageBox::Ok)->click();
      }
    } else if (attiva != nullptr) {
      attiva->close();
    }
  };
  QTimer::singleShot(0, chiudi);
  finestra.MsgBox("Errore in <Prenota> & co.", "Statistiche");
  EXPECT_EQ(visto.toStdString(), "Statistiche|Errore in <Prenota> & co.|1|1|1");
  EXPECT_TRUE(finestra.isVisible());
  // The completion message of "C&rea Excel" has "Apri cartella" too: Escape means OK.
  con_escape = true;
  QTimer::singleShot(0, chiudi);
  EXPECT_FALSE(MessaggioModale(&finestra, "Fogli Excel creati", "Statistiche", "Apri cartella"));
  EXPECT_EQ(visto.toStdString(), "Statistiche|Fogli Excel creati|2|1|1");
}

}  // namespace
}  // namespace vendrix
