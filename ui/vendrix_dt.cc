#include "ui/vendrix_dt.h"

#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QInputDialog>
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
#include "comune/nome_hotel.h"
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

std::optional<std::string> ChiediNomeConDialogo(QWidget* finestra, const std::string& attuale) {
  bool confermato = false;
  const QString nome = QInputDialog::getText(
      finestra, QStringLiteral("Nome dell'hotel"),
      QStringLiteral("Nome dell'hotel nei fogli Excel (vuoto: il nome della cartella):"),
      QLineEdit::Normal, QString::fromStdString(attuale), &confermato);
  if (!confermato) return std::nullopt;
  return nome.toStdString();
}

// The folder's path in at most `larghezza` pixels: whole when it fits, else its beginning cut
// short before as many of its last components as fit whole, since they name the folder.
QString AccorciaCartella(const QFontMetrics& metriche, const std::filesystem::path& cartella,
                         int larghezza) {
  const QString intero = QString::fromStdString(cartella.string());
  if (metriche.horizontalAdvance(intero) <= larghezza) return intero;
  const std::filesystem::path normale = cartella.lexically_normal();
  const QString testo = QString::fromStdString(normale.string());
  const std::vector<std::filesystem::path> parti(normale.begin(), normale.end());
  QString coda;
  for (auto parte = parti.rbegin(); parte != parti.rend(); ++parte) {
    if (parte->empty() || *parte == normale.root_path()) break;
    const QString piu_lunga = "/" + QString::fromStdString(parte->string()) + coda;
    if (metriche.horizontalAdvance(QStringLiteral("…") + piu_lunga) > larghezza) break;
    coda = piu_lunga;
  }
  if (coda.isEmpty() || !testo.endsWith(coda)) {
    return metriche.elidedText(intero, Qt::ElideMiddle, larghezza);
  }
  return metriche.elidedText(testo.left(testo.size() - coda.size()), Qt::ElideRight,
                             larghezza - metriche.horizontalAdvance(coda)) +
         coda;
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
  // With a second button Qt gives Escape to neither: it means OK.
  messaggio.setEscapeButton(QMessageBox::Ok);
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
      return QDesktopServices::openUrl(
          QUrl::fromLocalFile(QString::fromStdString(cartella.string())));
    };
  }
  if (!elaborazioni_.chiedi_nome) elaborazioni_.chiedi_nome = ChiediNomeConDialogo;
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

  CreaDidascalie();

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

void VendrixDT::CreaDidascalie() {
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
  // A narrow font: the line names folders, and what does not fit is cut.
  label1_[2]->setFont(Corbel(9.75));
  ImpostaColore(label1_[2], QPalette::Window, kSfondoStato);
  label1_[2]->setAutoFillBackground(true);
  for (int i = 0; i < 3; ++i) {
    label1_[i]->setObjectName(QString("Label1_%1").arg(i));
    // Progress texts carry guest names: shown as written, never read as markup.
    label1_[i]->setTextFormat(Qt::PlainText);
  }
}

void VendrixDT::CollegaEventi() {
  for (int i = 0; i < 3; ++i) {
    connect(t_[i], &QPushButton::clicked, this, [this, i] { T_Click(i); });
  }
  for (int i = 0; i < 2; ++i) {
    // Enter is the only key acted upon; the box handles every key as usual.
    connect(text1_[i], &QLineEdit::returnPressed, this, [this, i] { Text1_KeyPress(i); });
    // A red frame stays until what made it red is mended, in either box.
    connect(text1_[i], &QLineEdit::textChanged, this, [this] {
      for (int j = 0; j < 2; ++j) {
        if (motivo_rifiuto_[j] != Rifiuto::kNessuno && !DataRifiutata(j)) {
          SegnaData(j, Rifiuto::kNessuno);
        }
      }
    });
  }
}

void VendrixDT::Form_Load() { CaricaModulo(); }

void VendrixDT::PreparaCartellaHotel() {
  // Actions of the window, not controls: the fixed layout stays as it is.
  setContextMenuPolicy(Qt::ActionsContextMenu);
  if (elaborazioni_.scegli_cartella) {
    auto* cambia = new QAction("Cartella &hotel…", this);
    cambia->setObjectName("CartellaHotel");
    cambia->setShortcut(QKeySequence(Qt::ALT | Qt::Key_H));
    connect(cambia, &QAction::triggered, this, &VendrixDT::CambiaCartellaHotel);
    addAction(cambia);
  }
  auto* nome = new QAction("&Nome hotel…", this);
  nome->setObjectName("NomeHotel");
  connect(nome, &QAction::triggered, this, &VendrixDT::CambiaNomeHotel);
  addAction(nome);

  const bool da_chiedere =
      elaborazioni_.scegli_cartella && !ECartellaHotel(elaborazioni_.cartella_hotel);
  if (da_chiedere) {
    if (const std::optional<std::filesystem::path> ricordata = CartellaRicordata()) {
      elaborazioni_.cartella_hotel = *ricordata;
    } else {
      // Asked once the window is on screen, so that the chooser has a window to stand on.
      QTimer::singleShot(0, this, &VendrixDT::CambiaCartellaHotel);
    }
  }
  MostraHotel();
}

