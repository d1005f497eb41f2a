#ifndef VENDRIX_UI_VENDRIX_DT_H_
#define VENDRIX_UI_VENDRIX_DT_H_

// VendrixDT, the program's only window: the two date boxes, the three check boxes, the three
// command buttons and the status line. It fills a Richiesta from its controls and hands it to
// the runs, which reach the window only as an Interfaccia.

#include <QString>
#include <QWidget>
#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "comune/interfaccia.h"
#include "comune/richiesta.h"
#include "ui/cartella_hotel.h"

class QCheckBox;
class QLabel;

namespace vendrix {

class CasellaData;
class Cornice;
class Pulsante;

// What "C&rea Excel" made: the paths of the workbooks written and, when last year could not be
// set beside the period, why (empty when it was, or when it was not asked). Built from the paths
// alone too, for a run that knows nothing of last year.
struct FogliCreati {
  FogliCreati(std::vector<std::string> percorsi_scritti = {}, std::string motivo = {})  // NOLINT
      : percorsi(std::move(percorsi_scritti)), senza_confronto(std::move(motivo)) {}
  std::vector<std::string> percorsi;
  std::string senza_confronto;
};

// What the window starts and where. Each run receives the window itself and the request made
// from the controls; both may throw, and the window shows what they throw.
struct Elaborazioni {
  // The hotel folder the requests name (the history folder and the workbook folder follow from
  // it, see NuovaRichiesta).
  std::filesystem::path cartella_hotel;
  // "&Calcola".
  std::function<void(Interfaccia& ui, const Richiesta& r)> calcola;
  // "C&rea Excel".
  std::function<FogliCreati(Interfaccia& ui, const Richiesta& r)> crea_excel;
  // "Report di direzione" (window's context menu, Alt+D): the manager's report of day
  // `giorno`; returns the path written. Unset, the window does not offer it.
  std::function<std::string(Interfaccia& ui, const Richiesta& r, Giorno giorno)> report_direzione;
  // Opens a folder in the desktop's file manager, false when it could not; by default through
  // QDesktopServices.
  std::function<bool(const std::filesystem::path& cartella)> apri_cartella;
  // When set, the window offers "Cartella hotel…" (Alt+H, or its context menu) to change the
  // hotel folder, and when cartella_hotel holds no hotel it works on the folder chosen last
  // time or, once shown, asks for one. Only a folder holding a hotel is taken and remembered for
  // the next start; while the window has none, it starts no run. Unset, the window works on
  // cartella_hotel and never asks.
  SceltaCartella scegli_cartella;
  // Asks the user for the hotel's name, showing `attuale`; nullopt when the user cancels. By
  // default an input dialog. The name is offered in the context menu ("Nome hotel…") and kept
  // in the hotel folder (comune/nome_hotel.h).
  std::function<std::optional<std::string>(QWidget* finestra, const std::string& attuale)>
      chiedi_nome;
};

// Shows a message to the user and returns once it has been closed: true when the user chose the
// button `altro` shown beside OK (none when `altro` is empty).
using Presentatore = std::function<bool(QWidget* finestra, const QString& testo,
                                        const QString& titolo, const QString& altro)>;

// The real presenter: a modal message box with the given title, an OK button and, when `altro`
// is not empty, a second button with that caption. Escape closes it as OK does.
bool MessaggioModale(QWidget* finestra, const QString& testo, const QString& titolo,
                     const QString& altro);

class VendrixDT : public QWidget, public Interfaccia {
  Q_OBJECT

 public:
  // Builds the window with its controls in their start-up state and loads the module value
  // HotelCorrente. The focus is given to the from-date box.
  explicit VendrixDT(Elaborazioni elaborazioni, Presentatore presentatore = MessaggioModale,
                     QWidget* parent = nullptr);
  ~VendrixDT() override;

  // Interfaccia.
  void ImpostaStato(const std::string& testo) override;
  void MsgBox(const std::string& testo, const std::string& titolo) override;

 private:
  void CreaControlli();
  // The captions of the two dates and the status line (Label1_0 to Label1_2).
  void CreaDidascalie();
  void CollegaEventi();
  void Form_Load();
  // The hotel folder at start and the entry that changes it; see Elaborazioni::scegli_cartella.
  void PreparaCartellaHotel();
  void CambiaCartellaHotel();
  // The entry of the manager's report (ui/voce_direzione.cc); see Elaborazioni::report_direzione.
  void PreparaReportDirezione();
  void CreaReportDirezione();
  void CambiaNomeHotel();
  // The status line naming the hotel the window works on, or saying that there is none.
  void MostraHotel();
  // Sets the status line to `prima` + `cartella` + `dopo`, the folder shortened in its middle as
  // far as needed for the whole text to fit the line.
  void StatoConCartella(const std::string& prima, const std::filesystem::path& cartella,
                        const std::string& dopo);
  // False, with the user told how to choose one, when the window manages its hotel folder and
  // has none: no run may write into a folder that holds no hotel.
  bool HotelPresente();
  // Why a date box was refused: its text is no date, or the two dates make no period a run
  // takes. Its frame is red until that no longer holds.
  enum class Rifiuto { kNessuno, kData, kPeriodo };
  void SegnaData(int indice, Rifiuto motivo);
  // True while the reason date box `indice` was refused for still holds.
  bool DataRifiutata(int indice) const;

  // Event handlers of the control groups; each receives the member's index.
  void T_Click(int indice);
  void Text1_GotFocus(int indice);
  void Text1_KeyPress(int indice);

  std::string Text1(int indice) const;
  // The request the boxes and check boxes make, after the buttons' clean-up of the two dates
  // (written back into the boxes); nullopt, with the message shown and the focus on the box to
  // correct, when a date is not valid or RifiutoPeriodo refuses the period.
  std::optional<Richiesta> LeggiRichiesta();
  // Runs `elaborazione` and shows whatever it throws; false when it threw.
  bool Esegui(const std::function<void()>& elaborazione);
  void Calcola();
  void CreaExcel();

  Elaborazioni elaborazioni_;
  Presentatore presentatore_;
  std::array<CasellaData*, 2> text1_{};
  std::array<Pulsante*, 3> t_{};
  std::array<QLabel*, 3> label1_{};
  std::array<QCheckBox*, 3> chk_{};
  std::array<Cornice*, 2> shape1_{};
  std::array<Rifiuto, 2> motivo_rifiuto_{};
};

}  // namespace vendrix

#endif  // VENDRIX_UI_VENDRIX_DT_H_
