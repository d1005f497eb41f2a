#include "ui/cartella_hotel.h"

#include <QFileDialog>
#include <QSettings>

#include "data/tabelle.h"

namespace vendrix {

namespace {

constexpr char kChiave[] = "cartella_hotel";

// Named here rather than taken from the application's names, so that the window reads the same
// place however it was started: ~/.config/Vendrix/Vendrix.conf.
QSettings Impostazioni() { return QSettings("Vendrix", "Vendrix"); }

}  // namespace

std::filesystem::path ScegliCartellaConDialogo(QWidget* finestra,
                                               const std::filesystem::path& attuale) {
  const QString scelta = QFileDialog::getExistingDirectory(
      finestra, QStringLiteral("Scegliere la cartella dell'hotel"),
      QString::fromStdString(attuale.string()));
  return scelta.toStdString();
}

bool ECartellaHotel(const std::filesystem::path& cartella) {
  std::error_code errore;
  return !cartella.empty() &&
         std::filesystem::is_regular_file(cartella / tabelle::kFileTipiCamere, errore);
}

std::optional<std::filesystem::path> CartellaRicordata() {
  const QString valore = Impostazioni().value(kChiave).toString();
  if (valore.isEmpty()) return std::nullopt;
  std::filesystem::path cartella = valore.toStdString();
  if (!ECartellaHotel(cartella)) return std::nullopt;
  return cartella;
}

void RicordaCartella(const std::filesystem::path& cartella) {
  Impostazioni().setValue(kChiave, QString::fromStdString(cartella.string()));
}

}  // namespace vendrix