void VendrixDT::CambiaCartellaHotel() {
  std::filesystem::path partenza = elaborazioni_.cartella_hotel;
  for (;;) {
    const std::filesystem::path scelta = elaborazioni_.scegli_cartella(this, partenza);
    if (scelta.empty()) return;  // cancelled: the folder stays as it was
    if (ECartellaHotel(scelta)) {
      elaborazioni_.cartella_hotel = scelta;
      RicordaCartella(scelta);
      MostraHotel();
      return;
    }
    // Neither taken nor remembered: a run would write its files into it.
    MsgBox("Nella cartella " + scelta.string() + " non ci sono i file dell'hotel (" +
               tabelle::kFileTipiCamere + "): sceglierne un'altra.",
           kTitoloMessaggi);
    partenza = scelta;
  }
}

void VendrixDT::CambiaNomeHotel() {
  if (!HotelPresente()) return;
  const std::filesystem::path& cartella = elaborazioni_.cartella_hotel;
  const std::optional<std::string> nome = elaborazioni_.chiedi_nome(this, NomeHotel(cartella));
  if (!nome) return;
  if (const std::optional<std::string> errore = ImpostaNomeHotel(cartella, *nome)) {
    MsgBox(*errore, kTitoloMessaggi);
    return;
  }
  MostraHotel();
}

void VendrixDT::MostraHotel() {
  const std::filesystem::path& cartella = elaborazioni_.cartella_hotel;
  if (elaborazioni_.scegli_cartella && !ECartellaHotel(cartella)) {
    StatoConCartella("Nessun hotel in ", cartella, ": premere Alt+H per sceglierlo");
    return;
  }
  // The hotel's name is the folder's own until one is set: the path alone names it.
  const std::string nome = NomeHotel(cartella);
  if (nome == cartella.lexically_normal().filename().string()) {
    StatoConCartella("Hotel: ", cartella, "");
  } else {
    StatoConCartella("Hotel: " + nome + ", cartella ", cartella, "");
  }
}

bool VendrixDT::HotelPresente() {
  if (!elaborazioni_.scegli_cartella || ECartellaHotel(elaborazioni_.cartella_hotel)) return true;
  MsgBox("Nella cartella " + elaborazioni_.cartella_hotel.string() +
             " non ci sono i file dell'hotel: premere Alt+H per sceglierne la cartella.",
         kTitoloMessaggi);
  return false;
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
  // A refused date gives no message: the red frame says why the focus stays.
  if (indice == 0) {
    const EsitoInvio esito = InvioDataDal(Text1(0));
    text1_[0]->setText(QString::fromStdString(esito.testo));
    if (esito.fuoco == Fuoco::kDataAl) {
      text1_[1]->setFocus(Qt::OtherFocusReason);
    } else {
      SegnaData(0, Rifiuto::kData);
    }
  } else if (indice == 1) {
    const EsitoInvio esito = InvioDataAl(Text1(0), Text1(1));
    text1_[1]->setText(QString::fromStdString(esito.testo));
    if (esito.fuoco == Fuoco::kCalcola) {
      t_[0]->setFocus(Qt::OtherFocusReason);
    } else if (!LeggiData(Text1(1))) {
      SegnaData(1, Rifiuto::kData);
    } else if (!LeggiData(Text1(0))) {
      SegnaData(0, Rifiuto::kData);
    } else {
      SegnaData(1, Rifiuto::kPeriodo);
    }
  }
}

bool VendrixDT::DataRifiutata(int indice) const {
  const std::optional<Giorno> giorno = LeggiData(Text1(indice));
  if (!giorno) return true;
  if (motivo_rifiuto_.at(indice) != Rifiuto::kPeriodo) return false;
  const std::optional<Giorno> dal = LeggiData(Text1(0)), al = LeggiData(Text1(1));
  return dal && al && RifiutoPeriodo(*dal, *al).has_value();
}

void VendrixDT::SegnaData(int indice, Rifiuto motivo) {
  motivo_rifiuto_.at(indice) = motivo;
  shape1_.at(indice)->Segna(motivo != Rifiuto::kNessuno);
}

