#include "ui/vendrix_dt.h"

#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <exception>
#include <utility>

#include "calc/vendrix_routine.h"
#include "comune/date.h"
#include "data/tabelle.h"
#include "reports/report.h"
#include "ui/controlli.h"
#include "ui/flusso_date.h"

namespace vendrix {

namespace {

// The layout is given in twips; a pixel is 15 twips at 96 dots per inch.
int Pixel(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }

QRect Posizione(int sinistra, int cima, int larghezza, int altezza) {
  return QRect(Pixel(sinistra), Pixel(cima), Pixel(larghezza), Pixel(altezza));
}

constexpr int kLarghezzaTwips = 5820;
constexpr int kAltezzaTwips = 3135;

const QColor kSfondoFinestra(192, 192, 255);  // pale blue
const QColor kSfondoStato(255, 255, 192);     // pale yellow
const QColor kBianco(255, 255, 255);

const char kTitoloMessaggi[] = "Statistiche";

// The first of the families that is installed, else the application's own font family. The
// fallbacks are sans fonts of similar width, so that the captions fit their controls.
QString Famiglia(const QStringList& famiglie) {
  for (const QString& famiglia : famiglie) {
    if (QFontDatabase::hasFamily(famiglia)) return famiglia;
  }
  return QFont().family();
}

QFont Carattere(const QStringList& famiglie, double punti, bool grassetto = false) {
  QFont carattere(Famiglia(famiglie));
  carattere.setPointSizeF(punti);
  carattere.setWeight(grassetto ? QFont::Bold : QFont::Normal);
  return carattere;
}

QFont Arial(double punti) {
  return Carattere({"Arial", "Liberation Sans", "Arimo", "DejaVu Sans"}, punti);
}

QFont Corbel(double punti, bool grassetto = false) {
  return Carattere({"Corbel", "Carlito", "Liberation Sans", "Arimo", "DejaVu Sans"}, punti,
                   grassetto);
}

// Narrows the font of a caption just enough for the text to fit its fixed width: the fallback
// fonts are wider than the intended one, and a clipped caption loses its colon.
void AdattaLarghezza(QLabel* etichetta) {
  const int serve = QFontMetrics(etichetta->font()).horizontalAdvance(etichetta->text());
  if (serve <= etichetta->width()) return;
  QFont stretto = etichetta->font();
  stretto.setStretch(std::max(75, 100 * etichetta->width() / serve));
  etichetta->setFont(stretto);
}

void ImpostaColore(QWidget* controllo, QPalette::ColorRole ruolo, const QColor& colore) {
  QPalette colori = controllo->palette();
  colori.setColor(ruolo, colore);
  controllo->setPalette(colori);
}

}  // namespace

bool MessaggioModale(QWidget* finestra, const QString& testo, const QString& titolo,
                     const QString& altro) {
  QMessageBox messaggio(finestra);
  messaggio.setWindowTitle(titolo);
  // Error texts quote SQL and names: they are shown as written, never read as markup.
  messaggio.setTextFormat(Qt::PlainText);
  messaggio.setText(testo);
  messaggio.setStandardButtons(QMessageBox::Ok);
  QPushButton* pulsante_altro =
      altro.isEmpty() ? nullptr : messaggio.addButton(altro, QMessageBox::ActionRole);
  messaggio.setDefaultButton(QMessageBox::Ok);
  messaggio.setWindowModality(Qt::ApplicationModal);
  messaggio.exec();
  return pulsante_altro != nullptr && messaggio.clickedButton() == pulsante_altro;
}

VendrixDT::VendrixDT(Elaborazioni elaborazioni, Presentatore presentatore, QWidget* parent)
    : QWidget(parent),
      elaborazioni_(std::move(elaborazioni)),
      presentatore_(std::move(presentatore)) {
  if (!elaborazioni_.apri_cartella) {
    elaborazioni_.apri_cartella = [](const std::filesystem::path& cartella) {
      CompletaReportInterrotti(cartella);  // a set of workbooks is shown whole
      QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(cartella.string())));
    };
  }
  CreaControlli();
  CollegaEventi();
  Form_Load();
  PreparaCartellaHotel();
  PreparaReportDirezione();
}

VendrixDT::~VendrixDT() = default;

