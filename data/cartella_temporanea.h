#ifndef VENDRIX_DATA_CARTELLA_TEMPORANEA_H_
#define VENDRIX_DATA_CARTELLA_TEMPORANEA_H_

// The private temporary folder of a run.
//
// Every temporary file of the program that is not beside the file it will replace lives in a
// folder of its own run, made by mkdtemp (mode 0700: no other user can read a file there, plant
// one under an expected name, or block its creation), named "vendrix-tmp-" and six random
// characters, in the system's temporary folder ($TMPDIR, else /tmp) or, when that cannot be
// used, in a folder the run names (the hotel folder). Files inside may be created and reopened
// by name. While the folder lives its owner holds an exclusive advisory lock on the file
// ".proprietario" inside it; the kernel releases it when the process ends, however it ends, so
// a folder whose lock is free belongs to a run that is over, and the next run removes it. The
// folder goes, with all it holds, when its object is destroyed, and on SIGINT or SIGTERM (see
// comune/fine_ordinata.h).

#include <filesystem>
#include <optional>

#include "comune/fine_ordinata.h"

namespace vendrix {

inline constexpr char kInizioCartellaTemporanea[] = "vendrix-tmp-";

class CartellaTemporanea {
 public:
  // Creates the folder in the system's temporary folder, else in `riserva` (when not empty),
  // first removing there what ended runs left (RimuoviTemporaneiAbbandonati). Throws Errore
  // naming the folders tried when neither will do.
  explicit CartellaTemporanea(const std::filesystem::path& riserva = {});
  // Removes the folder with all it holds.
  ~CartellaTemporanea();
  CartellaTemporanea(const CartellaTemporanea&) = delete;
  CartellaTemporanea& operator=(const CartellaTemporanea&) = delete;

  // The folder, as a full path.
  const std::filesystem::path& Percorso() const { return percorso_; }

 private:
  std::filesystem::path percorso_;
  int fd_ = -1;
  std::optional<DaRimuovereAllaFine> registrazione_;
};

// Removes, in `cartella` (empty: the system's temporary folder), the private folders of ended
// runs: folders (not symlinks) of this user, named as above, whose owner lock is free. Those of
// runs still working, and everything else, are left alone. Never fails.
void RimuoviTemporaneiAbbandonati(const std::filesystem::path& cartella = {}) noexcept;

}  // namespace vendrix

#endif  // VENDRIX_DATA_CARTELLA_TEMPORANEA_H_
