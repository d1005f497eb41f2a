#ifndef VENDRIX_COMUNE_FINE_ORDINATA_H_
#define VENDRIX_COMUNE_FINE_ORDINATA_H_

// SIGINT (Ctrl-C) and SIGTERM end the program in order: a replacement of files under way is
// finished first, every temporary file and folder the runs have registered is removed, and the
// process exits with 128 + the signal's number (130, 143). What was in place before the run
// (the statistics store, the workbooks) stays as it was.

#include <filesystem>
#include <mutex>
#include <string>

namespace vendrix {

// Called once by a program's main: from then on SIGINT and SIGTERM end it as above, after
// `avviso` (when not empty) is written on stderr. Until it is called, registrations cost
// nothing and signals keep their default effect.
void InstallaFineOrdinata(const std::string& avviso = {});

// Registers, for as long as it lives, a temporary that such an end removes: the file or folder
// `percorso` (a folder with all it holds), or, with `con_compagni`, also every file of the same
// folder whose name begins with the file's name (the companions a library writes beside it).
// It removes nothing itself.
class DaRimuovereAllaFine {
 public:
  explicit DaRimuovereAllaFine(std::filesystem::path percorso, bool con_compagni = false);
  ~DaRimuovereAllaFine();
  DaRimuovereAllaFine(const DaRimuovereAllaFine&) = delete;
  DaRimuovereAllaFine& operator=(const DaRimuovereAllaFine&) = delete;

 private:
  long numero_;
};

// Held while files are put in their final place (renames that must all happen or none): such an
// end waits for it to be released before it removes anything. Once a signal has come, a
// replacement not yet begun never begins: the constructor waits for the end instead.
class SostituzioneInCorso {
 public:
  SostituzioneInCorso();
  ~SostituzioneInCorso();
  SostituzioneInCorso(const SostituzioneInCorso&) = delete;
  SostituzioneInCorso& operator=(const SostituzioneInCorso&) = delete;
};

// Removes `percorso` as such an end would: a folder is first renamed, so that nothing can write
// into it any more by its name, then removed with all it holds. Never follows a symlink.
void RimuoviTemporaneo(const std::filesystem::path& percorso, bool con_compagni) noexcept;

}  // namespace vendrix

#endif  // VENDRIX_COMUNE_FINE_ORDINATA_H_