void VendrixDT::CreaControlli() {
  setObjectName("VendrixDT");
  setWindowTitle("Statistiche sulle vendite");
  setFixedSize(Pixel(kLarghezzaTwips), Pixel(kAltezzaTwips));
  setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
  setWindowFlag(Qt::WindowMaximizeButtonHint, false);
  ImpostaColore(this, QPalette::Window, kSfondoFinestra);
  setAutoFillBackground(true);

  // The frames first, so that every control lies above them.
  const std::array<QRect, 2> cornici = {Posizione(1200, 240, 1455, 495),
                                        Posizione(1200, 840, 1455, 495)};
  for (int i = 0; i < 2; ++i) {
    shape1_[i] = new Cornice(this);
    shape1_[i]->setObjectName(QString("Shape1_%1").arg(i));
    shape1_[i]->setGeometry(cornici[i]);
  }

  // Created in tab-index order.
  const std::array<QRect, 2> caselle = {Posizione(1335, 360, 1212, 285),
                                        Posizione(1320, 960, 1212, 288)};
  for (int i = 0; i < 2; ++i) {
    text1_[i] = new CasellaData(this, [this, i] { Text1_GotFocus(i); });
    text1_[i]->setObjectName(QString("Text1_%1").arg(i));
    text1_[i]->setGeometry(caselle[i]);
    text1_[i]->setFont(Arial(9.75));
    text1_[i]->setMaxLength(10);
    ImpostaColore(text1_[i], QPalette::Base, kBianco);
  }

  const std::array<QString, 3> comandi = {"&Calcola", "C&rea Excel", "&Esci"};
  const std::array<int, 3> sinistra = {120, 2040, 3960};
  for (int i = 0; i < 3; ++i) {
    t_[i] = new Pulsante(comandi[i], this);
    t_[i]->setObjectName(QString("T_%1").arg(i));
    t_[i]->setGeometry(Posizione(sinistra[i], 1560, 1776, 1050));
    t_[i]->setFont(Corbel(12, i == 2));
  }
  t_[2]->setIcon(QIcon(ImmagineEsci()));
  t_[2]->setIconSize(QSize(48, 48));
  ImpostaColore(t_[2], QPalette::Button, kBianco);

  const std::array<QString, 2> didascalie = {"Dalla data .....:", "Alla data ........:"};
  const std::array<int, 2> cime = {360, 960};
  for (int i = 0; i < 2; ++i) {
    label1_[i] = new QLabel(didascalie[i], this);
    label1_[i]->setGeometry(Posizione(120, cime[i], 1095, 255));
    label1_[i]->setFont(Corbel(9.75));
    AdattaLarghezza(label1_[i]);
  }
  label1_[2] = new QLabel(this);
  label1_[2]->setGeometry(Posizione(120, 2760, 5616, 270));
  ImpostaColore(label1_[2], QPalette::Window, kSfondoStato);
  label1_[2]->setAutoFillBackground(true);
  for (int i = 0; i < 3; ++i) {
    label1_[i]->setObjectName(QString("Label1_%1").arg(i));
    // Progress texts carry guest names: shown as written, never read as markup.
    label1_[i]->setTextFormat(Qt::PlainText);
  }

  const std::array<QString, 3> scelte = {"Prenotazioni confermate", "Prenotazioni opzionate",
                                         "Clienti in casa + storico"};
  const std::array<int, 3> cime_scelte = {240, 600, 960};
  for (int i = 0; i < 3; ++i) {
    chk_[i] = new QCheckBox(scelte[i], this);
    chk_[i]->setObjectName(QString("Chk_%1").arg(i));
    chk_[i]->setGeometry(Posizione(3000, cime_scelte[i], 2655, 255));
    chk_[i]->setFont(Corbel(9.75));
  }
  chk_[0]->setChecked(true);

  QWidget* precedente = text1_[0];
  for (QWidget* successivo :
       std::initializer_list<QWidget*>{text1_[1], t_[0], t_[1], t_[2], chk_[0], chk_[1], chk_[2]}) {
    setTabOrder(precedente, successivo);
    precedente = successivo;
  }
  text1_[0]->setFocus(Qt::OtherFocusReason);
}

void VendrixDT::CollegaEventi() {
  for (int i = 0; i < 3; ++i) {
    connect(t_[i], &QPushButton::clicked, this, [this, i] { T_Click(i); });
  }
  for (int i = 0; i < 2; ++i) {
    // Enter is the only key acted upon; the box handles every key as usual.
    connect(text1_[i], &QLineEdit::returnPressed, this, [this, i] { Text1_KeyPress(i); });
  }
}

void VendrixDT::Form_Load() { CaricaModulo(); }

void VendrixDT::PreparaCartellaHotel() {
  if (!elaborazioni_.scegli_cartella) return;
  // An action of the window, not a control: the fixed layout stays as it is.
  auto* cambia = new QAction("Cartella &hotel…", this);
  cambia->setObjectName("CartellaHotel");
  cambia->setShortcut(QKeySequence(Qt::ALT | Qt::Key_H));
  connect(cambia, &QAction::triggered, this, &VendrixDT::CambiaCartellaHotel);
  addAction(cambia);
  setContextMenuPolicy(Qt::ActionsContextMenu);

  if (ECartellaHotel(elaborazioni_.cartella_hotel)) return;
  if (const std::optional<std::filesystem::path> ricordata = CartellaRicordata()) {
    elaborazioni_.cartella_hotel = *ricordata;
    ImpostaStato("Cartella hotel: " + ricordata->string());
    return;
  }
  // Asked once the window is on screen, so that the chooser has a window to stand on.
  QTimer::singleShot(0, this, [this] {
    CambiaCartellaHotel();
    if (!ECartellaHotel(elaborazioni_.cartella_hotel)) {
      ImpostaStato("Nessun albergo in " + elaborazioni_.cartella_hotel.string() +
                   ": Alt+H per scegliere la cartella");
    }
  });
}

