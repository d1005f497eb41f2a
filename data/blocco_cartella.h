#ifndef VENDRIX_DATA_BLOCCO_CARTELLA_H_
#define VENDRIX_DATA_BLOCCO_CARTELLA_H_

// One run at a time in a folder, and the temporary files of the runs.
//
// A run that replaces a file of a folder holds that folder's lock exclusive; a run that only
// reads holds it shared. The lock is an advisory flock on a lock file in the folder: the kernel
// releases it when its holder ends, however it ends, so a killed run never blocks the next one,
// and a lock that is free proves that no run of this program is working in the folder. Nobody
// waits for it: a run that finds it taken stops at once with a message.

#include <filesystem>
#include <string>

#include "data/errore.h"

namespace vendrix {

// The lock file of a hotel folder, beside the statistics store. It is never removed: a run that
// removed it could leave the next two runs locking two different files.
inline constexpr char kFileBloccoAlbergo[] = "Vendrix.mdb.lock";

// The refusals, word for word.
inline constexpr char kCalcoloInCorso[] = "Un altro calcolo è in corso in questa cartella";
inline constexpr char kCalcoloInCorsoPerReport[] =
    "Un calcolo è in corso in questa cartella: riprovare al termine";
inline constexpr char kReportInCorso[] =
    "I fogli Excel sono in creazione in questa cartella: riprovare al termine";

// A run that finds the lock taken: what() is the message for the user (one of the above, or
// the one given to BloccoCartella).
class CartellaOccupata : public Errore {
 public:
  using Errore::Errore;
};

class BloccoCartella {
 public:
  enum class Modo { kEsclusivo, kCondiviso };

  // Takes the lock of `cartella` on its lock file `nome_file` (created when missing) without
  // waiting, and holds it until destroyed. Throws CartellaOccupata when another holder keeps
  // it in a mode that excludes `modo`: for an exclusive request the message says whether that
  // holder calculates (kCalcoloInCorso) or writes reports (kReportInCorso); for a shared one it
  // is kCalcoloInCorsoPerReport. `occupata`, when not empty, replaces those words. Throws Errore
  // when the lock file cannot be opened. A shared request takes no lock where the lock file can
  // neither be opened nor created (no permission, or no such folder): no run can replace a file
  // there.
  BloccoCartella(const std::filesystem::path& cartella, const char* nome_file, Modo modo,
                 const std::string& occupata = {});
  ~BloccoCartella();
  BloccoCartella(const BloccoCartella&) = delete;
  BloccoCartella& operator=(const BloccoCartella&) = delete;

 private:
  int fd_ = -1;
};

// The hotel folder of a run as an absolute path, from which every file of the run is named,
// whatever the current folder. Throws Errore naming the folder when it has none.
std::filesystem::path CartellaAlbergo(const std::filesystem::path& cartella);

// Creates a new empty file named `prefisso`, six random characters and `suffisso`, never an
// existing name (mkstemp), and returns its path. Throws Errore when it cannot be created, naming
// `per` (the file the temporary is for, as the user knows it) when given, else the temporary.
std::string NuovoFileTemporaneo(const std::string& prefisso, const std::string& suffisso = {},
                                const std::string& per = {});

// Removes, in `cartella`, every file whose name starts with `inizio` and holds `segno` after
// it (any name, when `segno` is empty). Only for leftovers of killed runs, under the lock that
// proves no run is writing them: a file that cannot be removed is left for a later run, because
// it does not stand in the way of this one.
void RimuoviAvanzi(const std::filesystem::path& cartella, const std::string& inizio,
                   const std::string& segno = {}) noexcept;

}  // namespace vendrix

#endif  // VENDRIX_DATA_BLOCCO_CARTELLA_H_
