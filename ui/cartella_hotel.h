#ifndef VENDRIX_UI_CARTELLA_HOTEL_H_
#define VENDRIX_UI_CARTELLA_HOTEL_H_

// The hotel folder of the window. Started inside a hotel folder the window works there; started
// elsewhere (from the application menu the working folder is the home folder) it works on the
// folder the user chose last time, kept in the program's settings, or asks for one.

#include <QString>
#include <filesystem>
#include <functional>
#include <optional>

class QWidget;

namespace vendrix {

// Asks the user for the hotel folder, starting from `attuale`; an empty path when the user
// cancels.
using SceltaCartella =
    std::function<std::filesystem::path(QWidget* finestra, const std::filesystem::path& attuale)>;

// The real chooser: the desktop's folder dialog.
std::filesystem::path ScegliCartellaConDialogo(QWidget* finestra,
                                               const std::filesystem::path& attuale);

// True when `cartella` holds the hotel's room-type file, which every run reads.
bool ECartellaHotel(const std::filesystem::path& cartella);

// The hotel folder kept in the program's settings (~/.config/Vendrix/Vendrix.conf), when one was
// kept and it still holds a hotel.
std::optional<std::filesystem::path> CartellaRicordata();

// Keeps `cartella` in the settings for the next start.
void RicordaCartella(const std::filesystem::path& cartella);

}  // namespace vendrix

#endif  // VENDRIX_UI_CARTELLA_HOTEL_H_
