#ifndef VENDRIX_COMUNE_NOME_HOTEL_H_
#define VENDRIX_COMUNE_NOME_HOTEL_H_

// The hotel's name as the workbooks and the window show it. It is kept in the hotel folder
// (VendrixHotel.txt, one line), so every user and every command of that folder sees the same
// name; without that file the name is the folder's own.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

inline constexpr char kFileNomeHotel[] = "VendrixHotel.txt";

// The longest name kept: it heads printed pages and a cell of the summary.
inline constexpr size_t kMassimoCaratteriNomeHotel = 80;

// The name of the hotel in `cartella`: the first line of VendrixHotel.txt, blanks around it
// removed, when it holds more than blanks and can be read; otherwise the last component of the
// folder's absolute path ("hotel-demo").
std::string NomeHotel(const std::filesystem::path& cartella);

// Keeps `nome` (blanks around it removed, cut to kMassimoCaratteriNomeHotel characters) as the
// name of the hotel in `cartella`, replacing the file atomically; an empty name removes the file,
// so the folder's name is used again. Returns nullopt when done, else an Italian message naming
// the file.
std::optional<std::string> ImpostaNomeHotel(const std::filesystem::path& cartella,
                                            std::string_view nome);

}  // namespace vendrix

#endif  // VENDRIX_COMUNE_NOME_HOTEL_H_