std::optional<Richiesta> VendrixDT::LeggiRichiesta() {
  if (!HotelPresente()) return std::nullopt;
  // The buttons clean and expand both boxes as Enter does, and write the result back, so that
  // the user sees the dates the run is asked for.
  std::array<Giorno, 2> giorni;
  for (int i = 0; i < 2; ++i) {
    text1_[i]->setText(QString::fromStdString(PulisciData(Text1(i))));
  }
  for (int i = 0; i < 2; ++i) {
    const std::optional<Giorno> giorno = LeggiData(Text1(i));
    if (!giorno) {
      SegnaData(i, Rifiuto::kData);
      MsgBox(MessaggioDataNonValida(Text1(i)), kTitoloMessaggi);
      text1_[i]->setFocus(Qt::OtherFocusReason);
      return std::nullopt;
    }
    giorni[i] = *giorno;
  }
  if (const std::optional<std::string> rifiuto = RifiutoPeriodo(giorni[0], giorni[1])) {
    for (int i = 0; i < 2; ++i) SegnaData(i, Rifiuto::kPeriodo);
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

bool VendrixDT::Esegui(const std::function<void()>& elaborazione) {
  // Caught here, once per run: the window stays open and the user can try again.
  try {
    elaborazione();
    return true;
  } catch (const std::exception& errore) {
    MsgBox(errore.what(), kTitoloMessaggi);
  } catch (...) {
    MsgBox("Errore imprevisto durante l'elaborazione: riprovare.", kTitoloMessaggi);
  }
  return false;
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
  const std::string periodo = TestoData(r->dal) + "-" + TestoData(r->al);
  // Replaced by the run's own progress; a failed run leaves its last text, which says where it
  // stopped.
  ImpostaStato("Calcolo delle statistiche del " + periodo);
  if (Esegui([&] { elaborazioni_.calcola(*this, *r); })) {
    ImpostaStato("Statistiche del " + periodo + " calcolate");
  }
}

void VendrixDT::CreaExcel() {
  const std::optional<Richiesta> r = LeggiRichiesta();
  if (!r) return;
  ImpostaStato("Creazione dei fogli Excel del " + TestoData(r->dal) + "-" + TestoData(r->al));
  FogliCreati fogli;
  if (!Esegui([&] { fogli = elaborazioni_.crea_excel(*this, *r); })) {
    // The run's last progress text would say it is still at work.
    ImpostaStato("Creazione dei fogli Excel non riuscita");
    return;
  }
  if (fogli.percorsi.empty()) return;
  const std::filesystem::path cartella =
      std::filesystem::path(fogli.percorsi.front()).parent_path();
  StatoConCartella("Fogli Excel del " + TestoData(r->dal) + "-" + TestoData(r->al) + " creati in ",
                   cartella, "");
  std::string testo = "Fogli Excel del periodo " + TestoPeriodo(r->dal, r->al) +
                      " creati nella cartella " + cartella.string() + ":";
  for (const std::string& percorso : fogli.percorsi) {
    testo += "\r\n" + std::filesystem::path(percorso).filename().string();
  }
  if (!fogli.senza_confronto.empty()) {
    testo += "\r\n\r\nConfronto con l'anno precedente non disponibile: " + fogli.senza_confronto;
  }
  if (presentatore_(this, QString::fromStdString(testo), kTitoloMessaggi, "Apri cartella") &&
      !elaborazioni_.apri_cartella(cartella)) {
    MsgBox(
        "Impossibile aprire la cartella " + cartella.string() + ": aprirla dal gestore dei file.",
        kTitoloMessaggi);
  }
}

std::string VendrixDT::Text1(int indice) const { return text1_.at(indice)->text().toStdString(); }

void VendrixDT::ImpostaStato(const std::string& testo) {
  QLabel* stato = label1_[2];
  const QString intero = QString::fromStdString(testo);
  // A text longer than the line is cut at its end, where "…" shows that it goes on; the whole
  // text is the line's tooltip.
  stato->setText(QFontMetrics(stato->font())
                     .elidedText(intero, Qt::ElideRight, stato->contentsRect().width()));
  stato->setToolTip(stato->text() == intero ? QString() : intero);
  // The run holds the event loop: without an immediate repaint the text would show only at its
  // end.
  stato->repaint();
}

void VendrixDT::StatoConCartella(const std::string& prima, const std::filesystem::path& cartella,
                                 const std::string& dopo) {
  const QFontMetrics metriche(label1_[2]->font());
  const QString testo_prima = QString::fromStdString(prima);
  const QString testo_dopo = QString::fromStdString(dopo);
  const int resto =
      label1_[2]->contentsRect().width() - metriche.horizontalAdvance(testo_prima + testo_dopo);
  const QString percorso = AccorciaCartella(metriche, cartella, std::max(resto, 0));
  ImpostaStato((testo_prima + percorso + testo_dopo).toStdString());
  const std::string intero = prima + cartella.string() + dopo;
  if (label1_[2]->text().toStdString() != intero) {
    label1_[2]->setToolTip(QString::fromStdString(intero));
  }
}

void VendrixDT::MsgBox(const std::string& testo, const std::string& titolo) {
  presentatore_(this, QString::fromStdString(testo), QString::fromStdString(titolo), QString());
}

}  // namespace vendrix