void VendrixDT::CambiaCartellaHotel() {
  const std::filesystem::path scelta =
      elaborazioni_.scegli_cartella(this, elaborazioni_.cartella_hotel);
  if (scelta.empty()) return;
  elaborazioni_.cartella_hotel = scelta;
  RicordaCartella(scelta);
  ImpostaStato("Cartella hotel: " + scelta.string());
  if (!ECartellaHotel(scelta)) {
    MsgBox("Nella cartella " + scelta.string() + " non ci sono i file dell'albergo (" +
               tabelle::kFileTipiCamere + "): sceglierne un'altra con Alt+H.",
           kTitoloMessaggi);
  }
}

void VendrixDT::T_Click(int indice) {
  switch (indice) {
    case 0:
      Calcola();
      break;
    case 1:
      CreaExcel();
      break;
    case 2:
      close();
      break;
    default:
      break;
  }
}

void VendrixDT::Text1_GotFocus(int indice) { text1_.at(indice)->selectAll(); }

void VendrixDT::Text1_KeyPress(int indice) {
  if (indice == 0) {
    const EsitoInvio esito = InvioDataDal(Text1(0));
    text1_[0]->setText(QString::fromStdString(esito.testo));
    if (esito.fuoco == Fuoco::kDataAl) text1_[1]->setFocus(Qt::OtherFocusReason);
  } else if (indice == 1) {
    const EsitoInvio esito = InvioDataAl(Text1(0), Text1(1));
    text1_[1]->setText(QString::fromStdString(esito.testo));
    if (esito.fuoco == Fuoco::kCalcola) t_[0]->setFocus(Qt::OtherFocusReason);
  }
}

std::optional<Richiesta> VendrixDT::LeggiRichiesta() {
  // The buttons clean and expand both boxes as Enter does, and write the result back, so that
  // the user sees the dates the run is asked for.
  std::array<Giorno, 2> giorni;
  for (int i = 0; i < 2; ++i) {
    text1_[i]->setText(QString::fromStdString(PulisciData(Text1(i))));
  }
  for (int i = 0; i < 2; ++i) {
    const std::optional<Giorno> giorno = LeggiData(Text1(i));
    if (!giorno) {
      MsgBox(MessaggioDataNonValida(Text1(i)), kTitoloMessaggi);
      text1_[i]->setFocus(Qt::OtherFocusReason);
      return std::nullopt;
    }
    giorni[i] = *giorno;
  }
  if (const std::optional<std::string> rifiuto = RifiutoPeriodo(giorni[0], giorni[1])) {
    MsgBox(*rifiuto, kTitoloMessaggi);
    text1_[0]->setFocus(Qt::OtherFocusReason);
    return std::nullopt;
  }
  Richiesta r = NuovaRichiesta(giorni[0], giorni[1], elaborazioni_.cartella_hotel);
  r.confermate = chk_[0]->isChecked();
  r.opzionate = chk_[1]->isChecked();
  r.clienti = chk_[2]->isChecked();
  return r;
}

void VendrixDT::Esegui(const std::function<void()>& elaborazione) {
  // Caught here, once per run: the window stays open and the user can try again.
  try {
    elaborazione();
  } catch (const std::exception& errore) {
    MsgBox(errore.what(), kTitoloMessaggi);
  } catch (...) {
    MsgBox("Errore imprevisto durante l'elaborazione: riprovare.", kTitoloMessaggi);
  }
}

void VendrixDT::Calcola() {
  const std::optional<Richiesta> r = LeggiRichiesta();
  if (!r) return;
  // Nothing to count: the statistics already there stay as they are.
  if (!r->confermate && !r->opzionate && !r->clienti) {
    MsgBox(kNessunTipoSoggiorno, kTitoloMessaggi);
    chk_[0]->setFocus(Qt::OtherFocusReason);
    return;
  }
  Esegui([&] { elaborazioni_.calcola(*this, *r); });
}

void VendrixDT::CreaExcel() {
  const std::optional<Richiesta> r = LeggiRichiesta();
  if (!r) return;
  Esegui([&] {
    const std::vector<std::string> percorsi = elaborazioni_.crea_excel(*this, *r);
    if (percorsi.empty()) return;
    const std::filesystem::path cartella = std::filesystem::path(percorsi.front()).parent_path();
    std::string testo = "Fogli Excel creati nella cartella " + cartella.string() + ":";
    for (const std::string& percorso : percorsi) {
      testo += "\r\n" + std::filesystem::path(percorso).filename().string();
    }
    if (presentatore_(this, QString::fromStdString(testo), kTitoloMessaggi, "Apri cartella")) {
      elaborazioni_.apri_cartella(cartella);
    }
  });
}

std::string VendrixDT::Text1(int indice) const { return text1_.at(indice)->text().toStdString(); }

void VendrixDT::ImpostaStato(const std::string& testo) {
  label1_[2]->setText(QString::fromStdString(testo));
  // The run holds the event loop: without an immediate repaint the text would show only at its
  // end.
  label1_[2]->repaint();
}

void VendrixDT::MsgBox(const std::string& testo, const std::string& titolo) {
  presentatore_(this, QString::fromStdString(testo), QString::fromStdString(titolo), QString());
}

}  // namespace vendrix
