#ifndef VENDRIX_REPORTS_INSIEME_FILE_H_
#define VENDRIX_REPORTS_INSIEME_FILE_H_

// Files of one folder replaced as one set: after a failure the folder holds the previous set
// untouched; after the process is killed, the next look at the folder (CompletaInsiemeInterrotto)
// finds the set whole, completed or rolled back from a small journal beside the files, never
// mixed.
//
// The journal (a file of the folder, named by the caller) lists, one line a file, the final
// name, the new file that takes its place and the hard link that keeps the previous file until
// the set is in place. While the journal stands, every new file and every kept previous file
// stays: the set can be finished (each new file still there renamed to its final name) or
// rolled back (each kept previous file renamed back). A rollback first renames the journal to
// its name with ".annulla": from then on only a rollback follows. Names in a journal are file
// names of the folder, never paths: a journal cannot make a run touch another folder.

#include <filesystem>
#include <string>
#include <vector>

namespace vendrix {

struct FileDellInsieme {
  std::string nuovo;   // the new file, a file name in the folder
  std::string finale;  // the name it takes, a file name in the folder
};

// Puts every `nuovo` of `file` in the place of its `finale`, in `cartella`, all or none, with the
// journal `giornale`. Holds SostituzioneInCorso (comune/fine_ordinata.h) while the names change.
// On failure throws Errore naming the final file at fault, with the previous set in place and
// the new files removed. The caller holds the folder's lock, which excludes any other writer.
void SostituisciInsieme(const std::filesystem::path& cartella, const std::string& giornale,
                        const std::vector<FileDellInsieme>& file);

// Finishes, or rolls back when it cannot be finished, a replacement of `cartella` that stopped
// with its journal `giornale` standing (its process was killed); does nothing when there is
// none. The caller holds the folder's lock. Never fails: what cannot be mended stays for a later
// look.
void CompletaInsiemeInterrotto(const std::filesystem::path& cartella,
                               const std::string& giornale) noexcept;

}  // namespace vendrix

#endif  // VENDRIX_REPORTS_INSIEME_FILE_H_
