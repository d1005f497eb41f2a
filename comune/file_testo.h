#ifndef VENDRIX_COMUNE_FILE_TESTO_H_
#define VENDRIX_COMUNE_FILE_TESTO_H_

// The small text files a user keeps by hand in the hotel folder (the agency filter, the
// segments, the hotel's name), read the same way whatever editor saved them: UTF-16 with its
// byte-order mark (either order), UTF-8 with or without its mark, otherwise Windows-1252.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "comune/testo.h"

namespace vendrix {

// What reading a hand-kept text file found.
struct FileTesto {
  bool presente = false;  // false: there is no such file (nothing else is set)
  std::optional<std::string> errore;  // set when the file is there but cannot be used, Italian
  std::vector<std::string> righe;     // the lines as UTF-8, line ends removed, empty ones kept
};

// Reads `percorso`. Only a regular file is read (symlinks followed); a FIFO, a device or a folder
// is refused without ever blocking on it. A file that holds something other than text (a NUL
// byte outside UTF-16, UTF-16 of odd length or with broken surrogates) is refused too; the
// refusal names the file and says what to do.
FileTesto LeggiFileTesto(const std::filesystem::path& percorso);

// The bytes of a text file as UTF-8 by the rule above; nullopt when they are not text.
std::optional<std::string> DecodificaTesto(std::string_view byte);

}  // namespace vendrix

#endif  // VENDRIX_COMUNE_FILE_TESTO_H_
