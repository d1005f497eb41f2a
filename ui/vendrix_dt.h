#ifndef VENDRIX_UI_VENDRIX_DT_H_
#define VENDRIX_UI_VENDRIX_DT_H_

// VendrixDT, the program's only window: the two date boxes, the three check boxes, the three
// command buttons and the status line. The runs it starts reach it only as an Interfaccia.

#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "calc/interfaccia.h"

class QCheckBox;
class QLabel;

namespace vendrix {

class CasellaData;
class Cornice;
class Pulsante;

// The two runs the window starts. Each receives the window itself; both may throw, and the
// window shows what they throw.
struct Elaborazioni {
  // "&Calcola": the from-date and to-date texts as they stand in the boxes.
  std::function<void(Interfaccia& ui, const std::string& dal, const std::string& al)> calcola;
  // "C&rea Excel": the run reads the date boxes itself.
  std::function<void(Interfaccia& ui)> crea_excel;
};

// Shows a message to the user and returns once it has been closed.
using Presentatore =
    std::function<void(QWidget* finestra, const QString& testo, const QString& titolo)>;

// The real presenter: a modal message box with the given title and a single OK button.
void MessaggioModale(QWidget* finestra, const QString& testo, const QString& titolo);

class VendrixDT : public QWidget, public Interfaccia {
  Q_OBJECT

 public:
  // Builds the window with its controls in their start-up state and loads the module values
  // GiorniMese and HotelCorrente. The focus is given to Text1(0).
  explicit VendrixDT(Elaborazioni elaborazioni, Presentatore presentatore = MessaggioModale,
                     QWidget* parent = nullptr);
  ~VendrixDT() override;

  // Interfaccia.
  int Chk(int indice) const override;
  std::string Text1(int indice) const override;
  void ImpostaStato(const std::string& testo) override;
  void MsgBox(const std::string& testo, const std::string& titolo) override;

 private:
  void CreaControlli();
  void CollegaEventi();
  void Form_Load();

  // Event handlers of the control groups; each receives the member's index.
  void T_Click(int indice);
  void Text1_GotFocus(int indice);
  void Text1_KeyPress(int indice);

  // Starts a run once both date boxes hold valid dates, and shows whatever the run throws.
  void EseguiSeDateValide(const std::function<void()>& elaborazione);

  Elaborazioni elaborazioni_;
  Presentatore presentatore_;
  std::array<CasellaData*, 2> text1_{};
  std::array<Pulsante*, 3> t_{};
  std::array<QLabel*, 3> label1_{};
  std::array<QCheckBox*, 3> chk_{};
  std::array<Cornice*, 2> shape1_{};
};

}  // namespace vendrix

#endif  // VENDRIX_UI_VENDRIX_DT_H_
